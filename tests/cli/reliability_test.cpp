// What koru does so that nothing is lost or poisoned: damaged or cut model
// files are called so, a file size limit ends in a message and no file, and a
// stop signal leaves the earlier model whole unless asked to save.
#include "koru_test_support.h"

namespace koru_cli_test {
namespace {

// An eval report without its first line, which names the model file.
std::string Report(const CommandResult& result) { return result.out.substr(result.out.find('\n') + 1); }

TEST(Reliability, DamagedAndTruncatedModelsAreCalledSo) {
    const std::string data = DataFile("iris.csv"), model = Train(data, {"--epochs", "20"}), bytes = ReadText(model);
    const std::string probe = ScratchPath("probe.net");
    const CommandResult good = RunKoru({"eval", model, data});
    ASSERT_EQ(good.status, 0) << good.err;
    // An earlier version's file (no checksum) still reads, to the same result.
    WriteText(probe, WithoutChecksum(bytes));
    EXPECT_EQ(Report(RunKoru({"eval", probe, data})), Report(good));
    for (size_t length = 0; length < bytes.size(); ++length) {
        WriteText(probe, bytes.substr(0, length));
        const CommandResult result = RunKoru({"eval", probe, data});
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
        const CommandResult result = RunKoru({"eval", probe, data});
        if (result.status == 0 && at >= checksumKey && at < checksumKey + 6) {
            EXPECT_EQ(Report(result), Report(good)) << at;
            continue;
        }
        EXPECT_EQ(result.status, 1) << at;
        EXPECT_NE(result.err.find("damaged"), std::string::npos) << at << ": " << result.err;
    }
    // Errors found behind the checksum name the file too.
    std::string edited = WithoutChecksum(bytes);
    edited.replace(edited.find("set.bp.hidden=8\n"), 16, "set.bp.hidden=x\n");
    WriteText(probe, edited);
    EXPECT_EQ(RunKoru({"eval", probe, data}).err, "koru: error: " + probe +
              ": damaged model metadata: the model's metadata entry 'bp.hidden' is not a list of integers\n");
}

TEST(Reliability, AFileSizeLimitEndsInAMessageAndLeavesNoFile) {
    const std::string model = ScratchPath("big.net");
    const CommandResult result = RunKoruProgram("train " + DataFile("iris.csv") + " -o " + model + " -q --paradigm pnn", "ulimit -f 1; ");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err.rfind("koru: error: " + model + ": cannot write the network file", 0), 0u) << result.err;
    EXPECT_NE(result.err.find("(File too large)\n"), std::string::npos) << result.err;
    EXPECT_EQ(ScratchFiles(), std::vector<std::string>{});
}

// Stopped by a signal during training, koru leaves the earlier model whole
// and no temporary file beside it, unless --save-on-interrupt asks for the
// best net so far; either way the exit status is 128 + the signal.
TEST(Reliability, AStopSignalLeavesTheEarlierModelUnlessAskedToSave) {
    const std::string model = ScratchPath("m.net"), progress = ScratchPath("progress.txt");
    struct Case { const char* label; std::string options; const char* signal; int status; bool saved; };
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
        SCOPED_TRACE(c.label);
        WriteText(model, "earlier model");
        std::remove(progress.c_str());
        const CommandResult result = RunKoruProgram("train " + DataFile("iris.csv") + " -o " + model + " " + c.options +
                                                    " 2>" + progress + " & until [ -s " + progress +
                                                    " ]; do sleep 0.05; done; sleep 0.5; kill -" + c.signal + " $!; wait $!");
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(ScratchFiles(), (std::vector<std::string>{"m.net", "progress.txt"}));
        if (!c.saved) {
            EXPECT_EQ(ReadText(model), "earlier model");
            continue;
        }
        EXPECT_NE(result.out.find(std::string("interrupted by SIG") + c.signal + ": saved the best net so far"),
                  std::string::npos) << result.out;
        EXPECT_GT(LastLineValue(RunKoru({"eval", model, DataFile("iris.csv")}).out, "accuracy"), 0.8);
    }
}

}  // namespace
}  // namespace koru_cli_test
