// command_line.h - the `koru` command line: subcommands, options, --help.
#ifndef KORU_CLI_COMMAND_LINE_H
#define KORU_CLI_COMMAND_LINE_H

#include <ostream>

namespace koru_cli {

// Parses the arguments, runs the subcommand and returns the exit status:
// 0 success, 1 a failure while running (a bad file, a library error),
// 2 a bad command line. Errors are one line on `err` starting "koru: error: ".
int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace koru_cli

#endif
