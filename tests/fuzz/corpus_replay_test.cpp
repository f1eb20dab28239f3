// Replays the committed fuzz corpora through the same checks the fuzzers
// run, so that every input that ever found a fault, and every input that
// reached new code, keeps being checked by the ordinary test suite. A broken
// check aborts with a message that names the input.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "fuzz/checks.h"

namespace {

namespace fs = std::filesystem;

// Runs every file of fuzz/corpus/<target> through `check`; returns how many.
size_t Replay(const char* target, void (*check)(const uint8_t*, size_t)) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(fs::path(KORU32_FUZZ_CORPUS_DIR) / target)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        koru_fuzz::SetInputName(file.string());
        check(bytes.data(), bytes.size());
    }
    koru_fuzz::SetInputName("");
    return files.size();
}

// The seed files alone are dozens per corpus.
TEST(FuzzCorpusReplay, NetworkFiles) { EXPECT_GT(Replay("network_file", koru_fuzz::CheckNetworkFileInput), 20u); }
TEST(FuzzCorpusReplay, ShellFiles) { EXPECT_GT(Replay("shell_file", koru_fuzz::CheckShellFileInput), 20u); }
TEST(FuzzCorpusReplay, ExportPrograms) { EXPECT_GT(Replay("exports", koru_fuzz::RunExportProgram), 10u); }

}  // namespace
