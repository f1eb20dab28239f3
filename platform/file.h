// Files by name: the network file and the shell file are written and read
// through these few calls, so the file interface behind them is the
// platform's affair.
#pragma once

#include <cstddef>
#include <cstdint>

namespace koru::platform {

// An open file: a POSIX descriptor or a Windows handle, widened to one type.
using FileHandle = intptr_t;
inline constexpr FileHandle kNoFile = -1;

// Creates the file for writing, or empties an existing one. kNoFile when it
// cannot be created, or while another caller holds it open for reading
// (the existing contents are then left alone).
FileHandle CreateFileForWriting(const char* name);

// Opens an existing file for reading, exclusively where the platform allows:
// while it is open, no other open for reading and no create succeeds on it.
// kNoFile when it cannot be opened or is held by another caller.
FileHandle OpenFileForReading(const char* name);

// Moves up to `bytes` bytes and returns how many were moved: fewer than
// asked only at the end of the file. -1 when the platform reports an error.
int64_t ReadFileBytes(FileHandle file, void* buffer, size_t bytes);
int64_t WriteFileBytes(FileHandle file, const void* buffer, size_t bytes);

// Bytes between the file's current position and its end, so that a reader
// can tell that a file is too short for what its header announces before it
// allocates for it. -1 when the platform cannot tell.
int64_t FileBytesLeft(FileHandle file);

// Closes the file (kNoFile is ignored); false when the platform reports an
// error, which for a written file may be a write it had kept back.
bool CloseFileHandle(FileHandle file);

}  // namespace koru::platform
