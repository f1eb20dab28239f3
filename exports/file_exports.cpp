// Files: saving and restoring whole nets, and importing shell nets.
#include "core/engine.h"
#include "persist/network_file.h"
#include "persist/shell_import.h"

using namespace koru;

extern "C" {

int16_t KORU32_CALL SaveNet(const int16_t* net, const char* fileName, const int32_t* length,
                            const void* bytes) {
    return SaveNetwork(*net, fileName, *length, bytes);
}

int16_t KORU32_CALL RestoreNet(const int16_t* net, const char* fileName, const int32_t* length, void* bytes) {
    return RestoreNetwork(*net, fileName, *length, bytes, state.mathMode, state.weightRange);
}

int16_t KORU32_CALL LoadShell(const int16_t* net, const char* fileName) { return ImportShell(*net, fileName, state.weightRange); }

}  // extern "C"
