// Helpers of the command tests.
#include "command_test_support.h"

#include "command_line.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace koru_cli_test {

namespace {

std::filesystem::path ScratchDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) / "koru_command_test" /
                                (std::string(info->test_suite_name()) + "." + info->name() + "." + std::to_string(getpid()));
    // Each test starts with an empty folder, whatever earlier runs left.
    static std::filesystem::path current;
    if (dir != current) {
        std::filesystem::remove_all(dir);
        current = dir;
    }
    std::filesystem::create_directories(dir);
    return dir;
}

}  // namespace

CommandResult RunKoru(const std::vector<std::string>& args) {
    std::vector<const char*> argv{"koru"};
    for (const std::string& arg : args) {
        argv.push_back(arg.c_str());
    }
    std::ostringstream out, err;
    CommandResult result;
    result.status = koru_cli::RunCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
    result.out = out.str();
    result.err = err.str();
    return result;
}

CommandResult RunKoruProgram(const std::string& arguments, const std::string& shellPrefix) {
    std::string errFile = ScratchPath("program.stderr");
    std::string command = shellPrefix + std::string(KORU_BINARY) + " " + arguments + " 2>" + errFile;
    CommandResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        result.out.append(buffer, got);
    }
    int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.err = ReadText(errFile);
    std::remove(errFile.c_str());
    return result;
}

std::string DataFile(const std::string& name) {
    return std::string(KORU_TEST_DATA_DIR) + "/" + name;
}

std::string ScratchPath(const std::string& name) {
    return (ScratchDir() / name).string();
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

bool FileExists(const std::string& path) {
    return std::filesystem::exists(path);
}

std::vector<std::string> ScratchFiles() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(ScratchDir())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string WithoutChecksum(const std::string& bytes) {
    const size_t trailer = 12, line = 15;  // "crc32=" + 8 hex digits + LF
    std::string out = bytes;
    const size_t at = out.size() - trailer - line;
    EXPECT_EQ(out.compare(at, 6, "crc32="), 0) << "no checksum line";
    out.erase(at, line);
    const size_t lengthAt = out.size() - trailer;
    uint32_t length = 0;
    for (int i = 3; i >= 0; --i) length = (length << 8) | static_cast<unsigned char>(out[lengthAt + static_cast<size_t>(i)]);
    length -= line;
    for (size_t i = 0; i < 4; ++i) out[lengthAt + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
    return out;
}

double LastLineValue(const std::string& text, const std::string& name) {
    std::string trimmed = text;
    while (!trimmed.empty() && trimmed.back() == '\n') {
        trimmed.pop_back();
    }
    std::string last = trimmed.substr(trimmed.rfind('\n') == std::string::npos ? 0 : trimmed.rfind('\n') + 1);
    std::string prefix = name + ": ";
    if (last.rfind(prefix, 0) != 0) {
        return NAN;
    }
    return std::strtod(last.c_str() + prefix.size(), nullptr);
}

}  // namespace koru_cli_test
