#include "fuzz/checks.h"

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <unistd.h>

#include "core/engine.h"

namespace koru_fuzz {

using namespace koru;

namespace {
std::string inputName;
int where = -1;  // the net being checked, for the messages
}  // namespace

void SetInputName(const std::string& name) { inputName = name; }

void Broken(const char* what, const char* subject) {
    std::fprintf(stderr, "koru32 invariant broken: %s%s%s (net %d)%s%s\n", subject ? subject : "",
                 subject ? ": " : "", what, where, inputName.empty() ? "" : " input ", inputName.c_str());
    std::fflush(stderr);
    std::abort();
}

void RequireCode(const char* exportName, int16_t code, uint64_t allowed) {
    if (code >= 0 && code < 64 && (allowed >> code & 1) != 0) return;
    std::fprintf(stderr, "code %d\n", code);
    Broken("answered an undocumented code", exportName);
}

namespace {

// (paradigm, variant) of net types 1..11, written out from the types' names.
constexpr uint16_t kTypes[12][2] = {{0, 0}, {1, 0}, {1, 2}, {1, 3}, {6, 0}, {6, 7},
                                    {8, 0}, {8, 7}, {9, 0}, {9, 10}, {8, 10}, {1, 11}};

// The array that belongs when `wanted`, else none.
void RequireArray(const ValueArray* a, int format, uint32_t rows, uint32_t cols, const char* what, bool wanted = true) {
    if (!wanted) return Require(a == nullptr, "an array where none belongs", what);
    Require(a != nullptr, "array missing", what);
    Require(a->format == format, "array not in the net's format", what);
    Require(a->rows == rows && a->cols == cols && a->count == rows * cols, "array of the wrong shape", what);
    Require(a->end == a->data + uint64_t{a->count} * 4, "end pointer does not match the count", what);
}


template <class T, size_t N>
int IndexIn(const T (&all)[N], const T* p) {
    return p >= all && p < all + N ? static_cast<int>(p - all) : -1;
}

void CheckSlabLinks(const NetBlock& b, const SlabRecord& r, LinkRecord* const* list, int count, bool in) {
    Require(count <= kLinksPerSlabSide, "more than 8 links");
    for (int i = 0; i < kLinksPerSlabSide; ++i) {
        if (i >= count) {
            Require(list[i] == nullptr, "stale link entry");
            continue;
        }
        const int l = IndexIn(b.links, list[i]);
        Require(l >= 0 && b.linkUsed[l], "entry names no link in use");
        Require((in ? list[i]->dest : list[i]->source) == &r, "listed link ends elsewhere");
    }
}

void CheckNet(const NetEntry& e) {
    Require(e.block != nullptr, "in use without a block");
    Require(e.netType >= 1 && e.netType <= 11, "net type outside 1..11");
    Require(kTypes[e.netType][0] == e.paradigm && kTypes[e.netType][1] == e.variant,
            "paradigm and variant do not match the net type");
    Require(e.format == kFloat32 || e.format == kFixed824, "format neither float32 nor 8.24");
    const bool bp = e.paradigm == KORU32_PARADIGM_BACKPROP, pnn = e.paradigm == KORU32_PARADIGM_PNN,
               grnn = e.paradigm == KORU32_PARADIGM_GRNN;
    if (pnn || grnn) Require(e.format == kFloat32, "pattern-unit net not in float32");
    const NetBlock& b = *e.block;
    for (int s = 0; s < kSlabsPerNet; ++s) {
        Require(b.slabUsed[s] <= 1, "slab flag neither 0 nor 1");
        if (!b.slabUsed[s]) continue;
        const SlabRecord& r = b.slabs[s];
        Require(r.kind <= KORU32_SLAB_OUTPUT, "kind outside 0..2");
        Require(r.values != nullptr, "no values");
        const uint32_t n = r.values->cols;
        Require(n >= 1 && n <= 32767, "neuron count outside 1..32767");
        RequireArray(r.values, e.format, 1, n, "values");
        RequireArray(r.sums, e.format, 1, n, "sums", bp);
        if (bp) Require(r.transfer >= 0 && r.transfer <= 7, "transfer code outside 0..7");
        const bool deltas = (bp && r.kind != KORU32_SLAB_INPUT) || (pnn && r.kind == KORU32_SLAB_OUTPUT) ||
                            (grnn && r.kind == KORU32_SLAB_HIDDEN);
        RequireArray(r.deltas, e.format, 1, n, "deltas", deltas);
        CheckSlabLinks(b, r, r.inLinks, r.inCount, true);
        CheckSlabLinks(b, r, r.outLinks, r.outCount, false);
    }
    for (int l = 0; l < kLinksPerNet; ++l) {
        Require(b.linkUsed[l] <= 1, "link flag neither 0 nor 1");
        if (!b.linkUsed[l]) continue;
        const LinkRecord& r = b.links[l];
        Require(r.status <= KORU32_LINK_TRAINED, "status outside 0..2");
        const int s = IndexIn(b.slabs, r.source), d = IndexIn(b.slabs, r.dest);
        Require(s >= 0 && b.slabUsed[s] && d >= 0 && b.slabUsed[d], "an end is no slab in use");
        int seenIn = 0, seenOut = 0;
        for (int i = 0; i < r.dest->inCount; ++i) seenIn += r.dest->inLinks[i] == &r;
        for (int i = 0; i < r.source->outCount; ++i) seenOut += r.source->outLinks[i] == &r;
        Require(seenIn == 1 && seenOut == 1, "not listed exactly once by its slabs");
        const uint32_t rows = r.source->values->cols + 1, cols = r.dest->values->cols;
        RequireArray(r.weights, e.format, rows - (bp ? 0 : 1), cols, "weights");
        const bool adaptive = e.variant == 11;
        RequireArray(r.changes, e.format, rows, cols, "changes", e.variant == 2 || e.variant == 3 || adaptive);
        RequireArray(r.gradients, e.format, rows, cols, "gradients", adaptive);
        RequireArray(r.prevGradients, e.format, rows, cols, "previous gradients", adaptive);
        RequireArray(r.lastSteps, e.format, rows, cols, "last steps", adaptive);
    }
    for (int t = 0; t < kStoresPerNet; ++t) {
        Require(b.storeUsed[t] <= 1, "store flag neither 0 nor 1");
        if (!b.storeUsed[t]) continue;
        const StoreRecord& r = b.stores[t];
        Require(r.records >= 1 && r.width >= 1 && r.data != nullptr, "empty store");
        Require(r.data->format == kFloat32 || r.data->format == kFixed824, "unknown format");
        RequireArray(r.data, r.data->format, r.records, r.width, "data");
    }
}

struct Hash {
    uint64_t h = 0x9E3779B97F4A7C15ull;
    void Word(uint64_t w) {
        h ^= w + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
        h *= 0xFF51AFD7ED558CCDull;
    }
    void Array(const ValueArray* a) {
        if (a == nullptr) return Word(0xA11A);
        Word(uint64_t(a->rows) << 32 | a->cols);
        Word(static_cast<uint64_t>(a->format));
        for (uint32_t i = 0; i < a->count; ++i) {
            uint32_t w;
            std::memcpy(&w, a->data + size_t{i} * 4, 4);
            Word(w);
        }
    }
    void Double(double d) { Word(std::bit_cast<uint64_t>(d)); }
};

}  // namespace

void CheckEngineConsistent() {
    for (int n = 0; n < kNetCount; ++n) {
        const NetEntry& e = netTable[n];
        where = n;
        if (e.paradigm != 0) CheckNet(e);
        else Require(e.block == nullptr && e.patternCount == 0, "a free net keeps a block or a pattern count");
    }
    where = -1;
}

uint64_t EngineFingerprint(bool withRange) {
    Hash h;
    if (withRange) h.Double(state.weightRange);
    for (int n = 0; n < kNetCount; ++n) {
        const NetEntry& e = netTable[n];
        h.Word(e.paradigm);
        if (e.paradigm == 0) continue;
        h.Word(uint64_t(e.variant) << 48 | uint64_t(uint16_t(e.patternCount)) << 32 | uint64_t(e.format) << 16 |
               e.netType);
        const NetBlock& b = *e.block;
        for (int s = 0; s < kSlabsPerNet; ++s) {
            h.Word(b.slabUsed[s]);
            if (!b.slabUsed[s]) continue;
            const SlabRecord& r = b.slabs[s];
            h.Word(uint64_t(r.kind) << 48 | uint64_t(uint8_t(r.transfer)) << 32 | uint64_t(r.inCount) << 16 |
                   r.outCount);
            for (int i = 0; i < r.inCount; ++i) h.Word(uint64_t(IndexIn(b.links, r.inLinks[i])));
            for (int i = 0; i < r.outCount; ++i) h.Word(uint64_t(IndexIn(b.links, r.outLinks[i])));
            for (const ValueArray* a : {r.values, r.deltas, r.sums}) h.Array(a);
            h.Double(r.errorSum);
            h.Word(r.winner);
        }
        for (int l = 0; l < kLinksPerNet; ++l) {
            h.Word(b.linkUsed[l]);
            if (!b.linkUsed[l]) continue;
            const LinkRecord& r = b.links[l];
            h.Word(uint64_t(r.status) << 32 | uint64_t(IndexIn(b.slabs, r.source)) << 16 |
                   uint64_t(IndexIn(b.slabs, r.dest)));
            for (const ValueArray* a : {r.weights, r.changes, r.gradients, r.prevGradients, r.lastSteps}) h.Array(a);
        }
        for (int t = 0; t < kStoresPerNet; ++t) {
            h.Word(b.storeUsed[t] ? uint64_t(b.stores[t].records) << 16 | b.stores[t].width : 0);
            if (b.storeUsed[t]) h.Array(b.stores[t].data);
        }
    }
    return h.h;
}

int OpenDescriptorCount() {
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) return -1;
    int count = 0;
    while (readdir(dir) != nullptr) ++count;
    closedir(dir);
    return count;
}

void KillAllNets() {
    for (int16_t n = 0; n < kNetCount; ++n) {
        if (netTable[n].paradigm != 0) Require(KillNet(&n) == KORU32_OK, "KillNet refused a net in use");
    }
    uint16_t next = 999;
    Require(GetNextNet(&next) == KORU32_OK && next == 0, "a slot is still in use after killing every net");
    for (int n = 0; n < kNetCount; ++n) Require(netTable[n].paradigm == 0, "a slot is still in use");
}

void ResetLibrary() {
    KillAllNets();
    const uint16_t floatMode = KORU32_MATH_FLOAT;
    const int16_t seed = 1;
    Require(SetMath(&floatMode) == KORU32_OK && SetSeed(&seed) == KORU32_OK, "the settings are refused");
    state.weightRange = 0.0;
}

std::string ScratchPath(const char* tag) {
    const char* dir = std::getenv("KORU32_FUZZ_DIR");
    std::string base = dir != nullptr ? dir : (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
    return base + "/koru32-fuzz-" + std::to_string(getpid()) + "-" + tag;
}

void WriteWholeFile(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    Require(f != nullptr, "cannot create the scratch file", path.c_str());
    if (size > 0) Require(std::fwrite(data, 1, size, f) == size, "cannot write the scratch file");
    Require(std::fclose(f) == 0, "cannot close the scratch file");
}

}  // namespace koru_fuzz
