// main.cpp - the `koru` program.
#include "command_line.h"

#include <iostream>

int main(int argc, char** argv) {
    return koru_cli::RunCommandLine(argc, argv, std::cout, std::cerr);
}
