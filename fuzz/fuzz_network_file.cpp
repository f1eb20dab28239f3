// libFuzzer entry: every input goes through CheckNetworkFileInput.
#include "fuzz/targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    koru_fuzz::CheckNetworkFileInput(data, size);
    return 0;
}
