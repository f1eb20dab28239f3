// cli_error.h - the one exception type of the koru front end.
//
// Every failure the user can cause (a bad file, an unknown column, a library
// call that refuses) ends as a CliError whose text is the whole one-line
// message; main() prints it after "koru: error: " and exits non-zero.
//
// Messages often carry text from the user's files (a cell, a column name). So
// that such text can never cut a message short (a NUL byte) or make it span
// lines (a line end inside a quoted cell), every message is made one line of
// printable text when the error is made: control bytes are written as \n, \r,
// \t, \0 or \xNN. Cells and names from files are quoted with QuotedCell,
// which also doubles their backslashes.
#ifndef KORU_CLI_CLI_ERROR_H
#define KORU_CLI_CLI_ERROR_H

#include <stdexcept>
#include <string>

namespace koru_cli {

// `text` with control bytes escaped as described above.
std::string OneLine(const std::string& text);

// A cell or name from a file, for a message: single-quoted, its backslashes
// doubled and its control bytes escaped, and cut to its first 60 bytes followed by "..." when longer, so a
// huge cell makes no huge message.
std::string QuotedCell(const std::string& text);

class CliError : public std::runtime_error {
public:
    // `status` is the program's exit status (128 + the signal for a run
    // stopped by one).
    explicit CliError(const std::string& message, int status = 1)
        : std::runtime_error(OneLine(message)), status_(status) {}
    int Status() const { return status_; }

private:
    int status_;
};

}  // namespace koru_cli

#endif
