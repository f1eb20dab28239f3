// LoadShell on arbitrary bytes, into an empty backpropagation net whose rule
// and number format follow from the input's length (plain, momentum, batch
// or adaptive; float32 or 8.24), so that a corpus of plain shell files
// covers them all.
//
// After the call: a documented code; the file closed; a header that is short
// or names a layer without neurons or with more than a slab can hold, or a
// file too short for the blocks its header announces, changed nothing; an accepted file put exactly its values, converted by the element
// rule, where they belong; the net answers every export and is released
// without a leak by KillNet.
#include <bit>
#include <cmath>
#include <cstring>

#include "core/engine.h"
#include "fuzz/documented_codes.h"
#include "fuzz/engine_invariants.h"
#include "fuzz/net_probe.h"
#include "fuzz/targets.h"

namespace koru_fuzz {

using namespace koru;

namespace {

uint32_t U16(const uint8_t* p) { return p[0] | uint32_t(p[1]) << 8; }
float F32(const uint8_t* p) { return std::bit_cast<float>(uint32_t(p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24)); }

// The element a file value must become in an array of `format`.
bool ElementMatches(const ValueArray& array, uint32_t i, float fileValue) {
    if (array.format == kFloat32) {
        float held;
        std::memcpy(&held, array.data + size_t{i} * 4, 4);
        if (std::isnan(fileValue)) return std::isnan(held);
        return std::bit_cast<uint32_t>(held) == std::bit_cast<uint32_t>(fileValue);
    }
    // 8.24: value x 2^24 plus one half, truncated toward zero. Only values
    // well inside the 8.24 range are judged here; the wrap of the others is
    // the element conversion's own business.
    const double v = fileValue;
    if (!(std::fabs(v) < 127.0)) return true;
    const auto expected = static_cast<int32_t>(static_cast<int64_t>(std::trunc(v * 16777216.0 + 0.5)));
    int32_t held;
    std::memcpy(&held, array.data + size_t{i} * 4, 4);
    return held == expected;
}

void CheckImportedBlock(const NetEntry& net, const uint8_t* file, size_t offset, uint32_t a, uint32_t b, int l) {
    const LinkRecord& link = net.block->links[l];
    const uint32_t rowBytes = 4 + 8 * b;
    for (uint32_t r = 0; r < a; ++r) {
        for (uint32_t d = 1; d < b; ++d) {
            const uint8_t* pair = file + offset + size_t{r} * rowBytes + 4 + 8 * d;
            const uint32_t i = r * (b - 1) + (d - 1);
            Require(ElementMatches(*link.weights, i, F32(pair)), "LoadShell put a weight out of place");
            if (net.variant == 2) {
                Require(ElementMatches(*link.changes, i, F32(pair + 4)), "LoadShell put a change out of place");
            } else if (net.variant == 3) {
                Require(GetElement(i, *link.changes) == 0.0, "LoadShell changed a batch net's changes");
            }
        }
    }
}

}  // namespace

void CheckShellFileInput(const uint8_t* data, size_t size) {
    ResetLibrary();
    static const uint16_t kTypes[] = {KORU32_NET_BP_PLAIN, KORU32_NET_BP_MOMENTUM, KORU32_NET_BP_BATCH,
                                      KORU32_NET_BP_ADAPTIVE};
    const uint16_t mode = (size / 4) % 2 == 0 ? KORU32_MATH_FLOAT : KORU32_MATH_FIXED;
    SetMath(&mode);
    const int16_t net = 3;
    const uint16_t type = kTypes[size % 4];
    Require(MakeNet(&net, &type) == KORU32_OK, "MakeNet refused a free slot");

    static const std::string path = ScratchPath("shell.shl");
    WriteWholeFile(path, data, size);
    const int descriptors = OpenDescriptorCount();
    const uint64_t before = EngineFingerprint();
    const int16_t code = LoadShell(&net, path.c_str());
    RequireCode("LoadShell", code, codes::LoadShell);
    Require(OpenDescriptorCount() == descriptors, "LoadShell left the file open");
    CheckEngineConsistent();

    bool headerSound = size >= 6;
    uint32_t units[3] = {0, 0, 0};
    for (int k = 0; headerSound && k < 3; ++k) {
        units[k] = U16(data + 2 * k);
        headerSound = units[k] >= 2 && units[k] <= 32768;
    }
    const size_t block0 = size_t{units[0]} * (4 + 8 * units[1]);
    const size_t block1 = size_t{units[1]} * (4 + 8 * units[2]);
    if (!headerSound || size < 6 + block0 + block1) {
        // An unusable header, or a file too short for what it announces:
        // refused before anything is made.
        Require(code == KORU32_ERR_SHELL_FILE, "LoadShell accepted an unusable or short file");
        Require(EngineFingerprint() == before, "LoadShell changed the net for an unusable or short file");
    } else if (code == KORU32_OK) {
        const NetEntry& entry = netTable[net];
        for (int s = 0; s < 3; ++s) {
            Require(entry.block->slabUsed[s] && entry.block->slabs[s].values->count == units[s] - 1,
                    "LoadShell made a slab of the wrong size");
            Require(entry.block->slabs[s].kind == s && entry.block->slabs[s].transfer == 0,
                    "LoadShell made a slab of the wrong kind or transfer");
        }
        CheckImportedBlock(entry, data, 6, units[0], units[1], 0);
        CheckImportedBlock(entry, data, 6 + block0, units[1], units[2], 1);
    } else {
        Require(code == KORU32_ERR_SHELL_FILE || code == KORU32_ERR_NO_MEMORY, "LoadShell refused a sound header");
    }

    ProbeNet(net);
    ExerciseNet(net);
    KillAllNets();
    Require(OpenDescriptorCount() == descriptors, "a file is still open");
}

}  // namespace koru_fuzz
