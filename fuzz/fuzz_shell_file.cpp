// libFuzzer entry: every input goes through CheckShellFileInput.
#include "fuzz/targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    koru_fuzz::CheckShellFileInput(data, size);
    return 0;
}
