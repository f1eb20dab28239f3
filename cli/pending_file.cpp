// pending_file.cpp - temporary output files renamed into place.
#include "pending_file.h"

#include "cli_error.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
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

std::string SystemReason(int error) {
    return error != 0 ? std::string(" (") + std::strerror(error) + ")" : std::string();
}

void PendingFile::Commit() {
    // The bytes reach the disk before the name does: after a crash the target
    // is either the earlier file or the whole new one.
    int fd = open(temp_.c_str(), O_RDONLY);
    if (fd < 0 || fsync(fd) != 0) {
        int error = errno;
        if (fd >= 0) close(fd);
        throw CliError(target_ + ": cannot write the file" + SystemReason(error));
    }
    close(fd);
    if (std::rename(temp_.c_str(), target_.c_str()) != 0) {
        int error = errno;
        throw CliError(target_ + ": cannot write the file (" + std::strerror(error) + ")");
    }
    committed_ = true;
}

void WritePendingFile(const std::string& fileName, const std::string& text) {
    PendingFile pending(fileName);
    {
        errno = 0;
        std::ofstream out(pending.TempPath(), std::ios::binary);
        out << text;
        out.close();
        if (!out) {
            throw CliError(fileName + ": cannot write the file" + SystemReason(errno));
        }
    }
    pending.Commit();
}

}  // namespace koru_cli
