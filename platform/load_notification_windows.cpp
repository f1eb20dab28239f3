// The library's load notification: the start-up runs on process attach only;
// every notification reports success.
#include <windows.h>

#include "core/engine.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) koru::StartUp();
    return TRUE;
}

// The engine's objects are also linked straight into test programs, where no
// DllMain is ever called. There the start-up runs with the program's static
// initialisers instead: the module holding this code is then the process's
// main module. Inside KORU32.DLL it is not, and DllMain alone starts up.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

__attribute__((constructor)) void StartUpInsideAProgram() {
    if (GetModuleHandleA(nullptr) == reinterpret_cast<HMODULE>(&__ImageBase)) koru::StartUp();
}

}  // namespace
