// The library keeps process-wide state and no thread-local state: a caller
// may use it from any thread as long as one call runs at a time. scripts/
// run-thread-check runs these under ThreadSanitizer.
#include <mutex>
#include <thread>

#include "net_fixture.h"

namespace koru_test {
namespace {

// An LVQ net of number `net` trained on patterns first..last-1; with `turn`,
// each pattern's calls run under that lock, as a caller sharing the library
// between threads does it.
std::vector<float> TrainLvq(int16_t net, int first, int last, std::mutex* turn = nullptr) {
    const int16_t input = 0, output = 1, radius = 1;
    const uint16_t width = 2, flag = 0;
    const float rate = 0.3f;
    {
        std::unique_lock<std::mutex> hold;
        if (turn != nullptr) hold = std::unique_lock<std::mutex>(*turn);
        Seed(7);
        EXPECT_EQ(All({Net(net, KORU32_NET_LVQ_DISTANCE), Slab(net, 0, 3, 0), Slab(net, 1, 4, 2), Link(net, 0, 0.5f, 0, 1)}), 0);
    }
    for (int p = first; p < last; ++p) {
        std::unique_lock<std::mutex> hold;
        if (turn != nullptr) hold = std::unique_lock<std::mutex>(*turn);
        SetValues(net, input, {0.1f * p, 1.0f - 0.1f * p, 0.5f});
        uint16_t winner = 0;
        EXPECT_EQ(All({LvqPropagate(&net, &output), LvqEvaluate(&net, &output, &winner, &flag),
                       LvqTrain(&net, &input, &rate, &radius, &width)}), 0);
    }
    std::unique_lock<std::mutex> hold;
    if (turn != nullptr) hold = std::unique_lock<std::mutex>(*turn);
    return Weights(net, 0, 12);
}

using ThreadUse = NetTest;

TEST_F(ThreadUse, TwoThreadsTakingTurnsUnderTheCallersLockMatchOneThread) {
    const std::vector<float> first = TrainLvq(0, 0, 200), second = TrainLvq(1, 3, 203);
    KillAllNets();
    std::vector<float> firstThreaded, secondThreaded;
    std::mutex turn;
    std::thread one([&] { firstThreaded = TrainLvq(0, 0, 200, &turn); });
    std::thread other([&] { secondThreaded = TrainLvq(1, 3, 203, &turn); });
    one.join();
    other.join();
    EXPECT_NE(first, second);
    EXPECT_EQ(firstThreaded, first);
    EXPECT_EQ(secondThreaded, second);
}

TEST_F(ThreadUse, SettingsAndNetsMadeOnOneThreadHoldOnTheNext) {
    std::thread([] { Math(KORU32_MATH_FIXED); }).join();
    std::thread([] { EXPECT_EQ(All({Net(0, 1), Slab(0, 0, 1, 0), Slab(0, 1, 1, 2), Seed(11), Link(0, 0, 1.0f, 0, 1)}), 0); }).join();
    std::thread([this] { EXPECT_TRUE(HoldsFixedPoint(0, 0)); EXPECT_EQ(Save(0, Path("t.net")), 0); }).join();
    std::thread([this] { EXPECT_EQ(Restore(9, Path("t.net")), 0); }).join();
    ASSERT_EQ(All({Seed(11), Net(1, 1), Slab(1, 0, 1, 0), Slab(1, 1, 1, 2), Link(1, 0, 1.0f, 0, 1)}), 0);
    EXPECT_EQ(Weights(1, 0, 2), Weights(0, 0, 2));  // the seed is the process's too
    EXPECT_EQ(Weights(9, 0, 2), Weights(0, 0, 2));
}

}  // namespace
}  // namespace koru_test
