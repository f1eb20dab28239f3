// The library keeps process-wide state and no thread-local state: a caller
// may use it from any thread as long as one call runs at a time. These tests
// hand the library from thread to thread, each joined before the next
// starts, and expect exactly what one thread would get.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "koru32.h"
#include "net_fixture.h"

namespace {

using namespace koru_test;

// Runs each step on a thread of its own, one after the other.
void OneThreadEach(const std::vector<std::function<void()>>& steps) {
    for (const auto& step : steps) {
        std::thread worker(step);
        worker.join();
    }
}

// An LVQ net trained on a few patterns: make, train, read back. The steps
// are separate so that they can run on different threads.
struct LvqRun {
    int16_t net = 0;
    std::vector<float> weights;

    void Make() {
        Seed(7);
        ASSERT_EQ(Net(net, KORU32_NET_LVQ_DISTANCE), KORU32_OK);
        ASSERT_EQ(Slab(net, 0, 3, KORU32_SLAB_INPUT), KORU32_OK);
        ASSERT_EQ(Slab(net, 1, 4, KORU32_SLAB_OUTPUT), KORU32_OK);
        ASSERT_EQ(Link(net, 0, 0.5f, 0, 1), KORU32_OK);
    }
    // With `turn`, each pattern's calls run under that lock, as a caller
    // sharing the library between threads does it.
    void Train(int first, int last, std::mutex* turn = nullptr) {
        const int16_t input = 0, output = 1, radius = 1;
        const uint16_t width = 2, flag = 0;
        const float rate = 0.3f;
        for (int p = first; p < last; ++p) {
            std::unique_lock<std::mutex> hold;
            if (turn != nullptr) hold = std::unique_lock<std::mutex>(*turn);
            const std::vector<float> pattern = {0.1f * p, 1.0f - 0.1f * p, 0.5f};
            SetValues(net, input, pattern);
            uint16_t winner = 0;
            ASSERT_EQ(LvqPropagate(&net, &output), KORU32_OK);
            ASSERT_EQ(LvqEvaluate(&net, &output, &winner, &flag), KORU32_OK);
            ASSERT_EQ(LvqTrain(&net, &input, &rate, &radius, &width), KORU32_OK);
        }
    }
    void Read() {
        weights = Weights(net, 0, 12);
        ASSERT_EQ(Kill(net), KORU32_OK);
    }
};

class ThreadUse : public NetTest {};

TEST_F(ThreadUse, ANetMadeTrainedAndReadOnDifferentThreadsMatchesOneThread) {
    LvqRun alone;
    alone.Make();
    alone.Train(0, 8);
    alone.Read();

    LvqRun handedOn;
    OneThreadEach({[&] { handedOn.Make(); }, [&] { handedOn.Train(0, 3); }, [&] { handedOn.Train(3, 8); },
                   [&] { handedOn.Read(); }});
    ASSERT_EQ(handedOn.weights.size(), alone.weights.size());
    for (size_t i = 0; i < alone.weights.size(); ++i) EXPECT_EQ(handedOn.weights[i], alone.weights[i]) << i;
}

TEST_F(ThreadUse, TwoThreadsTakingTurnsUnderTheCallersLockMatchOneThread) {
    // Two nets trained at the same time from two threads, every call under
    // one lock the caller holds: each net ends as if trained alone. Under
    // ThreadSanitizer (scripts/run-thread-check) this also shows that the
    // library's shared state needs nothing beyond the caller's lock.
    constexpr int kPatterns = 200;
    LvqRun aloneFirst, aloneSecond;
    aloneSecond.net = 1;
    for (LvqRun* run : {&aloneFirst, &aloneSecond}) run->Make();
    aloneFirst.Train(0, kPatterns);
    aloneSecond.Train(3, 3 + kPatterns);
    for (LvqRun* run : {&aloneFirst, &aloneSecond}) run->Read();

    LvqRun first, second;
    second.net = 1;
    for (LvqRun* run : {&first, &second}) run->Make();
    std::mutex turn;
    std::thread one([&] { first.Train(0, kPatterns, &turn); });
    std::thread other([&] { second.Train(3, 3 + kPatterns, &turn); });
    one.join();
    other.join();
    for (LvqRun* run : {&first, &second}) run->Read();
    EXPECT_EQ(first.weights, aloneFirst.weights);
    EXPECT_EQ(second.weights, aloneSecond.weights);
    EXPECT_NE(first.weights, second.weights);  // the two nets really differ
}

TEST_F(ThreadUse, SettingsMadeOnOneThreadHoldOnTheNext) {
    // The math mode and the seed are the process's, not the thread's.
    float first = 0.0f, second = 0.0f;
    OneThreadEach({[] { ASSERT_EQ(Math(KORU32_MATH_FIXED), KORU32_OK); },
                   [] {
                       ASSERT_EQ(Net(0, KORU32_NET_BP_PLAIN), KORU32_OK);
                       ASSERT_EQ(Slab(0, 0, 1, KORU32_SLAB_INPUT), KORU32_OK);
                   },
                   [] { EXPECT_TRUE(HoldsFixedPoint(0, 0)); },
                   [&] {
                       Seed(11);
                       ASSERT_EQ(Slab(0, 1, 1, KORU32_SLAB_OUTPUT), KORU32_OK);
                       ASSERT_EQ(Link(0, 0, 1.0f, 0, 1), KORU32_OK);
                   },
                   [&] { first = Weights(0, 0, 2)[1]; }});
    // The same seed on this thread draws the same weights.
    Seed(11);
    ASSERT_EQ(Net(1, KORU32_NET_BP_PLAIN), KORU32_OK);
    ASSERT_EQ(Slab(1, 0, 1, KORU32_SLAB_INPUT), KORU32_OK);
    ASSERT_EQ(Slab(1, 1, 1, KORU32_SLAB_OUTPUT), KORU32_OK);
    ASSERT_EQ(Link(1, 0, 1.0f, 0, 1), KORU32_OK);
    second = Weights(1, 0, 2)[1];
    EXPECT_EQ(first, second);
}

TEST_F(ThreadUse, ANetSavedOnOneThreadIsRestoredOnAnother) {
    const char* file = "thread_use_test.net";
    std::vector<float> before, after;
    OneThreadEach({[&] {
                       LvqRun run;
                       run.Make();
                       run.Train(0, 4);
                       before = Weights(run.net, 0, 12);
                       const int32_t none = 0;
                       ASSERT_EQ(SaveNet(&run.net, file, &none, nullptr), KORU32_OK);
                       ASSERT_EQ(Kill(run.net), KORU32_OK);
                   },
                   [&] {
                       const int16_t net = 9;
                       int32_t none = 0;
                       ASSERT_EQ(RestoreNet(&net, file, &none, nullptr), KORU32_OK);
                       after = Weights(net, 0, 12);
                   }});
    EXPECT_EQ(before, after);
    std::remove(file);
}

}  // namespace
