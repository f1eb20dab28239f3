// RestoreNet on arbitrary bytes. The settings around the call (the math
// mode beforehand, how many caller bytes are asked back) follow from the
// input's length, so that a corpus of plain network files covers them all.
//
// After the call: a documented code; the file closed; a refusal left no
// slot in use, unless it is 41 for caller bytes that the file lacks, with
// the net complete; a restored net answers every export, saves and restores
// to the same file again, runs its paradigm's exports, and is released
// without a leak by KillNet.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/engine.h"
#include "fuzz/documented_codes.h"
#include "fuzz/engine_invariants.h"
#include "fuzz/net_probe.h"
#include "fuzz/targets.h"

namespace koru_fuzz {

namespace {

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

void CheckNetworkFileInput(const uint8_t* data, size_t size) {
    ResetLibrary();
    const uint16_t mode = size % 2 == 0 ? KORU32_MATH_FLOAT : KORU32_MATH_FIXED;
    SetMath(&mode);

    static const std::string path = ScratchPath("restore.net");
    static const std::string again = ScratchPath("again.net");
    static const std::string third = ScratchPath("third.net");
    WriteWholeFile(path, data, size);

    // A few trailing bytes of the file belong to the caller, or none.
    const int32_t lengths[] = {0, 6, -3};
    int32_t length = lengths[size % 3];
    std::vector<uint8_t> bytes(length > 0 ? length : 1, 0xA5);

    const int16_t slot = 5;
    const int descriptors = OpenDescriptorCount();
    const uint64_t before = EngineFingerprint();
    const int16_t code = RestoreNet(&slot, path.c_str(), &length, bytes.data());
    RequireCode("RestoreNet", code, codes::RestoreNet);
    Require(OpenDescriptorCount() == descriptors, "RestoreNet left the file open");
    CheckEngineConsistent();
    const bool inUse = koru::netTable[slot].paradigm != 0;
    if (code != KORU32_OK) {
        if (inUse) {
            Require(code == KORU32_ERR_RESTORE_FILE && length > 0,
                    "a refused restore kept its net although the net was not complete");
        } else {
            Require(EngineFingerprint() == before, "a refused restore changed the engine");
            uint16_t next = 999;
            Require(GetNextNet(&next) == KORU32_OK && next == 0, "a refused restore left a slot in use");
        }
    } else {
        Require(inUse, "RestoreNet succeeded without a net in the slot");
    }
    if (!inUse) return;

    ProbeNet(slot);

    // What the net holds survives another save and restore unchanged.
    const int32_t none = 0;
    int16_t saved = SaveNet(&slot, again.c_str(), &none, nullptr);
    RequireCode("SaveNet", saved, codes::SaveNet);
    Require(saved == KORU32_OK, "a restored net cannot be saved");
    const int16_t copy = 6;
    int32_t noBytes = 0;
    const int16_t restored = RestoreNet(&copy, again.c_str(), &noBytes, nullptr);
    Require(restored == KORU32_OK, "a file saved from a restored net is refused");
    saved = SaveNet(&copy, third.c_str(), &none, nullptr);
    Require(saved == KORU32_OK, "a twice restored net cannot be saved");
    Require(ReadWholeFile(again) == ReadWholeFile(third), "a save and restore changed the net");
    Require(OpenDescriptorCount() == descriptors, "a save or restore left a file open");

    ExerciseNet(slot);
    KillAllNets();
    Require(OpenDescriptorCount() == descriptors, "a file is still open");
}

}  // namespace koru_fuzz
