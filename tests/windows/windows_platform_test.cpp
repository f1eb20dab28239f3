// The platform layer on Windows: memory blocks are locked moveable global
// blocks, and the start-up also runs when the engine is linked straight into
// a program (no DllMain is called there).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "core/engine.h"
#include "platform/memory.h"

namespace {

using koru::platform::AllocateBlock;
using koru::platform::FreeBlock;

TEST(WindowsMemory, BlockIsALockedZeroedGlobalBlock) {
    const size_t bytes = 100000;
    auto* block = static_cast<uint8_t*>(AllocateBlock(bytes));
    ASSERT_NE(block, nullptr);
    const HGLOBAL handle = GlobalHandle(block);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(GlobalFlags(handle) & GMEM_LOCKCOUNT, 1u);
    EXPECT_GE(GlobalSize(handle), bytes);
    size_t nonZero = 0;
    for (size_t i = 0; i < bytes; ++i) nonZero += block[i] != 0;
    EXPECT_EQ(nonZero, 0u);
    std::memset(block, 0xA5, bytes);
    FreeBlock(block);
}

TEST(WindowsMemory, BlocksKeepTheirAddressWhileOthersComeAndGo) {
    void* kept = AllocateBlock(64);
    ASSERT_NE(kept, nullptr);
    std::memset(kept, 0x5A, 64);
    for (int i = 0; i < 50; ++i) FreeBlock(AllocateBlock(4096 * (i + 1)));
    EXPECT_EQ(GlobalLock(GlobalHandle(kept)), kept);
    GlobalUnlock(GlobalHandle(kept));
    EXPECT_EQ(static_cast<uint8_t*>(kept)[63], 0x5A);
    FreeBlock(kept);
}

// An impossible size (16 bytes short of the whole address space, on either
// width) gives no block, an empty one is still a block, freeing nothing is harmless.
TEST(WindowsMemory, EdgeSizes) {
    EXPECT_EQ(AllocateBlock(SIZE_MAX - 15), nullptr);
    void* block = AllocateBlock(0);
    ASSERT_NE(block, nullptr);
    EXPECT_NE(GlobalHandle(block), nullptr);
    FreeBlock(block);
    FreeBlock(nullptr);
}

TEST(WindowsStartUp, RanInAProgramWithoutDllMain) { EXPECT_EQ(koru::state.startedUp, 1); }

}  // namespace
