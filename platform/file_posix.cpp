// Files through the POSIX calls. Exclusive use is an advisory whole-file lock
// (flock): every open of this library takes it, so a restore never reads a
// file that a save is rewriting, and a save never truncates a file that a
// restore is reading. Where the file system offers no locks, the file is used
// without one.
#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file.h"

namespace koru::platform {

namespace {

#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif

// Takes the exclusive lock without waiting. False only when another open
// file holds it; a file system without locks is accepted as it is.
bool LockExclusively(int fd) {
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        return errno != EWOULDBLOCK && errno != EAGAIN;
    }
    return true;
}

int OpenAndLock(const char* name, int flags) {
    int fd;
    do {
        fd = open(name, flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return -1;
    if (!LockExclusively(fd)) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

FileHandle CreateFileForWriting(const char* name) {
    // Not O_TRUNC: the file is emptied only once the lock shows that no
    // restore is reading it.
    const int fd = OpenAndLock(name, O_WRONLY | O_CREAT);
    if (fd < 0) return kNoFile;
    int truncated;
    do {
        truncated = ftruncate(fd, 0);
    } while (truncated != 0 && errno == EINTR);
    if (truncated != 0) {
        close(fd);
        return kNoFile;
    }
    return fd;
}

FileHandle OpenFileForReading(const char* name) {
    const int fd = OpenAndLock(name, O_RDONLY);
    return fd < 0 ? kNoFile : fd;
}

int64_t ReadFileBytes(FileHandle file, void* buffer, size_t bytes) {
    auto* p = static_cast<unsigned char*>(buffer);
    size_t moved = 0;
    while (moved < bytes) {
        const ssize_t got = read(static_cast<int>(file), p + moved, bytes - moved);
        if (got < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (got == 0) break;  // end of file
        moved += static_cast<size_t>(got);
    }
    return static_cast<int64_t>(moved);
}

int64_t WriteFileBytes(FileHandle file, const void* buffer, size_t bytes) {
    const auto* p = static_cast<const unsigned char*>(buffer);
    size_t moved = 0;
    while (moved < bytes) {
        const ssize_t put = write(static_cast<int>(file), p + moved, bytes - moved);
        if (put < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (put == 0) return -1;  // no progress: treat as a failed write
        moved += static_cast<size_t>(put);
    }
    return static_cast<int64_t>(moved);
}

int64_t FileBytesLeft(FileHandle file) {
    struct stat info;
    if (fstat(static_cast<int>(file), &info) != 0) return -1;
    const off_t position = lseek(static_cast<int>(file), 0, SEEK_CUR);
    if (position < 0 || position > info.st_size) return -1;
    return static_cast<int64_t>(info.st_size - position);
}

bool CloseFileHandle(FileHandle file) {
    if (file == kNoFile) return true;
    // The descriptor is released even when close reports an error, so it is
    // never closed a second time.
    return close(static_cast<int>(file)) == 0;
}

}  // namespace koru::platform
