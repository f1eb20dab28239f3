// Behaviour on real data: an LVQ net with labelled prototypes learns to tell
// the three iris species apart, in float32 and in 8.24 fixed point.
//
// The engine holds no labels. The caller gives each species three units
// (units 3c .. 3c + 2 belong to species c) and, for every training sample,
// moves the winning unit toward the sample when it belongs to the sample's
// species and away from it otherwise, with a rate that falls every epoch.
#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "lvq_test_net.h"

using namespace lvqtest;

namespace {

constexpr int kSpecies = 3;
constexpr int kUnitsPerSpecies = 3;
constexpr int kUnits = kSpecies * kUnitsPerSpecies;
constexpr int kMeasurements = 4;
constexpr int kEpochs = 40;
constexpr float kFirstRate = 0.1f;

struct Sample {
    std::vector<float> x;
    int species;
};

// Reads the samples, scaling every measurement by 1/8 (exact in both
// formats) so that all lie below 1 and squared distances stay far from the
// 8.24 limit of 128.
std::vector<Sample> ReadIris() {
    std::ifstream file(KORU32_IRIS_CSV);
    std::vector<Sample> samples;
    std::string line;
    if (!std::getline(file, line)) return samples;  // header
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        Sample sample{std::vector<float>(kMeasurements), -1};
        char comma = 0;
        for (float& v : sample.x) {
            fields >> v >> comma;
            v /= 8.0f;
        }
        fields >> sample.species;
        if (fields) samples.push_back(sample);
    }
    return samples;
}

// The net's species for a pattern, from the winning unit.
int Classify(TestNet& lvq, const std::vector<float>& x) {
    lvq.PutInput(x);
    EXPECT_EQ(lvq.Propagate(), KORU32_OK);
    const uint16_t winner = lvq.Evaluate();
    EXPECT_GE(winner, 1);
    return (winner - 1) / kUnitsPerSpecies;
}

double Accuracy(TestNet& lvq, const std::vector<Sample>& samples) {
    int right = 0;
    for (const Sample& s : samples) right += Classify(lvq, s.x) == s.species ? 1 : 0;
    return static_cast<double>(right) / static_cast<double>(samples.size());
}

struct Outcome {
    double before;
    double after;
};

Outcome TrainAndTest(uint16_t math, const std::vector<Sample>& training, const std::vector<Sample>& held) {
    TestNet lvq(KORU32_NET_LVQ_DISTANCE, math, kMeasurements, kUnits);
    EXPECT_TRUE(lvq.ok());

    // Each species' units start at its first three training samples.
    std::vector<std::vector<float>> units(kUnits);
    int taken[kSpecies] = {0, 0, 0};
    for (const Sample& s : training) {
        int& n = taken[s.species];
        if (n < kUnitsPerSpecies) units[static_cast<size_t>(s.species * kUnitsPerSpecies + n++)] = s.x;
    }
    lvq.PutUnits(units);
    const double before = Accuracy(lvq, held);

    for (int epoch = 0; epoch < kEpochs; ++epoch) {
        const float rate = kFirstRate * static_cast<float>(kEpochs - epoch) / static_cast<float>(kEpochs);
        for (const Sample& s : training) {
            lvq.PutInput(s.x);
            EXPECT_EQ(lvq.Propagate(), KORU32_OK);
            const uint16_t winner = lvq.Evaluate();
            const bool sameSpecies = (winner - 1) / kUnitsPerSpecies == s.species;
            // Radius 0: only the winner moves; the grid (one row) plays no part.
            EXPECT_EQ(lvq.Train(sameSpecies ? rate : -rate, 0, kUnits), KORU32_OK);
        }
    }
    return {before, Accuracy(lvq, held)};
}

}  // namespace

TEST(LvqIris, ClassifiesHeldOutSamplesInBothFormats) {
    const std::vector<Sample> samples = ReadIris();
    ASSERT_EQ(samples.size(), 150u) << "cannot read " << KORU32_IRIS_CSV;

    // Fixed split: every fifth sample is held out (10 of each species). The
    // file lists the species one after another, so the training samples are
    // interleaved, one of each species in turn.
    std::vector<Sample> held;
    std::vector<std::vector<Sample>> bySpecies(kSpecies);
    for (size_t k = 0; k < samples.size(); ++k) {
        if (k % 5 == 4) {
            held.push_back(samples[k]);
        } else {
            bySpecies[static_cast<size_t>(samples[k].species)].push_back(samples[k]);
        }
    }
    std::vector<Sample> training;
    for (size_t k = 0; k < bySpecies[0].size(); ++k) {
        for (const auto& species : bySpecies) training.push_back(species[k]);
    }
    ASSERT_EQ(held.size(), 30u);
    ASSERT_EQ(training.size(), 120u);

    for (uint16_t math : {KORU32_MATH_FLOAT, KORU32_MATH_FIXED}) {
        const Outcome outcome = TrainAndTest(math, training, held);
        RecordProperty(math == KORU32_MATH_FLOAT ? "float_accuracy" : "fixed_accuracy",
                       std::to_string(outcome.after));
        // Trained, the net names at least 29 of the 30 held-out samples
        // correctly, and more than its starting prototypes did.
        EXPECT_GE(outcome.after, 0.95) << "math " << math;
        EXPECT_GT(outcome.after, outcome.before) << "math " << math;
        std::cout << (math == KORU32_MATH_FLOAT ? "float32" : "8.24") << ": held-out accuracy "
                  << outcome.before << " untrained, " << outcome.after << " trained\n";
    }
}
