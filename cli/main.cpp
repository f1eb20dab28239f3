// main.cpp - the `koru` program.
#include "command_line.h"
#include "pending_file.h"

#include <csignal>
#include <iostream>

int main(int argc, char** argv) {
    // Past a file size limit (ulimit -f) the system would kill the program in
    // the middle of a save, leaving its temporary file behind. Ignored, the
    // signal turns into a write that fails with EFBIG: reported, and the
    // temporary file removed.
    std::signal(SIGXFSZ, SIG_IGN);
    koru_cli::RemoveTempFilesOnStopSignals();
    return koru_cli::RunCommandLine(argc, argv, std::cout, std::cerr);
}
