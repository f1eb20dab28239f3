// Files through the Win32 calls. A file is opened with no sharing at all, so
// while a restore reads it no other caller can open or rewrite it, and a file
// being written cannot be read half-done.
#include <windows.h>

#include "platform/file.h"

namespace koru::platform {

namespace {

// ReadFile and WriteFile move at most a DWORD's worth per call; runs are cut
// well below that.
constexpr size_t kLargestRun = 0x40000000;

HANDLE AsHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

FileHandle FromHandle(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<FileHandle>(handle);
}

}  // namespace

FileHandle CreateFileForWriting(const char* name) {
    return FromHandle(
        CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

FileHandle OpenFileForReading(const char* name) {
    return FromHandle(
        CreateFileA(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

int64_t ReadFileBytes(FileHandle file, void* buffer, size_t bytes) {
    auto* p = static_cast<unsigned char*>(buffer);
    size_t moved = 0;
    while (moved < bytes) {
        const size_t left = bytes - moved;
        const DWORD ask = static_cast<DWORD>(left < kLargestRun ? left : kLargestRun);
        DWORD got = 0;
        if (!ReadFile(AsHandle(file), p + moved, ask, &got, nullptr)) return -1;
        if (got == 0) break;  // end of file
        moved += got;
    }
    return static_cast<int64_t>(moved);
}

int64_t WriteFileBytes(FileHandle file, const void* buffer, size_t bytes) {
    const auto* p = static_cast<const unsigned char*>(buffer);
    size_t moved = 0;
    while (moved < bytes) {
        const size_t left = bytes - moved;
        const DWORD ask = static_cast<DWORD>(left < kLargestRun ? left : kLargestRun);
        DWORD put = 0;
        if (!WriteFile(AsHandle(file), p + moved, ask, &put, nullptr) || put == 0) return -1;
        moved += put;
    }
    return static_cast<int64_t>(moved);
}

int64_t FileBytesLeft(FileHandle file) {
    LARGE_INTEGER size, position, zero;
    zero.QuadPart = 0;
    if (!GetFileSizeEx(AsHandle(file), &size)) return -1;
    if (!SetFilePointerEx(AsHandle(file), zero, &position, FILE_CURRENT)) return -1;
    if (position.QuadPart > size.QuadPart) return -1;
    return static_cast<int64_t>(size.QuadPart - position.QuadPart);
}

bool CloseFileHandle(FileHandle file) {
    if (file == kNoFile) return true;
    return CloseHandle(AsHandle(file)) != 0;
}

}  // namespace koru::platform
