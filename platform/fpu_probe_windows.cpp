// The system describes a floating-point processor under this registry key.
#include <windows.h>

#include "platform/fpu_probe.h"

namespace koru::platform {

bool HasFloatingPointProcessor() {
    HKEY key = nullptr;
    const LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                                      "HARDWARE\\DESCRIPTION\\System\\FloatingPointProcessor", 0,
                                      KEY_READ, &key);
    if (opened != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

}  // namespace koru::platform
