// KORU32.DLL as a running Windows loader sees it: every export of the list is
// found by its plain name, the loader binds each import slot of the import
// library to that export, and an export found by name follows the header's
// calling convention. What the files say (the export table holds exactly the
// list, no decorated names, only the system's own DLLs imported) is checked
// on disk by check_dll_exports.cmake, also where no Windows program runs.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "koru32.h"

// The import slots of every export, as a caller linked with the import
// library references them: each holds the address the loader bound.
#define KORU32_EXPORT(name, decorated, importSymbol, bytes) \
    extern "C" void* const koru32Import_##name __asm__(importSymbol);
#include "export_list.inc"
#undef KORU32_EXPORT

namespace {

struct Export {
    const char* name;
    const char* decorated;  // as the linker names it: MakeNet@8 (32-bit), MakeNet (64-bit)
    void* const* importSlot;
    int argumentBytes;      // popped by the 32-bit standard call; -1 for the cdecl runtime hook
};

const Export kExports[] = {
#define KORU32_EXPORT(name, decorated, importSymbol, bytes) {#name, decorated, &koru32Import_##name, bytes},
#include "export_list.inc"
#undef KORU32_EXPORT
};

class KoruLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        library_ = LoadLibraryA("KORU32.DLL");
        ASSERT_NE(library_, nullptr) << "LoadLibraryA failed with " << GetLastError();
    }
    void TearDown() override {
        if (library_ != nullptr) FreeLibrary(library_);
    }

    // An export as a function of its own type (through the one generic
    // function pointer type that converts to any other without a warning).
    template <typename Call>
    Call Find(const char* name) const {
        return reinterpret_cast<Call>(reinterpret_cast<void (*)()>(GetProcAddress(library_, name)));
    }

    HMODULE library_ = nullptr;
};

TEST_F(KoruLibrary, FindsEveryListedExportByItsPlainName) {
    for (const Export& entry : kExports)
        EXPECT_NE(GetProcAddress(library_, entry.name), nullptr) << entry.name;
}

TEST_F(KoruLibrary, ImportLibraryBindsEachDecoratedSymbolToThePlainExport) {
    for (const Export& entry : kExports) {
        EXPECT_EQ(*entry.importSlot, reinterpret_cast<void*>(GetProcAddress(library_, entry.name)))
            << entry.decorated;
    }
}

// An export found by name is called in the header's convention (standard
// call on 32-bit Windows) like the one the import library binds: same
// results, and the caller's stack survives the calls.
TEST_F(KoruLibrary, ExportsFoundByNameUseTheHeadersConvention) {
    using NetCall = int16_t(KORU32_CALL*)(const int16_t*);
    using MakeNetCall = int16_t(KORU32_CALL*)(const int16_t*, const uint16_t*);
    using ExitCall = int32_t(KORU32_CALL*)(int32_t);
    const auto makeNet = Find<MakeNetCall>("MakeNet");
    const auto killNet = Find<NetCall>("KillNet");
    const auto exitEntry = Find<ExitCall>("WEP");
    ASSERT_NE(makeNet, nullptr);
    ASSERT_NE(killNet, nullptr);
    ASSERT_NE(exitEntry, nullptr);

    const int16_t net = 9, outside = -1;
    const uint16_t type = KORU32_NET_LVQ_DISTANCE;
    EXPECT_EQ(makeNet(&net, &type), KORU32_OK);
    EXPECT_EQ(MakeNet(&net, &type), KORU32_ERR_NET_IN_USE);
    EXPECT_EQ(killNet(&outside), KORU32_ERR_BAD_NET_NUMBER);
    EXPECT_EQ(killNet(&net), KORU32_OK);
    EXPECT_EQ(KillNet(&net), KORU32_ERR_NET_NOT_IN_USE);
    EXPECT_EQ(exitEntry(12345), 1);
}

// DllMain's start-up chose the format of new nets from the registry: 32-bit
// floats when the floating-point processor's key exists (it does under Wine
// and on every Windows with a coprocessor), 8.24 fixed point otherwise. An
// 8.24 neuron cannot hold 1e-9 (its step is 2^-24), a float holds it exactly.
TEST_F(KoruLibrary, StartUpTookTheNumberFormatFromTheRegistry) {
    HKEY key = nullptr;
    const bool keyExists = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DESCRIPTION\\System\\FloatingPointProcessor",
                                         0, KEY_READ, &key) == ERROR_SUCCESS;
    if (keyExists) RegCloseKey(key);

    const int16_t net = 3, slab = 0, neurons = 1, kind = KORU32_SLAB_INPUT, neuron = 1;
    const uint16_t type = KORU32_NET_BP_PLAIN;
    const float tiny = 1e-9f;
    float readBack = -1.0f;
    ASSERT_EQ(MakeNet(&net, &type), KORU32_OK);
    EXPECT_EQ(MakeSlab(&net, &slab, &neurons, &kind), KORU32_OK);
    EXPECT_EQ(PutNeuron(&net, &slab, &neuron, &tiny), KORU32_OK);
    EXPECT_EQ(GetNeuron(&net, &slab, &neuron, &readBack), KORU32_OK);
    EXPECT_EQ(KillNet(&net), KORU32_OK);
    EXPECT_EQ(readBack, keyExists ? tiny : 0.0f);
}

}  // namespace
