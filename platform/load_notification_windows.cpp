// The library's load notification: the start-up runs on process attach only;
// every notification reports success.
#include <windows.h>

#include "core/engine.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) koru::StartUp();
    return TRUE;
}
