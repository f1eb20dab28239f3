// train -> save -> info -> eval -> predict for every paradigm on the bundled
// data, with thresholds that a working engine clears easily and a broken one
// does not (a classifier that always answers one class scores 0.33 on iris;
// predicting the mean progression of the diabetes set gives an RMSE of 77).
#include "command_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>

namespace koru_cli_test {
namespace {

struct RoundTrip {
    const char* name;
    std::vector<std::string> trainArgs;
    const char* dataSet;
    bool classify;
    double threshold;      // accuracy at least, or RMSE at most, on the whole file
    const char* netType;   // the net type line of `koru info`
    const char* format;
};

std::ostream& operator<<(std::ostream& out, const RoundTrip& trip) {
    return out << trip.name;
}

std::vector<std::vector<std::string>> ReadCsvLines(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::istringstream fieldsIn(line);
        std::string field;
        while (std::getline(fieldsIn, field, ',')) {
            fields.push_back(field);
        }
        rows.push_back(fields);
    }
    return rows;
}

class RoundTripTest : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(RoundTripTest, TrainSaveInfoEvalPredict) {
    const RoundTrip& trip = GetParam();
    const std::string data = DataFile(trip.dataSet);
    const std::string model = ScratchPath("model.net");
    std::vector<std::string> train = {"train", data, "-o", model, "--quiet"};
    train.insert(train.end(), trip.trainArgs.begin(), trip.trainArgs.end());
    CommandResult trained = RunKoru(train);
    ASSERT_EQ(trained.status, 0) << trained.err;
    EXPECT_EQ(trained.err, "");  // --quiet
    EXPECT_NE(trained.out.find("saved " + model), std::string::npos);
    EXPECT_EQ(ScratchFiles(), std::vector<std::string>{"model.net"});  // no temporary file left

    CommandResult info = RunKoru({"info", model});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find(std::string("net type: ") + trip.netType + "\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find(std::string("numeric format: ") + trip.format + "\n"), std::string::npos);
    EXPECT_NE(info.out.find(std::string("  task: ") + (trip.classify ? "classify" : "regress")), std::string::npos);
    EXPECT_NE(info.out.find("  slab 0: input, "), std::string::npos);

    CommandResult eval = RunKoru({"eval", model, data});
    ASSERT_EQ(eval.status, 0) << eval.err;
    double score = LastLineValue(eval.out, trip.classify ? "accuracy" : "rmse");
    ASSERT_FALSE(std::isnan(score)) << eval.out;
    if (trip.classify) {
        EXPECT_GE(score, trip.threshold) << eval.out;
        EXPECT_NE(eval.out.find("confusion matrix"), std::string::npos);
    } else {
        EXPECT_LE(score, trip.threshold) << eval.out;
        EXPECT_NE(eval.out.find("mae: "), std::string::npos);
    }

    // The predictions, written to a file, agree with the evaluation.
    const std::string predictions = ScratchPath("predictions.csv");
    CommandResult predict = RunKoru({"predict", model, data, "-o", predictions});
    ASSERT_EQ(predict.status, 0) << predict.err;
    auto predicted = ReadCsvLines(ReadText(predictions));
    auto truth = ReadCsvLines(ReadText(data));
    ASSERT_EQ(predicted.size(), truth.size());
    EXPECT_EQ(predicted[0][0], "line");
    EXPECT_EQ(predicted[0][1], truth[0].back());
    size_t correct = 0;
    double squares = 0.0;
    for (size_t row = 1; row < truth.size(); ++row) {
        EXPECT_EQ(predicted[row][0], std::to_string(row + 1));  // the data line
        if (trip.classify) {
            correct += predicted[row][1] == truth[row].back();
        } else {
            double error = std::strtod(predicted[row][1].c_str(), nullptr) - std::strtod(truth[row].back().c_str(), nullptr);
            squares += error * error;
        }
    }
    double rows = static_cast<double>(truth.size() - 1);
    if (trip.classify) {
        EXPECT_NEAR(correct / rows, score, 0.00005);
    } else {
        EXPECT_NEAR(std::sqrt(squares / rows), score, 0.00005 + score * 1e-6);
    }
    // The same predictions go to standard output without -o.
    CommandResult toStdout = RunKoru({"predict", model, data});
    EXPECT_EQ(toStdout.out, ReadText(predictions));
}

INSTANTIATE_TEST_SUITE_P(
    Paradigms, RoundTripTest,
    ::testing::Values(
        RoundTrip{"bp", {"--paradigm", "bp", "--hidden", "6", "--epochs", "200"}, "iris.csv", true, 0.95,
                  "2 (backpropagation, momentum)", "32-bit float"},
        RoundTrip{"bp_fixed", {"--paradigm", "bp", "--hidden", "6", "--epochs", "200", "--format", "fixed"},
                  "iris.csv", true, 0.95, "2 (backpropagation, momentum)", "8.24 fixed point"},
        RoundTrip{"bp_plain_tanh", {"--rule", "plain", "--transfer", "tanh", "--epochs", "200", "--seed", "7"},
                  "iris.csv", true, 0.93, "1 (backpropagation, plain steps)", "32-bit float"},
        RoundTrip{"bp_regress", {"--paradigm", "bp", "--hidden", "8", "--rate", "0.05", "--epochs", "200"},
                  "diabetes.csv", false, 62.0, "2 (backpropagation, momentum)", "32-bit float"},
        RoundTrip{"pnn", {"--paradigm", "pnn", "--pick-sigma", "loo"}, "iris.csv", true, 0.95,
                  "6 (PNN, squared distance)", "32-bit float"},
        RoundTrip{"pnn_city_block", {"--paradigm", "pnn", "--kernel", "city-block", "--sigma", "0.3"}, "iris.csv",
                  true, 0.93, "10 (PNN, city-block distance)", "32-bit float"},
        RoundTrip{"grnn", {"--paradigm", "grnn", "--pick-sigma", "loo"}, "diabetes.csv", false, 62.0,
                  "8 (GRNN, squared distance)", "32-bit float"},
        RoundTrip{"lvq", {"--paradigm", "lvq", "--epochs", "60"}, "iris.csv", true, 0.9, "4 (LVQ, squared distance)",
                  "32-bit float"},
        RoundTrip{"lvq_fixed", {"--paradigm", "lvq", "--epochs", "60", "--format", "fixed"}, "iris.csv", true, 0.9,
                  "4 (LVQ, squared distance)", "8.24 fixed point"}),
    [](const ::testing::TestParamInfo<RoundTrip>& info) { return std::string(info.param.name); });

TEST(Plot, TrainingCurveOfTrainingAndValidationError) {
    const std::string model = ScratchPath("m.net");
    const std::string plot = ScratchPath("curve.svg");
    CommandResult result = RunKoru({"train", DataFile("iris.csv"), "-o", model, "-q", "--epochs", "20", "--plot", plot});
    ASSERT_EQ(result.status, 0) << result.err;
    std::string svg = ReadText(plot);
    EXPECT_EQ(svg.rfind("<svg", 0), 0u);
    EXPECT_NE(svg.find(">training mse<"), std::string::npos);
    EXPECT_NE(svg.find(">validation mse<"), std::string::npos);
    EXPECT_NE(svg.find(">epoch<"), std::string::npos);
}

TEST(Plot, SigmaSearchOfAKernelNet) {
    const std::string plot = ScratchPath("sigma.svg");
    CommandResult result = RunKoru({"train", DataFile("iris.csv"), "-o", ScratchPath("m.net"), "-q", "--paradigm",
                                    "pnn", "--pick-sigma", "validation", "--plot", plot});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(ReadText(plot).find(">smoothing factor<"), std::string::npos);
}

TEST(Progress, PlainLinesWhenNotQuiet) {
    // In process the progress goes to the real standard error: run the program.
    CommandResult result = RunKoruProgram("train " + DataFile("iris.csv") + " -o " + ScratchPath("m.net") +
                                          " --epochs 10");
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find("bp epoch 10/10  mse "), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find('\r'), std::string::npos);  // not a terminal: no bar
}

}  // namespace
}  // namespace koru_cli_test
