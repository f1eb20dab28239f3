// What the commands do with good input: train -> info -> eval -> predict for
// every paradigm, with thresholds a working engine clears easily and a broken
// one does not (one class always scores 0.33 on iris; predicting the mean
// progression of the diabetes set gives an RMSE of 77), and train's defaults.
#include "koru_test_support.h"

namespace koru_cli_test {
namespace {

// The threshold is an accuracy at least, or (diabetes) an RMSE at most.
struct Trip { const char* label; std::vector<std::string> options; const char* dataSet; double threshold;
              const char *netType, *format, *scaling = "minmax"; };

TEST(RoundTrip, TrainInfoEvalPredictForEveryParadigm) {
    const char *momentum = "2 (backpropagation, momentum)", *f32 = "32-bit float", *f824 = "8.24 fixed point",
               *unit = "minmax, then unit length";
    // clang-format off
    const std::vector<Trip> trips = {
        {"bp", {"--hidden", "6", "--epochs", "200"}, "iris.csv", 0.95, momentum, f32},
        {"bp fixed", {"--hidden", "6", "--epochs", "200", "--format", "fixed"}, "iris.csv", 0.95, momentum, f824},
        {"bp plain tanh", {"--rule", "plain", "--transfer", "tanh", "--epochs", "200", "--seed", "7"}, "iris.csv", 0.93,
         "1 (backpropagation, plain steps)", f32},
        {"bp batch", {"--rule", "batch", "--epochs", "300"}, "iris.csv", 0.9, "3 (backpropagation, batch)", f32},
        {"bp adaptive standard", {"--rule", "adaptive", "--epochs", "100", "--scaling", "standard"}, "iris.csv", 0.93,
         "11 (backpropagation, adaptive step sizes)", f32, "standard"},
        {"bp regress", {"--hidden", "8", "--rate", "0.05", "--epochs", "200"}, "diabetes.csv", 62.0, momentum, f32},
        {"pnn", {"--paradigm", "pnn", "--pick-sigma", "loo"}, "iris.csv", 0.95, "6 (PNN, squared distance)", f32},
        {"pnn city block", {"--paradigm", "pnn", "--kernel", "city-block", "--sigma", "0.3"}, "iris.csv", 0.93,
         "10 (PNN, city-block distance)", f32},
        {"pnn dot", {"--paradigm", "pnn", "--kernel", "dot"}, "iris.csv", 0.9, "7 (PNN, dot product)", f32, unit},
        {"grnn", {"--paradigm", "grnn", "--pick-sigma", "loo"}, "diabetes.csv", 62.0, "8 (GRNN, squared distance)", f32},
        {"grnn city block", {"--paradigm", "grnn", "--kernel", "city-block"}, "diabetes.csv", 62.0,
         "9 (GRNN, city-block distance)", f32},
        {"lvq", {"--paradigm", "lvq", "--epochs", "60"}, "iris.csv", 0.9, "4 (LVQ, squared distance)", f32},
        {"lvq dot", {"--paradigm", "lvq", "--kernel", "dot", "--epochs", "200"}, "iris.csv", 0.8, "5 (LVQ, dot product)", f32,
         unit},
        {"lvq fixed", {"--paradigm", "lvq", "--epochs", "60", "--format", "fixed"}, "iris.csv", 0.9,
         "4 (LVQ, squared distance)", f824},
    };
    // clang-format on
    for (const Trip& trip : trips) {
        SCOPED_TRACE(trip.label);
        const bool classify = std::string(trip.dataSet) == "iris.csv";
        const std::string data = DataFile(trip.dataSet), model = ScratchPath("m.net");
        std::vector<std::string> train{"train", data, "-o", model, "--quiet"};
        train.insert(train.end(), trip.options.begin(), trip.options.end());
        const CommandResult trained = RunKoru(train);
        ASSERT_EQ(trained.status, 0) << trained.err;
        EXPECT_EQ(trained.err, "");
        EXPECT_NE(trained.out.find("saved " + model), std::string::npos);
        EXPECT_EQ(ScratchFiles(), std::vector<std::string>{"m.net"});  // no temporary file left

        // Without koru's metadata the library's own file remains, which info still describes.
        const std::string bytes = ReadText(model), bare = ScratchPath("bare.net");
        WriteText(bare, bytes.substr(0, bytes.find("koru-model 1\n")));
        EXPECT_NE(RunKoru({"info", bare}).out.find("metadata: none"), std::string::npos);
        std::remove(bare.c_str());
        const std::string info = RunKoru({"info", model}).out;
        EXPECT_NE(info.find(std::string("net type: ") + trip.netType + "\n"), std::string::npos) << info;
        EXPECT_NE(info.find(std::string("numeric format: ") + trip.format + "\n"), std::string::npos);
        EXPECT_NE(info.find(classify ? "  task: classify" : "  task: regress"), std::string::npos);
        EXPECT_NE(info.find(std::string("  scaling: ") + trip.scaling + "\n"), std::string::npos);

        const CommandResult eval = RunKoru({"eval", model, data});
        const double score = LastLineValue(eval.out, classify ? "accuracy" : "rmse");
        EXPECT_TRUE(classify ? score >= trip.threshold : score <= trip.threshold) << eval.out;
        EXPECT_NE(eval.out.find(classify ? "confusion matrix" : "mae: "), std::string::npos);

        // The predictions, to a file and to standard output, agree with the evaluation.
        const std::string file = ScratchPath("p.csv"), out = RunKoru({"predict", model, data}).out;
        ASSERT_EQ(RunKoru({"predict", model, data, "-o", file}).status, 0);
        EXPECT_EQ(out, ReadText(file));
        std::remove(file.c_str());
        const auto predicted = CsvLines(out), truth = CsvLines(ReadText(data));
        ASSERT_EQ(predicted.size(), truth.size());
        EXPECT_EQ(predicted[0][0] + "," + predicted[0][1], "line," + truth[0].back());
        double hits = 0, squares = 0;
        for (size_t row = 1; row < truth.size(); ++row) {
            EXPECT_EQ(predicted[row][0], std::to_string(row + 1));
            const double error = classify ? 0 : std::stod(predicted[row][1]) - std::stod(truth[row].back());
            hits += predicted[row][1] == truth[row].back(), squares += error * error;
        }
        const double rows = static_cast<double>(truth.size() - 1);
        EXPECT_NEAR(classify ? hits / rows : std::sqrt(squares / rows), score, 0.00005 + score * 1e-6);
    }
}

// --proba: one probability per class, summing to 1, whose largest is the
// predicted class; --id and --keep-inputs copy columns; predicting needs no
// target column and takes the inputs in any order.
TEST(RoundTrip, ProbabilitiesAndCopiedColumns) {
    const std::string data = DataFile("iris.csv");
    for (const char* paradigm : {"bp", "pnn", "lvq"}) {
        SCOPED_TRACE(paradigm);
        const std::string model = Train(data, {"--paradigm", paradigm});
        const auto rows = CsvLines(RunKoru({"predict", model, data, "--proba", "--id", "petal_width", "--id", "species"}).out);
        ASSERT_EQ(rows.size(), 151u);
        EXPECT_EQ(rows[0], (std::vector<std::string>{"line", "petal_width", "species", "predicted:species",
                                                     "p:setosa", "p:versicolor", "p:virginica"}));
        for (size_t row = 1; row < rows.size(); ++row) {
            ASSERT_EQ(rows[row].size(), 7u);
            const double p[3] = {std::stod(rows[row][4]), std::stod(rows[row][5]), std::stod(rows[row][6])};
            EXPECT_NEAR(p[0] + p[1] + p[2], 1.0, 1e-6) << row;
            EXPECT_EQ(rows[row][3], rows[0][4 + (std::max_element(p, p + 3) - p)].substr(2)) << row;
        }
    }
    const std::string model = ScratchPath("m.net"), shuffled = ScratchPath("shuffled.csv");
    EXPECT_EQ(CsvLines(RunKoru({"predict", model, data, "--keep-inputs"}).out)[1],
              (std::vector<std::string>{"2", "5.1", "3.5", "1.4", "0.2", "setosa", "setosa"}));
    WriteText(shuffled, "petal_width,petal_length,sepal_width,sepal_length\n0.2,1.4,3.5,+5.1\n2.3,5.4,3.1,6.9\n");
    EXPECT_EQ(RunKoru({"predict", model, shuffled}).out, "line,species\n2,setosa\n3,virginica\n");
    // The longest name a folder holds is written like any other.
    const std::string longest = ScratchPath(std::string(251, 'p') + ".csv");
    ASSERT_EQ(RunKoru({"predict", model, shuffled, "-o", longest}).status, 0);
    EXPECT_EQ(ReadText(longest), "line,species\n2,setosa\n3,virginica\n");
}

// The saved backpropagation net is the best epoch's: the same bytes as a run
// stopped right after that epoch (same seed, so the same first epochs); the
// run stops after --patience epochs without a better one.
TEST(Defaults, BackpropKeepsTheBestEpochAndStopsAfterItsPatience) {
    const std::string data = DataFile("iris.csv");
    for (const int patience : {50, 5, 0}) {
        SCOPED_TRACE(patience);
        const std::string model = Train(data, {"--patience", std::to_string(patience)});
        const int run = std::stoi(Setting(model, "set.bp.epochs_run")), best = std::stoi(Setting(model, "set.bp.best_epoch"));
        EXPECT_LE(best, run);
        EXPECT_TRUE(patience == 0 ? run == 1000 : run == best + patience || run == 1000) << run << " " << best;
    }
    const std::string full = ReadText(ScratchPath("m.net")), best = Setting(ScratchPath("m.net"), "set.bp.best_epoch");
    ASSERT_NE(best, "1000");
    const std::string cut = ReadText(Train(data, {"--epochs", best, "--patience", "0"}, "short.net"));
    EXPECT_EQ(full.substr(0, full.find("koru-model 1\n")), cut.substr(0, cut.find("koru-model 1\n")));
}

TEST(Defaults, SigmaIsPickedByLeaveOneOutUnlessGiven) {
    // Leave-one-out needs no held-out rows: every row is searched and stored;
    // --validation holds rows out all the same, a search on validation rows a fifth.
    struct Case { std::vector<std::string> options; const char *pickedBy, *stored, *heldOut, *sigma; };
    const std::vector<std::string> grnn{"--paradigm", "grnn", "--target", "petal_width", "--inputs", "petal_length"};
    std::vector<std::string> given = grnn;
    given.insert(given.end(), {"--sigma", "0.3"});
    // clang-format off
    for (const Case& c : std::vector<Case>{
             {{"--paradigm", "pnn"}, "loo", "150", "0", nullptr},
             {{"--paradigm", "pnn", "--validation", "0.2"}, "loo", "120", "30", nullptr},
             {{"--paradigm", "pnn", "--pick-sigma", "validation"}, "validation", "120", "30", nullptr},
             {grnn, "loo", "150", "0", nullptr},
             {given, "none", "150", "0", "0.3"}}) {
        // clang-format on
        SCOPED_TRACE(c.options.back());
        const std::string model = Train(DataFile("iris.csv"), c.options);
        EXPECT_EQ(Setting(model, "set.sigma.picked_by"), c.pickedBy);
        EXPECT_EQ(Setting(model, "set.patterns"), c.stored);
        EXPECT_EQ(Setting(model, "set.rows.validation"), c.heldOut);
        if (c.sigma) { EXPECT_EQ(Setting(model, "set.sigma"), c.sigma); }
    }
}

TEST(Defaults, ClassesSortedListsSamplesAndNamesKeptExactly) {
    const std::string data = ScratchPath("d.csv");
    for (const auto& [rows, classes] : std::vector<std::pair<std::string, std::string>>{
             {"1,10\n2,2\n3,1\n4,10\n", "1,2,10"}, {"1,z\n2,b\n3,a\n4,b\n", "a,b,z"}, {"1,2\n2,b\n3,10\n", "10,2,b"}}) {
        WriteText(data, "x,class\n" + rows);
        EXPECT_EQ(Setting(Train(data, {"--paradigm", "pnn", "--validation", "0"}), "classes"), classes);
    }
    EXPECT_EQ(Setting(Train(DataFile("iris.csv"), {"--hidden", "4,3"}), "set.bp.hidden"), "4%2C3");
    const CommandResult sampled = RunKoru({"train", DataFile("iris.csv"), "-o", ScratchPath("m.net"), "-q", "--sample", "50"});
    EXPECT_NE(sampled.out.find(": 40 training rows, 10 validation rows"), std::string::npos) << sampled.out;
    // Column and class names with commas, quotes and line ends come back from the model as they were.
    WriteText(data, "\"width, cm\",\"100%\",\"kind,of\"\n1,2,\"a\"\n2,1,\"b,c\"\n1,1,\"a\"\n");
    const std::string model = Train(data, {"--paradigm", "pnn", "--sigma", "0.5", "--validation", "0"});
    const std::string out = RunKoru({"predict", model, data}).out;
    EXPECT_EQ(out.rfind("line,\"kind,of\",score:a,\"score:b,c\"\n2,a,", 0), 0u) << out;
    EXPECT_NE(out.find("\n3,\"b,c\","), std::string::npos) << out;
}

// Every training rule converges on iris at its default rate, cross-validated.
TEST(Defaults, EveryRuleConverges) {
    for (const char* rule : {"plain", "momentum", "batch", "adaptive"}) {
        const std::string out = RunKoru({"cv", DataFile("iris.csv"), "-q", "--folds", "3", "--rule", rule}).out;
        EXPECT_NE(out.find("fold 3/3: 100 training rows, 50 test rows, accuracy "), std::string::npos) << out;
        EXPECT_GE(std::stod(out.substr(out.rfind("accuracy: ") + 10)), 0.9) << rule;
    }
}

// The curve --plot draws, and the progress lines on standard error when it is no terminal.
TEST(Defaults, PlotsAndProgress) {
    const std::string plot = ScratchPath("curve.svg"), data = DataFile("iris.csv");
    Train(data, {"--epochs", "20", "--plot", plot});
    const std::string svg = ReadText(plot);
    for (const char* text : {">training mse<", ">validation mse<", ">epoch<"})
        EXPECT_NE(svg.find(text), std::string::npos) << text;
    const CommandResult shown = RunKoruProgram("train " + data + " -o " + ScratchPath("m.net") + " --epochs 10");
    EXPECT_NE(shown.err.find("bp epoch 10/10  mse "), std::string::npos) << shown.err;
    EXPECT_EQ(shown.err.find('\r'), std::string::npos);
    // On a terminal it is one bar, redrawn in place and ended by a line end.
    const std::string bar = RunKoruProgram("train " + data + " -o " + ScratchPath("m.net") + " --epochs 10' /dev/null",
                                           "script -qec '").out;
    EXPECT_NE(bar.find("\rbp [########################] epoch 10/10  mse "), std::string::npos) << bar;
    EXPECT_NE(bar.find("ETA 0.0s\x1b[K\r\n"), std::string::npos) << bar;
}

}  // namespace
}  // namespace koru_cli_test
