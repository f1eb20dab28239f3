// libFuzzer entry of one target: KORU32_FUZZ_TARGET names its check.
#include "fuzz/checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    koru_fuzz::KORU32_FUZZ_TARGET(data, size);
    return 0;
}
