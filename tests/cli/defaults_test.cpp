// The defaults of `koru train` and its handling of inputs: sigma chosen by
// leave-one-out, backpropagation's best epoch and early stop, class labels in
// sorted order, one value per list option, and subsampling.
#include "command_test_support.h"
#include "commands.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>

namespace koru_cli_test {
namespace {

// The value of "key=" in a model file's metadata, or "(none)".
std::string Setting(const std::string& model, const std::string& key) {
    std::string bytes = ReadText(model);
    size_t at = bytes.find("\n" + key + "=");
    if (at == std::string::npos) return "(none)";
    at += key.size() + 2;
    return bytes.substr(at, bytes.find('\n', at) - at);
}

TEST(Defaults, SigmaIsPickedByLeaveOneOutUnlessGiven) {
    const std::string data = DataFile("iris.csv"), model = ScratchPath("m.net");
    // Leave-one-out needs no held-out rows: by default every row is searched
    // and stored; --validation holds rows out all the same, and a search on
    // validation rows holds out a fifth.
    struct Case {
        std::vector<std::string> options;
        const char* pickedBy;
        const char* stored;
        const char* heldOut;
    };
    const std::vector<Case> cases{{{"--paradigm", "pnn"}, "loo", "150", "0"},
                                  {{"--paradigm", "pnn", "--validation", "0.2"}, "loo", "120", "30"},
                                  {{"--paradigm", "pnn", "--pick-sigma", "validation"}, "validation", "120", "30"},
                                  {{"--paradigm", "grnn", "--target", "petal_width", "--inputs", "sepal_length,petal_length"}, "loo", "150", "0"}};
    for (const Case& c : cases) {
        std::vector<std::string> args{"train", data, "-o", model, "-q"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        ASSERT_EQ(RunKoru(args).status, 0) << c.options.size();
        EXPECT_EQ(Setting(model, "set.sigma.picked_by"), c.pickedBy);
        EXPECT_EQ(Setting(model, "set.patterns"), c.stored) << c.pickedBy;
        EXPECT_EQ(Setting(model, "set.rows.validation"), c.heldOut) << c.pickedBy;
    }
    ASSERT_EQ(RunKoru({"train", data, "-o", model, "-q", "--paradigm", "grnn", "--target", "petal_width",
                       "--inputs", "sepal_length,petal_length", "--sigma", "0.3"})
                  .status,
              0);
    EXPECT_EQ(Setting(model, "set.sigma.picked_by"), "none");
    EXPECT_EQ(Setting(model, "set.sigma"), "0.3");
    CommandResult both = RunKoru({"train", data, "-o", model, "-q", "--paradigm", "pnn", "--sigma", "0.3",
                                  "--pick-sigma", "loo"});
    EXPECT_EQ(both.status, 2);
    EXPECT_NE(both.err.find("--sigma sets the smoothing factor; it cannot go with --pick-sigma loo"),
              std::string::npos);
}

TEST(Defaults, BackpropKeepsTheBestEpochAndStopsAfterItsPatience) {
    const std::string data = DataFile("iris.csv"), model = ScratchPath("m.net");
    struct Case {
        std::vector<std::string> options;
        int patience;
    };
    for (const Case& c : std::vector<Case>{{{}, 50}, {{"--patience", "5"}, 5}, {{"--patience", "0"}, 0}}) {
        std::vector<std::string> args{"train", data, "-o", model, "-q"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        ASSERT_EQ(RunKoru(args).status, 0);
        const int run = std::stoi(Setting(model, "set.bp.epochs_run"));
        const int best = std::stoi(Setting(model, "set.bp.best_epoch"));
        EXPECT_LE(best, run) << c.patience;
        if (c.patience == 0) {
            EXPECT_EQ(run, 1000);
        } else {
            EXPECT_TRUE(run == best + c.patience || run == 1000) << c.patience << ": " << run << " " << best;
        }
    }
    // The saved net is the best epoch's: the same bytes as a run stopped
    // right after that epoch (same seed, so the same first epochs).
    const std::string full = ReadText(model);
    const std::string best = Setting(model, "set.bp.best_epoch");
    const std::string shorter = ScratchPath("short.net");
    ASSERT_EQ(RunKoru({"train", data, "-o", shorter, "-q", "--epochs", best, "--patience", "0"}).status, 0);
    const std::string cut = ReadText(shorter);
    ASSERT_NE(best, "1000");
    EXPECT_EQ(full.substr(0, full.find("koru-model 1\n")), cut.substr(0, cut.find("koru-model 1\n")));
}

TEST(Defaults, EveryRuleConvergesOnIrisAtItsDefaultRate) {
    for (const char* rule : {"plain", "momentum", "batch", "adaptive"}) {
        CommandResult result = RunKoru({"cv", DataFile("iris.csv"), "-q", "--folds", "3", "--rule", rule});
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_GE(std::stod(result.out.substr(result.out.rfind("accuracy: ") + 10)), 0.9) << rule;
    }
}

TEST(Defaults, ClassesAreSortedAndListOptionsTakeOneValue) {
    const std::string model = ScratchPath("m.net"), data = ScratchPath("d.csv");
    struct Case {
        std::string rows;
        std::string classes;
    };
    for (const Case& c : std::vector<Case>{{"1,10\n2,2\n3,1\n4,10\n", "1,2,10"},
                                           {"1,z\n2,b\n3,a\n4,b\n", "a,b,z"},
                                           {"1,2\n2,b\n3,10\n", "10,2,b"}}) {
        WriteText(data, "x,class\n" + c.rows);
        CommandResult result = RunKoru({"train", data, "-o", model, "-q", "--paradigm", "pnn", "--validation", "0"});
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(Setting(model, "classes"), c.classes);
    }
    // A list option takes one comma-separated value: the data file after it
    // is never taken for a column name.
    CommandResult swallowed = RunKoru({"train", "--inputs", "sepal_length", "petal_width", DataFile("iris.csv"),
                                       "-o", model, "-q"});
    EXPECT_EQ(swallowed.status, 2);
    CommandResult hidden = RunKoru({"train", "--hidden", "4,3", DataFile("iris.csv"), "-o", model, "-q"});
    EXPECT_EQ(hidden.status, 0) << hidden.err;
    EXPECT_EQ(Setting(model, "set.bp.hidden"), "4%2C3");
}

TEST(Defaults, SampleDrawsRowsAndIsOfferedPastTheKernelNetLimit) {
    const std::string model = ScratchPath("m.net"), data = ScratchPath("big.csv");
    CommandResult sampled = RunKoru({"train", DataFile("iris.csv"), "-o", model, "-q", "--sample", "50"});
    ASSERT_EQ(sampled.status, 0) << sampled.err;
    EXPECT_NE(sampled.out.find(": 40 training rows, 10 validation rows"), std::string::npos) << sampled.out;
    std::string text = "x,class\n";
    for (int row = 0; row < 41000; ++row) text += std::to_string(row % 97) + "," + (row % 2 ? "a\n" : "b\n");
    WriteText(data, text);
    CommandResult refused = RunKoru({"train", data, "-o", model, "-q", "--paradigm", "pnn", "--sigma", "0.1"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "koru: error: a PNN holds at most 32767 training patterns; this set has 41000 (--sample N "
                           "trains on N rows drawn at random with --seed)\n");
}

}  // namespace
}  // namespace koru_cli_test

namespace koru_cli_test {
namespace {

// Every `koru` command the READMEs show runs, in order, in a scratch folder,
// and a figure quoted in its comment ("accuracy: 0.9667") is what it prints.
TEST(Docs, EveryCommandInTheReadmesRunsAndPrintsWhatItQuotes) {
    const std::string data = DataFile("");
    size_t commands = 0;
    for (const std::string& readme : {data + "../README.md", data + "../cli/README.md"}) {
        std::istringstream text(ReadText(readme));
        std::string line;
        while (std::getline(text, line)) {
            // Commands, not the synopsis lines with placeholders (MODEL.net, [options]).
            if (line.rfind("    koru ", 0) != 0 || line.find('[') != std::string::npos ||
                line.find("MODEL.net") != std::string::npos) {
                continue;
            }
            std::string command = line.substr(9, line.find('#') == std::string::npos ? std::string::npos
                                                                                      : line.find('#') - 9);
            for (size_t at = command.find("data/"); at != std::string::npos; at = command.find("data/", at + data.size())) {
                command.replace(at, 5, data);
            }
            CommandResult result = RunKoruProgram(command, "cd " + ScratchPath("") + " && ");
            ++commands;
            EXPECT_EQ(result.status, 0) << readme << ": " << line << "\n" << result.err;
            size_t quote = line.find("\"", line.find('#') == std::string::npos ? line.size() : line.find('#'));
            if (quote != std::string::npos) {
                std::string figure = line.substr(quote + 1, line.find('"', quote + 1) - quote - 1);
                EXPECT_NE(result.out.find(figure), std::string::npos) << line << "\n" << result.out;
            }
        }
    }
    EXPECT_GE(commands, 10u);
}

}  // namespace
}  // namespace koru_cli_test

namespace koru_cli_test {
namespace {

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
    return fields;
}

// --proba: per paradigm, one probability per class summing to 1 whose
// largest is the predicted class; --id and --keep-inputs copy columns.
TEST(Predict, ProbabilitiesSumToOneAndColumnsAreCopiedThrough) {
    const std::string data = DataFile("iris.csv"), model = ScratchPath("m.net");
    for (const char* paradigm : {"bp", "pnn", "lvq"}) {
        ASSERT_EQ(RunKoru({"train", data, "-o", model, "-q", "--paradigm", paradigm}).status, 0);
        CommandResult result = RunKoru({"predict", model, data, "--proba", "--id", "petal_width", "--id", "species"});
        ASSERT_EQ(result.status, 0) << result.err;
        std::istringstream lines(result.out);
        std::string line;
        std::getline(lines, line);
        EXPECT_EQ(line, "line,petal_width,species,predicted:species,p:setosa,p:versicolor,p:virginica") << paradigm;
        size_t rows = 0;
        while (std::getline(lines, line)) {
            std::vector<std::string> f = Fields(line);
            ASSERT_EQ(f.size(), 7u) << line;
            double p[3] = {std::stod(f[4]), std::stod(f[5]), std::stod(f[6])};
            EXPECT_NEAR(p[0] + p[1] + p[2], 1.0, 1e-6) << paradigm << ": " << line;
            const char* names[3] = {"setosa", "versicolor", "virginica"};
            size_t best = p[1] > p[0] ? (p[2] > p[1] ? 2 : 1) : (p[2] > p[0] ? 2 : 0);
            EXPECT_EQ(f[3], names[best]) << paradigm << ": " << line;
            ++rows;
        }
        EXPECT_EQ(rows, 150u) << paradigm;
    }
    CommandResult kept = RunKoru({"predict", model, data, "--keep-inputs"});
    EXPECT_EQ(kept.out.substr(0, kept.out.find('\n', kept.out.find('\n') + 1)),
              "line,sepal_length,sepal_width,petal_length,petal_width,species,predicted:species\n"
              "2,5.1,3.5,1.4,0.2,setosa,setosa");
    ASSERT_EQ(RunKoru({"train", DataFile("diabetes.csv"), "-o", model, "-q", "--paradigm", "grnn"}).status, 0);
    EXPECT_EQ(RunKoru({"predict", model, DataFile("diabetes.csv"), "--proba"}).err,
              "koru: error: --proba applies to classifiers; " + model + " is a regressor\n");
}

}  // namespace
}  // namespace koru_cli_test

namespace koru_cli_test {
namespace {

// Stratified folds: each class spread over the folds within one row, every
// row in one fold; the summary is the mean and deviation of the fold lines.
TEST(CrossValidation, FoldsAreStratifiedAndTheSummaryIsTheirMean) {
    std::string text = "x,class\n";
    for (int row = 0; row < 53; ++row) text += std::to_string(row) + "," + (row % 4 == 0 ? "rare\n" : "common\n");
    koru_cli::CsvTable table = koru_cli::ParseCsv(text, "t.csv");
    koru_cli::TrainOptions options;
    options.paradigm = &koru_cli::FindParadigm("pnn");
    koru_cli::Task task = koru_cli::Task::Regress;
    std::vector<int> fold = koru_cli::CrossValidationFolds(table, options, 5, task);
    EXPECT_EQ(task, koru_cli::Task::Classify);
    int rare[5] = {}, all[5] = {};
    for (size_t row = 0; row < fold.size(); ++row) {
        ASSERT_TRUE(fold[row] >= 0 && fold[row] < 5);
        ++all[fold[row]];
        rare[fold[row]] += table.rows[row][1] == "rare";
    }
    for (int k = 0; k < 5; ++k) {
        EXPECT_TRUE(rare[k] == 2 || rare[k] == 3) << k;  // 14 rare rows over 5 folds
        EXPECT_TRUE(all[k] == 10 || all[k] == 11) << k;
    }
    CommandResult cv = RunKoru({"cv", DataFile("iris.csv"), "-q", "--folds", "3", "--paradigm", "lvq"});
    ASSERT_EQ(cv.status, 0) << cv.err;
    std::istringstream lines(cv.out);
    std::vector<double> scores;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("fold ", 0) == 0) {
            EXPECT_NE(line.find(": 100 training rows, 50 test rows, accuracy "), std::string::npos) << line;
            scores.push_back(std::stod(line.substr(line.rfind(' ') + 1)));
        }
    }
    ASSERT_EQ(scores.size(), 3u);
    double mean = (scores[0] + scores[1] + scores[2]) / 3;
    double deviation = std::sqrt(((scores[0] - mean) * (scores[0] - mean) + (scores[1] - mean) * (scores[1] - mean) +
                                  (scores[2] - mean) * (scores[2] - mean)) / 2);
    char expected[120];
    std::snprintf(expected, sizeof expected, "accuracy: %.4g +- %.4g (mean +- standard deviation over 3 folds)\n",
                  mean, deviation);
    EXPECT_EQ(cv.out.substr(cv.out.rfind("accuracy: ")), expected);
}

}  // namespace
}  // namespace koru_cli_test
