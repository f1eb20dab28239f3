#include "platform/fpu_probe.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace koru::platform {

bool HasFloatingPointProcessor() {
#if defined(__i386__) || defined(__x86_64__)
    // CPUID leaf 1 reports the on-chip FPU in bit 0 of EDX.
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return true;
    return (edx & 1u) != 0;
#elif defined(__SOFTFP__)
    return false;
#else
    return true;
#endif
}

}  // namespace koru::platform
