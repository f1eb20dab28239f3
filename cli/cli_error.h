// cli_error.h - the one exception type of the koru front end.
//
// Every failure the user can cause (a bad file, an unknown column, a library
// call that refuses) ends as a CliError whose text is the whole one-line
// message; main() prints it after "koru: error: " and exits non-zero.
#ifndef KORU_CLI_CLI_ERROR_H
#define KORU_CLI_CLI_ERROR_H

#include <stdexcept>
#include <string>

namespace koru_cli {

class CliError : public std::runtime_error {
public:
    explicit CliError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace koru_cli

#endif
