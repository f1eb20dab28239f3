// What koru refuses so that nothing is lost or poisoned: outputs that name an
// input, numeric options out of range, damaged or cut model files, a file
// size limit, and input text that would garble a message.
#include "command_test_support.h"
#include "pending_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

namespace koru_cli_test {
namespace {

std::string IrisCopy() {
    std::string data = ScratchPath("d.csv");
    WriteText(data, ReadText(DataFile("iris.csv")));
    return data;
}

std::string TrainedBp(const std::string& data) {
    std::string model = ScratchPath("m.net");
    CommandResult result = RunKoru({"train", data, "-o", model, "-q", "--epochs", "20"});
    EXPECT_EQ(result.status, 0) << result.err;
    return model;
}

TEST(Reliability, OutputsThatNameAnInputOrAnotherOutputAreRefusedBeforeAnyWork) {
    const std::string data = IrisCopy(), model = TrainedBp(data);
    const std::string hardLink = ScratchPath("d-link.csv"), symLink = ScratchPath("m-link.net");
    std::filesystem::create_hard_link(data, hardLink);
    std::filesystem::create_symlink(model, symLink);
    const std::string fresh = ScratchPath("new.net"), other = ScratchPath("./m.net");
    const std::string nowhere = ScratchPath("nowhere");
    const std::string tail = "; writing it would destroy it: choose another output file";
    struct Case {
        const char* label;
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"train -o DATA", {"train", data, "-o", data},
         "-o " + data + " is the same file as the input DATA.csv " + data + tail},
        {"train -o hard link to DATA", {"train", data, "-o", hardLink},
         "-o " + hardLink + " is the same file as the input DATA.csv " + data + tail},
        {"train --plot DATA", {"train", data, "-o", fresh, "--plot", data},
         "--plot " + data + " is the same file as the input DATA.csv " + data + tail},
        {"train --plot = -o (existing)", {"train", data, "-o", model, "--plot", other},
         "--plot " + other + " is the same file as the output -o " + model + tail},
        {"train --plot = -o (new)", {"train", data, "-o", fresh, "--plot", fresh},
         "--plot " + fresh + " is the same file as the output -o " + fresh + tail},
        {"predict -o DATA", {"predict", model, data, "-o", hardLink},
         "-o " + hardLink + " is the same file as the input DATA.csv " + data + tail},
        {"predict -o symlink to MODEL", {"predict", model, data, "-o", symLink},
         "-o " + symLink + " is the same file as the input MODEL.net " + model + tail},
        {"predict -o MODEL spelt otherwise", {"predict", symLink, data, "-o", other},
         "-o " + other + " is the same file as the input MODEL.net " + symLink + tail},
        {"train -o into a missing folder", {"train", data, "-o", nowhere + "/m.net"},
         "-o " + nowhere + "/m.net: cannot write into the folder " + nowhere + " (No such file or directory)"},
        {"train -o a folder", {"train", data, "-o", ScratchPath("")},
         "-o " + ScratchPath("") + " is a folder, not a file to write"},
    };
    const std::string dataBytes = ReadText(data), modelBytes = ReadText(model);
    const std::vector<std::string> files = ScratchFiles();
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        if (args[0] == "train") args.push_back("-q");
        CommandResult result = RunKoru(args);
        EXPECT_EQ(result.status, 1) << c.label;
        EXPECT_EQ(result.err, "koru: error: " + c.message + "\n") << c.label;
        EXPECT_EQ(result.out, "") << c.label;
        EXPECT_EQ(ReadText(data), dataBytes) << c.label;
        EXPECT_EQ(ReadText(model), modelBytes) << c.label;
        EXPECT_EQ(ScratchFiles(), files) << c.label;
    }
}

TEST(Reliability, EveryNumericOptionIsRangeChecked) {
    const std::string data = DataFile("iris.csv"), model = ScratchPath("m.net");
    struct Case {
        std::vector<std::string> options;
        std::string message;  // part of the one-line usage error
    };
    const std::vector<Case> cases = {
        {{"--validation", "nan"}, "--validation must be finite"},
        {{"--validation", "0.95"}, "--validation must be at least 0 and at most 0.9, not 0.95"},
        {{"--rate", "nan"}, "--rate must be finite"},
        {{"--rate", "-1"}, "--rate must be above 0 and at most 10, not -1"},
        {{"--paradigm", "lvq", "--rate", "nan"}, "--rate must be finite"},
        {{"--paradigm", "lvq", "--rate", "2"}, "--rate must be above 0 and at most 1, not 2"},
        {{"--momentum", "1"}, "--momentum must be at least 0 and below 1, not 1"},
        {{"--weight-range", "0"}, "--weight-range must be above 0 and at most 100, not 0"},
        {{"--target-error", "-inf"}, "--target-error must be finite"},
        {{"--target-error", "-0.1"}, "--target-error must be at least 0 and at most 1e+30, not -0.1"},
        {{"--paradigm", "pnn", "--sigma", "inf"}, "--sigma must be finite"},
        {{"--paradigm", "grnn", "--sigma", "-0.5"}, "--sigma must be above 0 and at most 1e+06, not -0.5"},
        {{"--paradigm", "lvq", "--final-rate", "1.5"}, "--final-rate must be at least 0 and at most 1, not 1.5"},
        {{"--epochs", "0"}, "--epochs"},
        {{"--hidden", "4,0"}, "--hidden"},
        {{"--paradigm", "lvq", "--units-per-class", "0"}, "--units-per-class"},
        {{"--paradigm", "lvq", "--radius", "-1"}, "--radius"},
        {{"--paradigm", "lvq", "--grid-width", "40000"}, "--grid-width"},
        {{"--seed", "-1"}, "--seed"},
        {{"--momentum", ""}, "--momentum needs a value, not an empty one"},
        {{"--paradigm", "lvq", "--final-rate", ""}, "--final-rate needs a value, not an empty one"},
        {{"--validation", ""}, "--validation needs a value, not an empty one"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"train", data, "-o", model, "-q"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        CommandResult result = RunKoru(args);
        const std::string label = c.options[c.options.size() - 2] + " " + c.options.back();
        EXPECT_EQ(result.status, 2) << label;
        EXPECT_EQ(result.err.rfind("koru: error: ", 0), 0u) << label;
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << label;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << label << ": " << result.err;
        EXPECT_FALSE(FileExists(model)) << label;
    }
}

// An eval report without its first line, which names the model file.
std::string Report(const CommandResult& result) {
    return result.out.substr(result.out.find('\n') + 1);
}

TEST(Reliability, DamagedAndTruncatedModelsAreCalledSo) {
    const std::string data = IrisCopy(), model = TrainedBp(data);
    const std::string bytes = ReadText(model), probe = ScratchPath("probe.net");
    const CommandResult good = RunKoru({"eval", model, data});
    ASSERT_EQ(good.status, 0) << good.err;
    // An earlier version's file (no checksum) still reads, to the same result.
    WriteText(probe, WithoutChecksum(bytes));
    EXPECT_EQ(Report(RunKoru({"eval", probe, data})), Report(good));

    for (size_t length = 0; length < bytes.size(); ++length) {
        WriteText(probe, bytes.substr(0, length));
        CommandResult result = RunKoru({"eval", probe, data});
        EXPECT_EQ(result.status, 1) << length;
        EXPECT_NE(result.err.find("truncated"), std::string::npos) << length << ": " << result.err;
    }
    // One flipped bit anywhere is refused as damaged, or (a flip in the name
    // of the checksum entry, which makes the file look like an earlier
    // version's) gives exactly the result of the intact file.
    const size_t checksumKey = bytes.size() - 12 - 15;
    for (size_t at = 0; at < bytes.size(); ++at) {
        std::string flipped = bytes;
        flipped[at] = static_cast<char>(flipped[at] ^ (1 << (at % 8)));
        WriteText(probe, flipped);
        CommandResult result = RunKoru({"eval", probe, data});
        if (result.status == 0 && at >= checksumKey && at < checksumKey + 6) {
            EXPECT_EQ(Report(result), Report(good)) << at;
            continue;
        }
        EXPECT_EQ(result.status, 1) << at;
        EXPECT_NE(result.err.find("damaged"), std::string::npos) << at << ": " << result.err;
    }
    // Errors found behind the checksum name the file too.
    std::string edited = WithoutChecksum(bytes);
    size_t at = edited.find("set.bp.hidden=8\n");
    ASSERT_NE(at, std::string::npos);
    edited.replace(at, 16, "set.bp.hidden=x\n");
    WriteText(probe, edited);
    EXPECT_EQ(RunKoru({"eval", probe, data}).err,
              "koru: error: " + probe +
                  ": damaged model metadata: the model's metadata entry 'bp.hidden' is not a list of integers\n");
}

TEST(Reliability, AFileSizeLimitEndsInAMessageAndLeavesNoFile) {
    const std::string model = ScratchPath("big.net");
    CommandResult result = RunKoruProgram("train " + DataFile("iris.csv") + " -o " + model + " -q --paradigm pnn",
                                          "ulimit -f 1; ");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err.rfind("koru: error: " + model + ": cannot write the network file", 0), 0u) << result.err;
    EXPECT_NE(result.err.find("(File too large)\n"), std::string::npos) << result.err;
    EXPECT_EQ(ScratchFiles(), std::vector<std::string>{});
}

TEST(Reliability, CellsNeverGarbleAMessage) {
    std::string wide, wideRow;
    for (int c = 0; c < 100000; ++c) {
        wide += 'c';
        wide += std::to_string(c);
        wide += ',';
        wideRow += "1,";
    }
    struct Case {
        const char* label;
        std::string text;
        std::vector<std::string> options;
        std::string message;  // after "FILE"
    };
    const std::vector<Case> cases = {
        {"byte-order mark", "\xEF\xBB\xBF" "a,class\nz,p\n", {}, ":2:1: non-numeric value 'z' in column 'a'"},
        {"NUL byte", std::string("a,class\n1\0x,p\n", 14), {}, ":2:1: non-numeric value '1\\0x' in column 'a'"},
        {"line end in a cell", "a,class\n\"1\n2\",p\n", {}, ":2:1: non-numeric value '1\\n2' in column 'a'"},
        {"long cell", "a,class\n" + std::string(1000, 'x') + ",p\n", {},
         ":2:1: non-numeric value '" + std::string(60, 'x') + "...' in column 'a'"},
        {"beyond float", "a,class\n1,p\n1e300,q\n", {},
         ":3:1: value '1e300' in column 'a' is outside the range of 32-bit floats (about -3.4e38 to 3.4e38)"},
        {"beyond double", "a,class\n-1e400,p\n1,q\n", {},
         ":2:1: value '-1e400' in column 'a' is outside the range of 32-bit floats (about -3.4e38 to 3.4e38)"},
        {"wide, unknown target", wide + "class\n" + wideRow + "p\n", {"--target", "nope"},
         ": unknown column 'nope' (the columns are: c0, c1, c2, c3, c4, c5, c6, c7, c8, c9 and 99991 more)"},
        {"wide, duplicate name", wide + "c99999\n", {}, ":1:100001: duplicate column name 'c99999'"},
    };
    for (const Case& c : cases) {
        const std::string data = ScratchPath("in.csv");
        WriteText(data, c.text);
        std::vector<std::string> args{"train", data, "-o", ScratchPath("m.net"), "-q"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        CommandResult result = RunKoru(args);
        EXPECT_EQ(result.status, 1) << c.label;
        EXPECT_EQ(result.err, "koru: error: " + data + c.message + "\n") << c.label;
    }
}

}  // namespace
}  // namespace koru_cli_test

namespace koru_cli_test {
namespace {

// Stopped by a signal during training, koru leaves the earlier model whole
// and no temporary file beside it, unless --save-on-interrupt asks for the
// best net so far; either way the exit status is 128 + the signal. The signal
// is sent once training shows progress, so it lands while training runs.
TEST(Reliability, AStopSignalLeavesTheEarlierModelUnlessAskedToSave) {
    const std::string model = ScratchPath("m.net"), progress = ScratchPath("progress.txt");
    struct Case {
        const char* label;
        std::string options;
        const char* signal;
        int status;
        bool saved;
    };
    const std::vector<Case> cases{
        {"bp, SIGTERM", "--epochs 1000000 --patience 0", "TERM", 143, false},
        {"bp, SIGINT", "--epochs 1000000 --patience 0", "INT", 130, false},
        {"bp, SIGINT, saved", "--epochs 1000000 --patience 0 --save-on-interrupt", "INT", 130, true},
        {"lvq, SIGTERM, saved", "--paradigm lvq --epochs 1000000 --save-on-interrupt", "TERM", 143, true},
    };
    // The signal comes half a second after the first progress line, so that
    // even on a busy machine thousands of epochs have run and the saved best
    // net is a trained one.
    for (const Case& c : cases) {
        WriteText(model, "earlier model");
        std::remove(progress.c_str());
        CommandResult result = RunKoruProgram(
            "train " + DataFile("iris.csv") + " -o " + model + " " + c.options + " 2>" + progress +
            " & until [ -s " + progress + " ]; do sleep 0.05; done; sleep 0.5; kill -" + c.signal + " $!; wait $!");
        EXPECT_EQ(result.status, c.status) << c.label;
        EXPECT_EQ(ScratchFiles(), (std::vector<std::string>{"m.net", "progress.txt"})) << c.label;
        if (!c.saved) {
            EXPECT_EQ(ReadText(model), "earlier model") << c.label;
            continue;
        }
        EXPECT_NE(result.out.find(std::string("interrupted by SIG") + c.signal + ": saved the best net so far"),
                  std::string::npos) << c.label << result.out;
        CommandResult eval = RunKoru({"eval", model, DataFile("iris.csv")});
        EXPECT_EQ(eval.status, 0) << c.label << eval.err;
        EXPECT_GT(LastLineValue(eval.out, "accuracy"), 0.8) << c.label;
    }
    // A signal during the save itself: the handler removes the temporary file.
    WriteText(model, "earlier model");
    {
        koru_cli::PendingFile pending(model);
        WriteText(pending.TempPath(), "half a model");
        koru_cli::RemovePendingTempFile();  // what the signal handler does
        EXPECT_FALSE(FileExists(pending.TempPath()));
    }
    EXPECT_EQ(ReadText(model), "earlier model");
}

}  // namespace
}  // namespace koru_cli_test
