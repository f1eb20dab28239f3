// An LVQ net with labelled prototypes learns to tell the three iris species
// apart, in float32 and in 8.24. The engine holds no labels: each species has
// three units (3c .. 3c + 2), and the caller moves the winner toward a
// training sample of its own species and away from one of another, with a
// rate that falls every epoch.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "lvq_test_net.h"

using namespace lvqtest;

namespace {

struct Sample {
    std::vector<float> x;
    int species;
};

// The measurements scaled by 1/8 (exact in both formats), so that squared
// distances stay far from the 8.24 limit of 128.
std::vector<Sample> ReadIris() {
    std::ifstream file(KORU32_IRIS_CSV);
    std::vector<Sample> samples;
    std::string line;
    std::getline(file, line);  // the counts and the species names
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        Sample sample{std::vector<float>(4), -1};
        char comma = 0;
        for (float& v : sample.x) {
            fields >> v >> comma;
            v /= 8.0f;
        }
        if (fields >> sample.species) samples.push_back(sample);
    }
    return samples;
}

int SpeciesOfWinner(TestNet& lvq, const std::vector<float>& x) {
    lvq.PutInput(x);
    EXPECT_EQ(lvq.Propagate(), KORU32_OK);
    return (lvq.Evaluate() - 1) / 3;
}

}  // namespace

TEST(LvqIris, ClassifiesHeldOutSamplesInBothFormats) {
    const std::vector<Sample> samples = ReadIris();
    ASSERT_EQ(samples.size(), 150u);
    // Every fifth sample is held out; the file lists the species one after
    // another, so the training samples are taken one of each species in turn.
    std::vector<Sample> held, training;
    for (size_t k = 0; k < 50; ++k) {
        for (size_t species = 0; species < 3; ++species) (k % 5 == 4 ? held : training).push_back(samples[species * 50 + k]);
    }
    for (uint16_t math : kBothMaths) {
        TestNet lvq(KORU32_NET_LVQ_DISTANCE, math, 4, 9);
        ASSERT_TRUE(lvq.ok());
        Units units(9);  // each species' units start at its first three training samples
        for (size_t k = 0; k < 9; ++k) units[k % 3 * 3 + k / 3] = training[k].x;
        lvq.PutUnits(units);
        for (int epoch = 0; epoch < 40; ++epoch) {
            const float rate = 0.1f * static_cast<float>(40 - epoch) / 40.0f;
            for (const Sample& s : training) {
                // Radius 0: only the winner moves.
                const bool same = SpeciesOfWinner(lvq, s.x) == s.species;
                ASSERT_EQ(lvq.Train(same ? rate : -rate, 0, 9), KORU32_OK);
            }
        }
        int right = 0;
        for (const Sample& s : held) right += SpeciesOfWinner(lvq, s.x) == s.species;
        EXPECT_GE(right, 29) << "math " << math;  // of 30
        RecordProperty(math == KORU32_MATH_FLOAT ? "float_right_of_30" : "fixed_right_of_30", right);
    }
}
