// library_call.cpp - result codes, making a net, and net slots.
#include "library_call.h"

#include "cli_error.h"

#include <koru32.h>

namespace koru_cli {

const char* ResultText(int16_t code) {
    switch (code) {
        case KORU32_OK: return "success";
        case KORU32_ERR_NO_MEMORY: return "out of memory";
        case KORU32_ERR_BAD_NET_TYPE: return "bad net type";
        case KORU32_ERR_BAD_NET_NUMBER: return "bad net number";
        case KORU32_ERR_NET_IN_USE: return "net in use, or no free net";
        case KORU32_ERR_NET_NOT_IN_USE: return "net not in use";
        case KORU32_ERR_BAD_SLAB_KIND: return "bad slab kind";
        case KORU32_ERR_BAD_SLAB_NUMBER: return "bad slab number";
        case KORU32_ERR_SLAB_EXISTS: return "slab exists";
        case KORU32_ERR_NO_SLAB: return "no such slab";
        case KORU32_ERR_BAD_SIZE: return "bad size";
        case KORU32_ERR_SLAB_HAS_LINKS: return "slab has links";
        case KORU32_ERR_BAD_LINK_NUMBER: return "bad link number";
        case KORU32_ERR_TOO_MANY_LINKS: return "too many links";
        case KORU32_ERR_LINK_EXISTS: return "link exists";
        case KORU32_ERR_NO_LINK: return "no such link";
        case KORU32_ERR_WRONG_PARADIGM: return "wrong paradigm";
        case KORU32_ERR_NO_INCOMING_LINKS: return "no incoming links";
        case KORU32_ERR_NOT_OUTPUT_SLAB: return "not an output slab";
        case KORU32_ERR_BAD_SOURCE_NEURON: return "bad source neuron";
        case KORU32_ERR_BAD_DEST_NEURON: return "bad destination neuron";
        case KORU32_ERR_BAD_MATH_MODE: return "bad math mode";
        case KORU32_ERR_NEGATIVE_RADIUS: return "negative radius";
        case KORU32_ERR_BAD_NEURON: return "bad neuron";
        case KORU32_ERR_SHELL_FILE: return "bad shell file";
        case KORU32_ERR_BAD_PATTERN: return "bad pattern unit, or none free";
        case KORU32_ERR_BAD_SMOOTHING: return "smoothing factor not above 0";
        case KORU32_ERR_BAD_STORE_NUMBER: return "bad store number";
        case KORU32_ERR_BAD_RECORD_COUNT: return "bad record count";
        case KORU32_ERR_STORE_EXISTS: return "store exists";
        case KORU32_ERR_NO_STORE: return "no such store";
        case KORU32_ERR_BAD_RECORD: return "bad record";
        case KORU32_ERR_ZERO_DENOMINATOR: return "zero denominator";
        case KORU32_ERR_SAVE_FILE: return "network file cannot be written";
        case KORU32_ERR_RESTORE_FILE: return "network file cannot be read or is malformed";
        case KORU32_ERR_NO_CPU_SELECTION: return "no processor selection";
        case KORU32_ERR_BAD_CODE: return "bad code";
        default: return "unknown result code";
    }
}

void Check(int16_t code, const char* call) {
    if (code != KORU32_OK) {
        throw CliError(std::string(call) + " failed: code " + std::to_string(code) + " (" +
                       ResultText(code) + ")");
    }
}

void MakeSeededNet(const int16_t* net, uint16_t type, const std::string& format, uint32_t seed) {
    const uint16_t math = format == "fixed" ? KORU32_MATH_FIXED : KORU32_MATH_FLOAT;
    Check(SetMath(&math), "SetMath");
    const auto librarySeed = static_cast<int16_t>(seed & 0x7FFF);
    Check(SetSeed(&librarySeed), "SetSeed");
    Check(MakeNet(net, &type), "MakeNet");
}

NetSlot::NetSlot() {
    uint16_t free = 0;
    Check(GetNextNet(&free), "GetNextNet");
    net_ = static_cast<int16_t>(free);
}

NetSlot::~NetSlot() {
    if (net_ >= 0) {
        KillNet(&net_);  // 5 (not in use) when nothing was made: nothing to release
    }
}

void NetSlot::Release() {
    net_ = -1;
}

}  // namespace koru_cli
