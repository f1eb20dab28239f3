#include <cstdlib>

#include "platform/memory.h"

namespace koru::platform {

void* AllocateBlock(size_t bytes) { return std::calloc(1, bytes); }

void FreeBlock(void* block) { std::free(block); }

}  // namespace koru::platform
