// What the loaded library says about itself: its version and the meaning of
// its result codes.
#include <koru32.h>

extern "C" {

int16_t KORU32_CALL GetLibraryVersion(int32_t* number) {
    *number = KORU32_VERSION_NUMBER;
    return KORU32_OK;
}

const char* KORU32_CALL GetResultText(const int16_t* code) {
    if (code == nullptr) return KORU32_UNKNOWN_RESULT_TEXT;
    switch (*code) {
#define KORU32_RESULT_TEXT_CASE(name, value, text) \
    case value: return text;
        KORU32_RESULT_CODES(KORU32_RESULT_TEXT_CASE)
#undef KORU32_RESULT_TEXT_CASE
        default: return KORU32_UNKNOWN_RESULT_TEXT;
    }
}

}  // extern "C"
