// The training-curve picture.
#include "cli_error.h"
#include "training_curve.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace koru_cli {
namespace {

size_t Count(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

TEST(TrainingCurve, DrawsOneLinePerSeriesInsideThePlotArea) {
    TrainingCurve curve;
    curve.x = {1, 2, 3};
    curve.training = {0.4, 0.2, 0.1};
    curve.validation = {0.5, 0.3, 0.25};
    std::string svg = CurveSvg(curve, "run <1>");
    EXPECT_EQ(svg.rfind("<svg xmlns=\"http://www.w3.org/2000/svg\"", 0), 0u);
    EXPECT_EQ(Count(svg, "<polyline"), 2u);
    EXPECT_NE(svg.find("run &lt;1&gt;"), std::string::npos);
    // The y axis runs from 0 to 1.05 x the largest error (0.525): the first
    // training point (x = 1, error 0.4) sits at the left edge, at
    // y = 350 - 0.4 / 0.525 x 310 = 113.8.
    EXPECT_NE(svg.find("points=\"70,113.8 "), std::string::npos);
    // The last validation point: right edge 620, y = 350 - 0.25 / 0.525 x 310 = 202.4.
    EXPECT_NE(svg.find("620,202.4 \""), std::string::npos);
    EXPECT_NE(svg.find(">training<"), std::string::npos);
    EXPECT_NE(svg.find(">validation<"), std::string::npos);
}

TEST(TrainingCurve, WithoutValidationOnlyTheTrainingLine) {
    TrainingCurve curve;
    curve.x = {1, 2};
    curve.training = {1.0, 0.5};
    std::string svg = CurveSvg(curve, "t");
    EXPECT_EQ(Count(svg, "<polyline"), 1u);
    EXPECT_EQ(svg.find(">validation<"), std::string::npos);
}

TEST(TrainingCurve, AnEmptyCurveWritesNoFile) {
    std::string path = ::testing::TempDir() + "training_curve_test_" + std::to_string(getpid()) + ".svg";
    std::remove(path.c_str());
    EXPECT_THROW(WriteCurveSvg(TrainingCurve{}, "t", path), CliError);
    EXPECT_FALSE(std::ifstream(path).good());
    TrainingCurve curve;
    curve.x = {1};
    curve.training = {0.5};
    WriteCurveSvg(curve, "t", path);
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_EQ(text.str(), CurveSvg(curve, "t"));
    std::remove(path.c_str());
}

}  // namespace
}  // namespace koru_cli
