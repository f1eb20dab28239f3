// library_call.cpp - result codes, making a net, and net slots.
#include "library_call.h"

#include "cli_error.h"

#include <koru32.h>

namespace koru_cli {

const char* ResultText(int16_t code) {
    return GetResultText(&code);
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
