// The file-level targets. The settings around each call (math mode, net
// type, how many caller bytes are asked back) follow from the input's
// length, so that a corpus of plain files covers them all.
#include <bit>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

#include "core/engine.h"
#include "fuzz/checks.h"
#include "fuzz/documented_codes.h"

namespace koru_fuzz {

using namespace koru;

namespace {

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t U16(const uint8_t* p) { return p[0] | uint32_t(p[1]) << 8; }
float F32(const uint8_t* p) { return std::bit_cast<float>(U16(p) | U16(p + 2) << 16); }

// Whether element `i` of `array` is what the file value must become: the
// same bits in float32; in 8.24 value x 2^24 plus one half, truncated toward
// zero (judged only well inside the range: the wrap of the others is the
// element conversion's own business).
bool ElementMatches(const ValueArray& array, uint32_t i, float fileValue) {
    int32_t held;
    std::memcpy(&held, array.data + size_t{i} * 4, 4);
    if (array.format == kFloat32) {
        return std::isnan(fileValue) ? std::isnan(std::bit_cast<float>(held))
                                     : held == std::bit_cast<int32_t>(fileValue);
    }
    const double v = fileValue;
    return !(std::fabs(v) < 127.0) || held == static_cast<int32_t>(static_cast<int64_t>(std::trunc(v * 16777216.0 + 0.5)));
}

// Block `l` of a shell file (rows of a skipped f32 and b (weight, change)
// pairs, the first pair skipped) went into link `l`'s a x (b - 1) weights.
void CheckImportedBlock(const NetEntry& net, const uint8_t* block, uint32_t a, uint32_t b, int l) {
    const LinkRecord& link = net.block->links[l];
    for (uint32_t r = 0; r < a; ++r) {
        for (uint32_t d = 1; d < b; ++d) {
            const uint8_t* pair = block + size_t{r} * (4 + 8 * b) + 4 + 8 * d;
            const uint32_t i = r * (b - 1) + (d - 1);
            Require(ElementMatches(*link.weights, i, F32(pair)), "LoadShell put a weight out of place");
            if (net.variant == 2) Require(ElementMatches(*link.changes, i, F32(pair + 4)), "LoadShell put a change out of place");
            if (net.variant == 3) Require(GetElement(i, *link.changes) == 0.0, "LoadShell changed a batch net's changes");
        }
    }
}

}  // namespace

// RestoreNet on arbitrary bytes. A refusal leaves no slot in use, unless it
// is 41 for caller bytes that the file lacks, with the net complete; a
// restored net answers every export, saves and restores to the same file
// again, runs its paradigm's exports, and is released by KillNet.
void CheckNetworkFileInput(const uint8_t* data, size_t size) {
    ResetLibrary();
    const uint16_t mode = size % 2 == 0 ? KORU32_MATH_FLOAT : KORU32_MATH_FIXED;
    SetMath(&mode);
    static const std::string path = ScratchPath("restore.net"), again = ScratchPath("again.net"),
                             third = ScratchPath("third.net");
    WriteWholeFile(path, data, size);
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
    const bool inUse = netTable[slot].paradigm != 0;
    if (code == KORU32_OK) Require(inUse, "RestoreNet succeeded without a net in the slot");
    else if (inUse) Require(code == KORU32_ERR_RESTORE_FILE && length > 0, "a refused restore kept an incomplete net");
    else Require(EngineFingerprint() == before, "a refused restore changed the engine");
    if (!inUse) return;

    ProbeNet(slot);
    // What the net holds survives another save and restore unchanged.
    const int32_t none = 0;
    int32_t noBytes = 0;
    const int16_t copy = 6;
    Require(SaveNet(&slot, again.c_str(), &none, nullptr) == KORU32_OK, "a restored net cannot be saved");
    Require(RestoreNet(&copy, again.c_str(), &noBytes, nullptr) == KORU32_OK, "a saved restored net is refused");
    Require(SaveNet(&copy, third.c_str(), &none, nullptr) == KORU32_OK, "a twice restored net cannot be saved");
    Require(ReadWholeFile(again) == ReadWholeFile(third), "a save and restore changed the net");
    ExerciseNet(slot);
    KillAllNets();
    Require(OpenDescriptorCount() == descriptors, "a file is still open");
}

// LoadShell on arbitrary bytes into an empty backpropagation net (plain,
// momentum, batch or adaptive; float32 or 8.24). A header that is short or
// names a layer without neurons or with more than a slab holds, or a file
// too short for its blocks, changes nothing; any other file is taken (short
// of memory) and puts each value, converted, where it belongs.
void CheckShellFileInput(const uint8_t* data, size_t size) {
    ResetLibrary();
    const uint16_t types[] = {KORU32_NET_BP_PLAIN, KORU32_NET_BP_MOMENTUM, KORU32_NET_BP_BATCH, KORU32_NET_BP_ADAPTIVE};
    const uint16_t mode = (size / 4) % 2 == 0 ? KORU32_MATH_FLOAT : KORU32_MATH_FIXED;
    SetMath(&mode);
    const int16_t net = 3;
    Require(MakeNet(&net, &types[size % 4]) == KORU32_OK, "MakeNet refused a free slot");
    static const std::string path = ScratchPath("shell.shl");
    WriteWholeFile(path, data, size);
    const int descriptors = OpenDescriptorCount();
    const uint64_t before = EngineFingerprint();
    const int16_t code = LoadShell(&net, path.c_str());
    RequireCode("LoadShell", code, codes::LoadShell);
    Require(OpenDescriptorCount() == descriptors, "LoadShell left the file open");
    CheckEngineConsistent();

    bool sound = size >= 6;
    uint32_t units[3] = {0, 0, 0};
    for (int k = 0; sound && k < 3; ++k) {
        units[k] = U16(data + 2 * k);
        sound = units[k] >= 2 && units[k] <= 32768;
    }
    const size_t block0 = size_t{units[0]} * (4 + 8 * units[1]), block1 = size_t{units[1]} * (4 + 8 * units[2]);
    if (!sound || size < 6 + block0 + block1) {
        Require(code == KORU32_ERR_SHELL_FILE, "LoadShell accepted an unusable or short file");
        Require(EngineFingerprint() == before, "LoadShell changed the net for an unusable or short file");
    } else if (code == KORU32_OK) {
        const NetEntry& entry = netTable[net];
        for (int s = 0; s < 3; ++s) {
            const SlabRecord& slab = entry.block->slabs[s];
            Require(entry.block->slabUsed[s] && slab.values->count == units[s] - 1 && slab.kind == s &&
                        slab.transfer == 0, "LoadShell made a slab of the wrong size, kind or transfer");
        }
        CheckImportedBlock(entry, data + 6, units[0], units[1], 0);
        CheckImportedBlock(entry, data + 6 + block0, units[1], units[2], 1);
    } else {
        Require(code == KORU32_ERR_NO_MEMORY, "LoadShell refused a sound and complete file");
    }
    ProbeNet(net);
    ExerciseNet(net);
    KillAllNets();
    Require(OpenDescriptorCount() == descriptors, "a file is still open");
}

}  // namespace koru_fuzz
