// The text of the CliError a call of the front end's pieces throws, for the
// tests of their messages.
#pragma once

#include <string>

#include "cli_error.h"

namespace koru_cli {

// Runs `call`; returns the message of the CliError it throws, or "no error".
template <typename Call>
std::string CliErrorText(Call call) {
    try {
        call();
    } catch (const CliError& error) {
        return error.what();
    }
    return "no error";
}

}  // namespace koru_cli
