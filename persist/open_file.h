// A file held open by a save, restore or import. Whatever way the routine
// leaves, the file is closed: an early return closes it here (its code has
// already been chosen, so a close error there changes nothing), while the
// successful path calls Close and reports what the platform says.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/file.h"

namespace koru {

class OpenFile {
public:
    explicit OpenFile(platform::FileHandle handle) : handle_(handle) {}
    ~OpenFile() { platform::CloseFileHandle(handle_); }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    bool IsOpen() const { return handle_ != platform::kNoFile; }

    // Up to `bytes` bytes; the number read, or -1 on an error.
    int64_t Read(void* buffer, size_t bytes) { return platform::ReadFileBytes(handle_, buffer, bytes); }

    // Bytes from the current position to the end; -1 when unknown.
    int64_t BytesLeft() const { return platform::FileBytesLeft(handle_); }

    // True only when every one of `bytes` bytes was read (or written).
    bool ReadAll(void* buffer, uint64_t bytes) {
        if (bytes > SIZE_MAX) return false;
        return platform::ReadFileBytes(handle_, buffer, static_cast<size_t>(bytes)) ==
               static_cast<int64_t>(bytes);
    }
    bool WriteAll(const void* buffer, uint64_t bytes) {
        if (bytes > SIZE_MAX) return false;
        return platform::WriteFileBytes(handle_, buffer, static_cast<size_t>(bytes)) ==
               static_cast<int64_t>(bytes);
    }

    // Closes the file now; false when the platform reports an error.
    bool Close() {
        const platform::FileHandle handle = handle_;
        handle_ = platform::kNoFile;
        return platform::CloseFileHandle(handle);
    }

private:
    platform::FileHandle handle_;
};

}  // namespace koru
