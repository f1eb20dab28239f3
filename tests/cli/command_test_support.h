// Helpers of the command tests: run `koru` in process or as a program, and
// files in a per-test scratch folder.
#ifndef KORU_TESTS_CLI_COMMAND_TEST_SUPPORT_H
#define KORU_TESTS_CLI_COMMAND_TEST_SUPPORT_H

#include <string>
#include <vector>

namespace koru_cli_test {

struct CommandResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs RunCommandLine with "koru" followed by `args`.
CommandResult RunKoru(const std::vector<std::string>& args);

// Runs the built `koru` program with a shell command tail (arguments and
// redirections), after the shell commands `shellPrefix` (e.g. "ulimit -f 1;");
// returns its exit status and standard output and error.
CommandResult RunKoruProgram(const std::string& arguments, const std::string& shellPrefix = "");

std::string DataFile(const std::string& name);       // a bundled data set
std::string ScratchPath(const std::string& name);    // a file in the test's folder
void WriteText(const std::string& path, const std::string& text);
std::string ReadText(const std::string& path);
bool FileExists(const std::string& path);
// Names in the scratch folder (to see that nothing was left behind).
std::vector<std::string> ScratchFiles();
// A model file's bytes as an earlier koru wrote them: without the checksum
// line that ends its metadata (the trailer's length adjusted), so a test can
// edit the metadata and reach the checks behind the checksum.
std::string WithoutChecksum(const std::string& bytes);

// The number after "NAME: " on the last line of `text`, or NaN.
double LastLineValue(const std::string& text, const std::string& name);

}  // namespace koru_cli_test

#endif
