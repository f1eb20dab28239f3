// Input scaling: fitted values worked out by hand.
#include "cli_error.h"
#include "scaling.h"

#include <gtest/gtest.h>

#include <cmath>

namespace koru_cli {
namespace {

const std::vector<std::vector<double>> kRows = {{1.0, 10.0, 5.0}, {3.0, 20.0, 5.0}, {5.0, 60.0, 5.0}};

TEST(Scaling, MinMaxMapsTrainingValuesOntoZeroToOne) {
    Scaling scaling = Scaling::Fit(ScalingMethod::MinMax, kRows);
    EXPECT_EQ(scaling.offset, (std::vector<double>{1.0, 10.0, 5.0}));
    // A constant column keeps scale 1, so it maps to 0 rather than dividing by 0.
    EXPECT_EQ(scaling.scale, (std::vector<double>{4.0, 50.0, 1.0}));
    EXPECT_EQ(scaling.ApplyRow({3.0, 60.0, 7.0}), (std::vector<float>{0.5f, 1.0f, 2.0f}));
    EXPECT_EQ(scaling.Invert(1, 0.2), 20.0);
}

TEST(Scaling, StandardUsesMeanAndPopulationDeviation) {
    Scaling scaling = Scaling::Fit(ScalingMethod::Standard, kRows);
    // Column 0: mean 3, deviations -2, 0, 2: variance 8/3.
    EXPECT_EQ(scaling.offset[0], 3.0);
    EXPECT_DOUBLE_EQ(scaling.scale[0], std::sqrt(8.0 / 3.0));
    // Column 1: mean 30, deviations -20, -10, 30: variance 1400/3.
    EXPECT_EQ(scaling.offset[1], 30.0);
    EXPECT_DOUBLE_EQ(scaling.scale[1], std::sqrt(1400.0 / 3.0));
    EXPECT_EQ(scaling.scale[2], 1.0);
}

TEST(Scaling, NamesAndUnitLength) {
    EXPECT_EQ(ParseScalingName("standard"), ScalingMethod::Standard);
    EXPECT_STREQ(ScalingName(ScalingMethod::MinMax), "minmax");
    EXPECT_THROW(ParseScalingName("zscore"), CliError);
    std::vector<float> values{3.0f, 4.0f};
    ScaleToUnitLength(values);
    EXPECT_EQ(values, (std::vector<float>{0.6f, 0.8f}));
    std::vector<float> zero{0.0f, 0.0f};
    ScaleToUnitLength(zero);
    EXPECT_EQ(zero, (std::vector<float>{0.0f, 0.0f}));
}

}  // namespace
}  // namespace koru_cli
