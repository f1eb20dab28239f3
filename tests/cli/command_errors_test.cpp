// The command line's help and its refusals: bad options, bad CSV, unknown
// columns, files that are not network files. Every refusal is one line on
// standard error, a non-zero status, and no output file left behind.
#include "command_test_support.h"

#include <koru32.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace koru_cli_test {
namespace {

size_t LineCount(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

// A refusal: the status, exactly one line "koru: error: <message>".
void ExpectRefusal(const CommandResult& result, int status, const std::string& message) {
    EXPECT_EQ(result.status, status);
    EXPECT_EQ(result.err, "koru: error: " + message + "\n");
}

void ExpectUsageError(const CommandResult& result, const std::string& mentions) {
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err.rfind("koru: error: ", 0), 0u) << result.err;
    EXPECT_EQ(LineCount(result.err), 1u) << result.err;
    EXPECT_NE(result.err.find(mentions), std::string::npos) << result.err;
}

TEST(CommandHelp, EverySubcommandHasHelp) {
    // Each subcommand's help names its arguments (and train's, its options of
    // every paradigm); the top-level help names every subcommand.
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"train", "--pick-sigma"}, {"cv", "--folds"}, {"eval", "DATA.csv"}, {"predict", "--output"}, {"info", "MODEL.net"},
        {"demo", "--data"}};
    CommandResult top = RunKoru({"--help"});
    EXPECT_EQ(top.status, 0);
    for (const auto& [command, option] : expected) {
        CommandResult result = RunKoru({command, "--help"});
        EXPECT_EQ(result.status, 0) << command;
        EXPECT_NE(result.out.find("Usage"), std::string::npos) << command;
        EXPECT_NE(result.out.find(option), std::string::npos) << command << " lacks " << option;
        EXPECT_NE(top.out.find(command), std::string::npos) << command;
    }
}

TEST(CommandLine, BadCommandLinesAreUsageErrors) {
    std::string data = DataFile("iris.csv");
    std::string model = ScratchPath("m.net");
    ExpectUsageError(RunKoru({}), "subcommand");
    ExpectUsageError(RunKoru({"frobnicate"}), "frobnicate");
    ExpectUsageError(RunKoru({"train", data, "-o", model, "--bogus"}), "--bogus");
    ExpectUsageError(RunKoru({"train", data}), "--output");
    ExpectUsageError(RunKoru({"train", data, "-o", model, "--paradigm", "som"}), "som");
    ExpectUsageError(RunKoru({"train", data, "-o", model, "--validation", "1.5"}), "1.5");
    ExpectUsageError(RunKoru({"train", data, "-o", model, "--epochs", "many"}), "many");
    ExpectUsageError(RunKoru({"eval", model}), "DATA.csv");
    EXPECT_FALSE(FileExists(model));
}

TEST(CommandLine, OptionsOfAnotherParadigmAreRefused) {
    std::string data = DataFile("iris.csv");
    std::string model = ScratchPath("m.net");
    ExpectUsageError(RunKoru({"train", data, "-o", model, "--paradigm", "pnn", "--hidden", "4"}),
                     "--hidden applies to --paradigm bp, not pnn");
    ExpectUsageError(RunKoru({"train", data, "-o", model, "--sigma", "0.2"}), "--sigma applies to --paradigm grnn or pnn, not bp");
    ExpectUsageError(RunKoru({"train", data, "-o", model, "--paradigm", "lvq", "--kernel", "city-block"}), "city-block");
    ExpectUsageError(RunKoru({"train", data, "-o", model, "--paradigm", "grnn", "--kernel", "dot"}), "dot");
    EXPECT_FALSE(FileExists(model));
}

TEST(CommandLine, BadCsvNamesFileLineAndColumnAndLeavesNoModel) {
    std::string model = ScratchPath("m.net");
    struct Case {
        std::string text;
        std::string message;  // after the file name
    };
    const std::vector<Case> cases = {
        {"a,b,class\n1,2,x\n3,,y\n", ":3:2: missing value in column 'b'"},
        {"a,b,class\n1,2,x\n\n3,4o,y\n", ":4:2: non-numeric value '4o' in column 'b'"},
        {"a,b,class\n1,2,x\n3,4\n", ":3:3: ragged row: 2 fields, the header has 3"},
        {"a,b,class\n1,2,x\n3,4,\n", ":3:3: missing value in column 'class'"},
    };
    for (const Case& c : cases) {
        std::string data = ScratchPath("bad.csv");
        WriteText(data, c.text);
        ExpectRefusal(RunKoru({"train", data, "-o", model, "-q"}), 1, data + c.message);
        EXPECT_EQ(ScratchFiles(), std::vector<std::string>{"bad.csv"});
    }
}

TEST(CommandLine, AFailedTrainingKeepsTheEarlierModel) {
    std::string model = ScratchPath("m.net");
    WriteText(model, "earlier model");
    std::string data = ScratchPath("bad.csv");
    WriteText(data, "a,class\n1,x\n2,\n");
    EXPECT_EQ(RunKoru({"train", data, "-o", model, "-q"}).status, 1);
    EXPECT_EQ(ReadText(model), "earlier model");
    EXPECT_EQ(ScratchFiles(), (std::vector<std::string>{"bad.csv", "m.net"}));
}

TEST(CommandLine, UnknownColumnsAndUnusableTargets) {
    std::string data = DataFile("iris.csv");
    std::string model = ScratchPath("m.net");
    ExpectRefusal(RunKoru({"train", data, "-o", model, "-q", "--target", "colour"}), 1,
                  data + ": unknown column 'colour' (the columns are: sepal_length, sepal_width, petal_length, "
                         "petal_width, species)");
    ExpectRefusal(RunKoru({"train", data, "-o", model, "-q", "--inputs", "sepal_length,petal_size"}), 1,
                  data + ": unknown column 'petal_size' (the columns are: sepal_length, sepal_width, petal_length, "
                         "petal_width, species)");
    // A text target cannot be regressed: the first label is reported where it stands.
    ExpectRefusal(RunKoru({"train", data, "-o", model, "-q", "--task", "regress"}), 1,
                  data + ":2:5: non-numeric value 'setosa' in column 'species'");
    ExpectRefusal(RunKoru({"train", data, "-o", model, "-q", "--paradigm", "grnn"}), 1,
                  data + ":2:5: non-numeric value 'setosa' in column 'species'");
    ExpectRefusal(RunKoru({"train", data, "-o", model, "-q", "--paradigm", "pnn", "--task", "regress"}), 1,
                  "pnn nets classify; use bp or grnn to regress");
    ExpectRefusal(RunKoru({"train", data, "-o", model, "-q", "--paradigm", "pnn", "--sigma", "0.1", "--plot",
                           ScratchPath("c.svg")}),
                  1,
                  "--plot needs a training curve: pnn and grnn have one only with --pick-sigma loo or validation");
    EXPECT_TRUE(ScratchFiles().empty());
}

TEST(CommandLine, FilesThatAreNotModels) {
    std::string data = DataFile("iris.csv");
    ExpectRefusal(RunKoru({"eval", data, data}), 1,
                  data + " looks like a CSV file, not a model; usage: koru eval MODEL.net DATA.csv");
    std::string foreign = ScratchPath("foreign.net");
    WriteText(foreign, std::string(600, '\x01'));
    ExpectRefusal(RunKoru({"info", foreign}), 1, foreign + ": not a network file (its table sizes are not 32 and 32)");
    std::string tiny = ScratchPath("tiny.net");
    WriteText(tiny, "KORU");
    ExpectRefusal(RunKoru({"info", tiny}), 1, tiny + ": not a network file, or a truncated one (it is shorter than the 530-byte header)");
    std::string missing = ScratchPath("missing.net");
    ExpectRefusal(RunKoru({"eval", missing, data}), 1, missing + ": cannot open the file");
    std::string out = ScratchPath("out.csv");
    EXPECT_EQ(RunKoru({"predict", data, data, "-o", out}).status, 1);
    EXPECT_FALSE(FileExists(out));
}

TEST(CommandLine, ANetworkFileWithoutMetadata) {
    // A net saved by a program of its own: info describes it, eval refuses it.
    uint16_t free = 0;
    ASSERT_EQ(GetNextNet(&free), KORU32_OK);
    const int16_t net = static_cast<int16_t>(free);
    uint16_t type = KORU32_NET_LVQ_DISTANCE;
    ASSERT_EQ(MakeNet(&net, &type), KORU32_OK);
    const int16_t input = 0, units = 1, link = 0, two = 2, three = 3;
    const int16_t inputKind = KORU32_SLAB_INPUT, outputKind = KORU32_SLAB_OUTPUT;
    const float range = 0.5f;
    ASSERT_EQ(MakeSlab(&net, &input, &two, &inputKind), KORU32_OK);
    ASSERT_EQ(MakeSlab(&net, &units, &three, &outputKind), KORU32_OK);
    ASSERT_EQ(MakeLink(&net, &link, &range, &input, &units), KORU32_OK);
    std::string file = ScratchPath("bare.net");
    const int32_t none = 0;
    ASSERT_EQ(SaveNet(&net, file.c_str(), &none, nullptr), KORU32_OK);
    ASSERT_EQ(KillNet(&net), KORU32_OK);

    CommandResult info = RunKoru({"info", file});
    EXPECT_EQ(info.status, 0);
    EXPECT_NE(info.out.find("net type: 4 (LVQ, squared distance)\n"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("  slab 1: output, 3 neurons\n"), std::string::npos);
    EXPECT_NE(info.out.find("  link 0: slab 0 -> slab 1, 2 x 3 weights, status 2 (propagated and trained)\n"),
              std::string::npos);
    EXPECT_NE(info.out.find("metadata: none"), std::string::npos);
    ExpectRefusal(RunKoru({"eval", file, DataFile("iris.csv")}), 1,
                  file + ": a network file without koru metadata (not made by 'koru train', or truncated); 'koru "
                         "info' can describe it");
    // Every net the commands made is released again.
    ASSERT_EQ(GetNextNet(&free), KORU32_OK);
    EXPECT_EQ(free, 0);
}

// A trained model, for the tests that use one.
std::string TrainedPnn() {
    std::string model = ScratchPath("pnn.net");
    CommandResult result = RunKoru({"train", DataFile("iris.csv"), "-o", model, "-q", "--paradigm", "pnn"});
    EXPECT_EQ(result.status, 0) << result.err;
    return model;
}

TEST(CommandLine, DataThatDoesNotFitTheModel) {
    std::string model = TrainedPnn();
    ExpectRefusal(RunKoru({"predict", model, model}), 1,
                  model + " looks like a network file, not CSV data; usage: koru predict MODEL.net DATA.csv");
    std::string data = ScratchPath("flowers.csv");
    WriteText(data,
              "sepal_length,sepal_width,petal_length,petal_width,species\n"
              "5.1,3.5,1.4,0.2,setosa\n"
              "5.0,3.4,1.5,0.2,daisy\n");
    ExpectRefusal(RunKoru({"eval", model, data}), 1, data + ":3:5: class 'daisy' is not one the model knows");
    WriteText(data, "sepal_length,sepal_width,petal_length\n5.1,3.5,1.4\n");
    ExpectRefusal(RunKoru({"predict", model, data}), 1,
                  data + ": unknown column 'petal_width' (the columns are: sepal_length, sepal_width, petal_length)");
    // Predicting needs no target column, and the columns may come in any order.
    WriteText(data, "petal_width,petal_length,sepal_width,sepal_length\n0.2,1.4,3.5,5.1\n2.3,5.4,3.1,6.9\n");
    CommandResult predicted = RunKoru({"predict", model, data});
    EXPECT_EQ(predicted.status, 0) << predicted.err;
    EXPECT_EQ(predicted.out.substr(0, predicted.out.find('\n')),
              "line,species,score:setosa,score:versicolor,score:virginica");
    EXPECT_EQ(predicted.out.find("\n2,setosa,"), predicted.out.find('\n'));
    EXPECT_NE(predicted.out.find("\n3,virginica,"), std::string::npos);
    // eval needs the target.
    ExpectRefusal(RunKoru({"eval", model, data}), 1,
                  data + ": unknown column 'species' (the columns are: petal_width, petal_length, sepal_width, "
                         "sepal_length)");
}

TEST(CommandLine, MetadataThatContradictsTheNetIsRefused) {
    // Files of earlier versions carry no checksum: the metadata is checked
    // against the net all the same.
    std::string model = TrainedPnn();
    std::string bytes = WithoutChecksum(ReadText(model));
    size_t at = bytes.find("paradigm=pnn\n");
    ASSERT_NE(at, std::string::npos);
    bytes.replace(at, 13, "paradigm=lvq\n");
    WriteText(model, bytes);
    ExpectRefusal(RunKoru({"eval", model, DataFile("iris.csv")}), 1,
                  model + ": the metadata does not fit the net (metadata for lvq, a net of paradigm 8)");
    bytes.replace(at, 13, "paradigm=xyz\n");
    WriteText(model, bytes);
    ExpectRefusal(RunKoru({"info", model}), 1, model + ": damaged model metadata: unknown paradigm 'xyz'");
}

TEST(Program, ExitStatusAndOneLineErrors) {
    CommandResult help = RunKoruProgram("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("train"), std::string::npos);
    CommandResult version = RunKoruProgram("--version");
    EXPECT_EQ(version.status, 0);
    // The program and the library it loaded, which here is the one built with it.
    const std::string release = std::to_string(KORU32_VERSION_MAJOR) + "." + std::to_string(KORU32_VERSION_MINOR) +
                                "." + std::to_string(KORU32_VERSION_PATCH);
    EXPECT_EQ(version.out, "koru " + release + "\nKORU32 library " + release + "\n");
    CommandResult usage = RunKoruProgram("train --bogus");
    EXPECT_EQ(usage.status, 2);
    EXPECT_EQ(LineCount(usage.err), 1u);
    std::string missing = ScratchPath("missing.net");
    CommandResult failure = RunKoruProgram("info " + missing);
    EXPECT_EQ(failure.status, 1);
    EXPECT_EQ(failure.err, "koru: error: " + missing + ": cannot open the file\n");
}

}  // namespace
}  // namespace koru_cli_test
