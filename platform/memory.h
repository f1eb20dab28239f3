// Memory blocks that stay at one address until they are released.
#pragma once

#include <cstddef>

namespace koru::platform {

// A new block of `bytes` bytes, all zero, or null when it cannot be had.
void* AllocateBlock(size_t bytes);
// Releases a block given the address AllocateBlock returned.
void FreeBlock(void* block);

}  // namespace koru::platform
