// pending_file.cpp - temporary output files renamed into place.
#include "pending_file.h"

#include "cli_error.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>

namespace koru_cli {

namespace {

// The temporary file being written, for the signal handler: a fixed buffer
// (the handler may not allocate), empty when there is none. The program
// writes one output at a time.
char gPendingPath[4096];
volatile std::sig_atomic_t gHavePending = 0;
volatile std::sig_atomic_t gInStopWindow = 0;
volatile std::sig_atomic_t gStopSignal = 0;

void OnStopSignal(int signal) {
    if (gInStopWindow && gStopSignal == 0 && signal != SIGHUP) {
        gStopSignal = signal;
        return;
    }
    RemovePendingTempFile();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace

void RemovePendingTempFile() {
    if (gHavePending) {
        unlink(gPendingPath);  // async-signal-safe
        gHavePending = 0;
    }
}

void RemoveTempFilesOnStopSignals() {
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    std::signal(SIGHUP, OnStopSignal);
}

StopWindow::StopWindow() {
    gStopSignal = 0;
    gInStopWindow = 1;
}

StopWindow::~StopWindow() {
    gInStopWindow = 0;
}

bool StopRequested() {
    return gStopSignal != 0;
}

int StopSignal() {
    return static_cast<int>(gStopSignal);
}

PendingFile::PendingFile(std::string target) : target_(std::move(target)) {
    // Same folder as the target, so the rename never crosses file systems.
    // The target's own name is shortened in the temporary one where the two
    // together would pass the longest name a folder holds (255 bytes on the
    // usual file systems): any name the target may have, the temporary may too.
    const std::string suffix = ".koru-tmp-" + std::to_string(static_cast<long>(getpid()));
    const size_t nameStart = target_.rfind('/') + 1;  // 0 without a folder
    const size_t nameLength = target_.size() - nameStart;
    constexpr size_t kLongestName = 255;
    temp_ = target_.substr(0, nameStart + std::min(nameLength, kLongestName - suffix.size())) + suffix;
    if (temp_.size() < sizeof gPendingPath) {
        gHavePending = 0;
        std::memcpy(gPendingPath, temp_.c_str(), temp_.size() + 1);
        gHavePending = 1;
    }
}

PendingFile::~PendingFile() {
    gHavePending = 0;
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
    gHavePending = 0;  // from here on the temporary name may be the target's
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
