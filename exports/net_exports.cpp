// Net lifecycle and process-wide settings.
#include "core/engine.h"
#include "core/net_build.h"
#include "core/random.h"

using namespace koru;

extern "C" {

int16_t KORU32_CALL MakeNet(const int16_t* net, const uint16_t* type) { return BuildNet(*net, *type, state.mathMode); }

int16_t KORU32_CALL KillNet(const int16_t* net) { return DestroyNet(*net); }

int16_t KORU32_CALL GetNextNet(uint16_t* net) {
    for (int i = 0; i < kNetCount; ++i) {
        if (netTable[i].paradigm == 0) {
            *net = static_cast<uint16_t>(i);
            return KORU32_OK;
        }
    }
    return KORU32_ERR_NET_IN_USE;
}

int16_t KORU32_CALL SetMath(const uint16_t* mode) {
    switch (*mode) {
        case KORU32_MATH_FLOAT: state.mathMode = kFloat32; return KORU32_OK;
        case KORU32_MATH_FIXED: state.mathMode = kFixed824; return KORU32_OK;
        default: return KORU32_ERR_BAD_MATH_MODE;
    }
}

int16_t KORU32_CALL SetCPU(const int16_t*) { return KORU32_ERR_NO_CPU_SELECTION; }

int16_t KORU32_CALL SetSeed(const int16_t* seed) {
    // The seed is widened with its sign: -1 seeds 4294967295.
    SeedRandom(static_cast<uint32_t>(static_cast<int32_t>(*seed)));
    return KORU32_OK;
}

int32_t KORU32_CALL WEP(int32_t) { return 1; }

}  // extern "C"
