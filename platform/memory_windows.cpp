// Windows global memory: a moveable block, locked once and kept locked (so at
// one address) until it is released.
#include <windows.h>

#include "platform/memory.h"

namespace koru::platform {

void* AllocateBlock(size_t bytes) {
    // A moveable block of 0 bytes is born discarded and cannot be locked;
    // one byte gives a real block, as the C library's allocation does.
    if (bytes == 0) bytes = 1;
    HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    if (handle == nullptr) return nullptr;
    void* address = GlobalLock(handle);
    if (address == nullptr) GlobalFree(handle);
    return address;
}

void FreeBlock(void* block) {
    HGLOBAL handle = GlobalHandle(block);
    if (handle == nullptr) return;
    GlobalUnlock(handle);
    GlobalFree(handle);
}

}  // namespace koru::platform
