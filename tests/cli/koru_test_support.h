// Helpers of the koru program's tests: run it in process or as a program,
// and files in a scratch folder of each test's own.
#pragma once

#include <gtest/gtest.h>
#include <koru32.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "command_line.h"

namespace koru_cli_test {

struct CommandResult { int status = -1; std::string out, err; };

inline std::filesystem::path ScratchDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::filesystem::path dir =
        std::filesystem::path(::testing::TempDir()) / "koru_command_test" /
        (std::string(info->test_suite_name()) + "." + info->name() + "." + std::to_string(getpid()));
    static std::filesystem::path current;  // each test starts with an empty folder
    if (dir != current) std::filesystem::remove_all(dir), current = dir;
    std::filesystem::create_directories(dir);
    return dir;
}

inline std::string ScratchPath(const std::string& name) { return (ScratchDir() / name).string(); }
inline std::string DataFile(const std::string& name) { return std::string(KORU_TEST_DATA_DIR) + "/" + name; }
inline void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

inline std::string ReadText(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// Names in the scratch folder, sorted (to see what a command left behind).
inline std::vector<std::string> ScratchFiles() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(ScratchDir())) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// "koru" followed by `args`, run in process.
inline CommandResult RunKoru(const std::vector<std::string>& args) {
    std::vector<const char*> argv{"koru"};
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    std::ostringstream out, err;
    const int status = koru_cli::RunCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
    return {status, out.str(), err.str()};
}

// The built program with a shell command tail, after the shell commands
// `shellPrefix` (e.g. "ulimit -f 1;").
inline CommandResult RunKoruProgram(const std::string& arguments, const std::string& shellPrefix = "") {
    const std::string errFile = ScratchPath("program.stderr");
    CommandResult result;
    FILE* pipe = popen((shellPrefix + KORU_BINARY + " " + arguments + " 2>" + errFile).c_str(), "r");
    char buffer[4096];
    for (size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.out.append(buffer, got);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.err = ReadText(errFile);
    std::remove(errFile.c_str());
    return result;
}

// Trains a model into the scratch folder; `options` follow the data file.
inline std::string Train(const std::string& data, const std::vector<std::string>& options,
                         const std::string& name = "m.net") {
    std::vector<std::string> args{"train", data, "-o", ScratchPath(name), "-q"};
    args.insert(args.end(), options.begin(), options.end());
    const CommandResult result = RunKoru(args);
    EXPECT_EQ(result.status, 0) << result.err;
    return ScratchPath(name);
}

// The value of "key=" in a model file's metadata, or "(none)".
inline std::string Setting(const std::string& model, const std::string& key) {
    const std::string bytes = ReadText(model);
    const size_t at = bytes.find("\n" + key + "="), from = at + key.size() + 2;
    return at == std::string::npos ? "(none)" : bytes.substr(from, bytes.find('\n', from) - from);
}

// The number after "NAME: " on the last line of `text`, or NaN.
inline double LastLineValue(std::string text, const std::string& name) {
    while (!text.empty() && text.back() == '\n') text.pop_back();
    const std::string last = text.substr(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1);
    return last.rfind(name + ": ", 0) == 0 ? std::stod(last.substr(name.size() + 2)) : NAN;
}

// A model file as an earlier koru wrote it: without the checksum line that
// ends its metadata (the trailer's length adjusted), so a test can edit the
// metadata and reach the checks behind the checksum.
inline std::string WithoutChecksum(std::string bytes) {
    const size_t trailer = 12, line = 15;  // "crc32=" + 8 hex digits + LF
    const size_t at = bytes.size() - trailer - line;
    EXPECT_EQ(bytes.compare(at, 6, "crc32="), 0) << "no checksum line";
    bytes.erase(at, line);
    auto* length = reinterpret_cast<unsigned char*>(&bytes[bytes.size() - trailer]);
    const uint32_t value = (length[0] | length[1] << 8 | length[2] << 16 | uint32_t{length[3]} << 24) - line;
    for (int i = 0; i < 4; ++i) length[i] = static_cast<unsigned char>(value >> (8 * i));
    return bytes;
}

inline std::vector<std::vector<std::string>> CsvLines(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        rows.emplace_back();
        for (std::string field; std::getline(fields, field, ',');) rows.back().push_back(field);
    }
    return rows;
}

}  // namespace koru_cli_test
