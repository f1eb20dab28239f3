// pending_file.cpp - temporary output files renamed into place.
#include "pending_file.h"

#include "cli_error.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <unistd.h>

namespace koru_cli {

PendingFile::PendingFile(std::string target) : target_(std::move(target)) {
    // Same folder as the target, so the rename never crosses file systems.
    temp_ = target_ + ".koru-tmp-" + std::to_string(static_cast<long>(getpid()));
}

PendingFile::~PendingFile() {
    if (!committed_) {
        std::remove(temp_.c_str());
    }
}

void PendingFile::Commit() {
    if (std::rename(temp_.c_str(), target_.c_str()) != 0) {
        int error = errno;
        throw CliError(target_ + ": cannot write the file (" + std::strerror(error) + ")");
    }
    committed_ = true;
}

void WritePendingFile(const std::string& fileName, const std::string& text) {
    PendingFile pending(fileName);
    {
        std::ofstream out(pending.TempPath(), std::ios::binary);
        out << text;
        out.close();
        if (!out) {
            throw CliError(fileName + ": cannot write the file");
        }
    }
    pending.Commit();
}

}  // namespace koru_cli
