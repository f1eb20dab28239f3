// The library keeps process-wide state and no thread-local state: a caller
// may use it from any thread as long as one call runs at a time. scripts/
// run-thread-check runs this under ThreadSanitizer.
#include <mutex>
#include <thread>

#include "net_fixture.h"

namespace koru_test {
namespace {

// An LVQ net of number `net` trained on patterns first..last-1, each step's
// calls under the caller's lock `turn`, as a caller sharing the library does it.
std::vector<float> TrainLvq(int16_t net, int first, int last, std::mutex& turn) {
    const int16_t input = 0, output = 1, radius = 1;
    const uint16_t width = 2, flag = 0;
    const float rate = 0.3f;
    std::unique_lock<std::mutex> hold(turn);
    Seed(7);
    EXPECT_EQ(All({Net(net, KORU32_NET_LVQ_DISTANCE), Slab(net, 0, 3, 0), Slab(net, 1, 4, 2), Link(net, 0, 0.5f, 0, 1)}), 0);
    for (int p = first; p < last; ++p) {
        hold.unlock();
        hold.lock();
        SetValues(net, input, {0.1f * p, 1.0f - 0.1f * p, 0.5f});
        uint16_t winner = 0;
        EXPECT_EQ(All({LvqPropagate(&net, &output), LvqEvaluate(&net, &output, &winner, &flag),
                       LvqTrain(&net, &input, &rate, &radius, &width)}), 0);
    }
    return Weights(net, 0, 12);
}

using ThreadUse = NetTest;

TEST_F(ThreadUse, TwoThreadsTakingTurnsUnderTheCallersLockMatchOneThread) {
    std::mutex turn;
    const std::vector<float> first = TrainLvq(0, 0, 200, turn), second = TrainLvq(1, 3, 203, turn);
    KillAllNets();
    std::vector<float> firstThreaded, secondThreaded;
    std::thread one([&] { firstThreaded = TrainLvq(0, 0, 200, turn); });
    std::thread other([&] { secondThreaded = TrainLvq(1, 3, 203, turn); });
    one.join();
    other.join();
    EXPECT_NE(first, second);
    EXPECT_EQ(firstThreaded, first);
    EXPECT_EQ(secondThreaded, second);
}

}  // namespace
}  // namespace koru_test
