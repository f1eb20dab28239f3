// libFuzzer entry: every input goes through RunExportProgram.
#include "fuzz/targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    koru_fuzz::RunExportProgram(data, size);
    return 0;
}
