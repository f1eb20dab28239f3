// The six exports as a caller of the shared library reaches them: the worked
// estimate of a general regression net and a two-class probabilistic net.
#include <gtest/gtest.h>

#include "pattern_net_support.h"

namespace {

using namespace patternnets_test;

class PatternNetExports : public PatternNetTest {};

TEST_F(PatternNetExports, GeneralRegressionNetGivesTheWorkedEstimate) {
    use_ = GrnnExports();
    const int16_t net = MakeThreeSlabNet(KORU32_NET_GRNN_DISTANCE, 2, 2, 1);
    StoreOne(net, {0, 0}, {1});
    StoreOne(net, {1, 1}, {3});
    EXPECT_NEAR(Outputs(net, {0, 0}, 1.0f, 1)[0], 1.537883, 1e-6);
}

TEST_F(PatternNetExports, ProbabilisticNetScoresTheNearerClass) {
    const int16_t net = MakeThreeSlabNet(KORU32_NET_PNN_DISTANCE, 2, 2, 2);
    StoreOne(net, {0, 0}, {1, 0});
    StoreOne(net, {3, 3}, {0, 1});
    const std::vector<float> scores = Outputs(net, {0.5f, 0}, 1.0f, 2);
    EXPECT_NEAR(scores[0], 0.8824969, 1e-6);  // exp(-0.125)
    EXPECT_NEAR(scores[1], 0.00048810, 1e-7);  // exp(-(6.25 + 9) / 2) = e^-7 e^-0.625
}

}  // namespace
