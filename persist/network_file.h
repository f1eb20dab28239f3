// Saving a whole net to a network file and rebuilding it from one.
#pragma once

#include <cstdint>

namespace koru {

// Writes net `net` to the file `name`, then `length` caller bytes when
// `bytes` is not null and length is above 0. 0, 3, 5 or 40.
int16_t SaveNetwork(int16_t net, const char* name, int32_t length, const void* bytes);

// Rebuilds a net from the file `name` in the free slot `net`, then reads
// `length` caller bytes into `bytes` when it is not null and length is above
// 0. 0, 3, 4, 41, or a code of the builder (as MakeNet, MakeSlab, Transfer or
// MakeLink give it). `mathMode` and `weightRange` are the process-wide
// settings: the mode becomes the file's format once its header is accepted,
// the range that of the last link made.
int16_t RestoreNetwork(int16_t net, const char* name, int32_t length, void* bytes, uint16_t& mathMode,
                       double& weightRange);

}  // namespace koru
