// The training-curve picture.
#include "training_curve.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "cli_error.h"

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
    EXPECT_NE(svg.find("points=\"84,113.8 "), std::string::npos);
    // The last validation point: right edge 620, y = 350 - 0.25 / 0.525 x 310 = 202.4.
    EXPECT_NE(svg.find("620,202.4 \""), std::string::npos);
    EXPECT_NE(svg.find(">training<"), std::string::npos);
    EXPECT_NE(svg.find(">validation<"), std::string::npos);
}

// The elements of an SVG text: every tag closed in order (so the file is
// well-formed XML), and each <text> with its class, x and content.
struct SvgText {
    std::string cls;
    double x = 0;
    std::string content;
};

std::vector<SvgText> ParseSvg(const std::string& svg) {
    std::vector<std::string> open;
    std::vector<SvgText> texts;
    for (size_t at = svg.find('<'); at != std::string::npos; at = svg.find('<', at + 1)) {
        size_t end = svg.find('>', at);
        EXPECT_NE(end, std::string::npos);
        std::string tag = svg.substr(at + 1, end - at - 1);
        std::string name = tag.substr(tag[0] == '/', tag.find_first_of(" />", 1) - (tag[0] == '/'));
        if (tag[0] == '/') {
            EXPECT_FALSE(open.empty() || open.back() != name) << "unbalanced </" << name << ">";
            if (!open.empty()) open.pop_back();
        } else if (tag.back() != '/') {
            open.push_back(name);
        }
        if (name == "text" && tag[0] != '/') {
            auto attribute = [&](const std::string& key) {
                size_t k = tag.find(" " + key + "=\"");
                return k == std::string::npos
                           ? std::string()
                           : tag.substr(k + key.size() + 3,
                                        tag.find('"', k + key.size() + 3) - k - key.size() - 3);
            };
            texts.push_back({attribute("class"), std::atof(attribute("x").c_str()),
                             svg.substr(end + 1, svg.find('<', end) - end - 1)});
        }
    }
    EXPECT_TRUE(open.empty());
    return texts;
}

TEST(TrainingCurve, RoundTicksLogErrorsAndTitlesClearOfTheLabels) {
    TrainingCurve curve;
    curve.logY = true;
    curve.trainingName = "training mse";
    curve.validationName = "validation mse";
    for (int epoch = 1; epoch <= 137; ++epoch) {
        curve.x.push_back(epoch);
        curve.training.push_back(0.3 / epoch);
        curve.validation.push_back(0.35 / epoch + 0.001);
    }
    std::vector<SvgText> texts = ParseSvg(CurveSvg(curve, "bp"));
    std::vector<std::string> xTicks, yTicks, legend;
    double yTitle = -1, leftmostLabel = 1e9;
    for (const SvgText& text : texts) {
        if (text.cls == "x-tick") xTicks.push_back(text.content);
        if (text.cls == "y-tick") {
            yTicks.push_back(text.content);
            leftmostLabel = std::min(leftmostLabel, text.x - 7.0 * static_cast<double>(text.content.size()));
        }
        if (text.cls == "y-title") yTitle = text.x;
        if (text.cls == "legend") legend.push_back(text.content);
    }
    EXPECT_EQ(xTicks, (std::vector<std::string>{"20", "40", "60", "80", "100", "120"}));
    // Log scale over 0.001 .. 1: powers of ten only.
    EXPECT_EQ(yTicks, (std::vector<std::string>{"0.001", "0.01", "0.1", "1"}));
    EXPECT_GT(leftmostLabel, yTitle + 6) << "the y title's half height is 6 px";
    EXPECT_EQ(legend, (std::vector<std::string>{"training mse", "validation mse"}));
    // Linear: 1-2-5 steps from 0.
    curve.logY = false;
    yTicks.clear();
    for (const SvgText& text : ParseSvg(CurveSvg(curve, "bp"))) {
        if (text.cls == "y-tick") yTicks.push_back(text.content);
    }
    EXPECT_EQ(yTicks, (std::vector<std::string>{"0", "0.05", "0.1", "0.15", "0.2", "0.25", "0.3", "0.35"}));
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
