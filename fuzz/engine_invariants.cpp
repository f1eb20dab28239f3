#include "fuzz/engine_invariants.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include "core/engine.h"

namespace koru_fuzz {

using namespace koru;

namespace {

std::string inputName;

// Where the consistency check is looking, for its messages.
struct Where {
    int net = -1, slab = -1, link = -1, store = -1;
} where;

}  // namespace

void SetInputName(const std::string& name) { inputName = name; }

void Broken(const char* what, const char* subject) {
    std::fprintf(stderr, "koru32 invariant broken: %s%s%s (net %d slab %d link %d store %d)%s%s\n",
                 subject ? subject : "", subject ? ": " : "", what, where.net, where.slab, where.link, where.store,
                 inputName.empty() ? "" : " input ", inputName.c_str());
    std::fflush(stderr);
    std::abort();
}

void RequireCode(const char* exportName, int16_t code, std::initializer_list<int16_t> allowed) {
    for (int16_t a : allowed) {
        if (a == code) return;
    }
    std::fprintf(stderr, "code %d\n", code);
    Require(false, "answered an undocumented code", exportName);
}

namespace {

bool IsParadigm(uint16_t p) {
    return p == KORU32_PARADIGM_BACKPROP || p == KORU32_PARADIGM_LVQ || p == KORU32_PARADIGM_PNN ||
           p == KORU32_PARADIGM_GRNN;
}

// (paradigm, variant) of net types 1..11, written out from the net types'
// own names.
struct TypeRow {
    uint16_t paradigm, variant;
};
constexpr TypeRow kTypes[12] = {{0, 0}, {1, 0}, {1, 2}, {1, 3}, {6, 0}, {6, 7},
                                {8, 0}, {8, 7}, {9, 0}, {9, 10}, {8, 10}, {1, 11}};

void RequireArray(const ValueArray* a, uint16_t format, uint32_t rows, uint32_t cols, const char* what) {
    Require(a != nullptr, "array missing", what);
    Require(a->format == static_cast<int8_t>(format), "array not in the net's format", what);
    Require(a->rows == rows && a->cols == cols, "array of the wrong shape", what);
    Require(a->count == rows * cols, "count is not rows x cols", what);
    Require(a->end == a->data + uint64_t{a->count} * 4, "end pointer does not match the count", what);
}

int SlabIndex(const NetBlock& b, const SlabRecord* s) {
    if (s < b.slabs || s >= b.slabs + kSlabsPerNet) return -1;
    return static_cast<int>(s - b.slabs);
}

int LinkIndex(const NetBlock& b, const LinkRecord* l) {
    if (l < b.links || l >= b.links + kLinksPerNet) return -1;
    return static_cast<int>(l - b.links);
}

void CheckNet(int n, const NetEntry& e) {
    where = Where{};
    where.net = n;
    Require(e.block != nullptr, "in use without a block");
    Require(IsParadigm(e.paradigm), "unknown paradigm");
    Require(e.netType >= 1 && e.netType <= 11, "net type outside 1..11");
    Require(kTypes[e.netType].paradigm == e.paradigm && kTypes[e.netType].variant == e.variant,
            "paradigm and variant do not match the net type");
    Require(e.format == kFloat32 || e.format == kFixed824, "format neither float32 nor 8.24");
    const bool patternNet = e.paradigm == KORU32_PARADIGM_PNN || e.paradigm == KORU32_PARADIGM_GRNN;
    if (patternNet) Require(e.format == kFloat32, "pattern-unit net not in float32");
    const NetBlock& b = *e.block;
    const bool backprop = e.paradigm == KORU32_PARADIGM_BACKPROP;

    for (int s = 0; s < kSlabsPerNet; ++s) {
        Require(b.slabUsed[s] <= 1, "slab flag neither 0 nor 1");
        if (!b.slabUsed[s]) continue;
        where.slab = s;
        const SlabRecord& r = b.slabs[s];
        Require(r.kind <= KORU32_SLAB_OUTPUT, "kind outside 0..2");
        Require(r.values != nullptr, "no values");
        const uint32_t neurons = r.values->cols;
        Require(neurons >= 1 && neurons <= 32767, "neuron count outside 1..32767");
        RequireArray(r.values, e.format, 1, neurons, "values");
        if (backprop) {
            RequireArray(r.sums, e.format, 1, neurons, "sums");
            Require(r.transfer >= 0 && r.transfer <= 7, "transfer code outside 0..7");
        } else {
            Require(r.sums == nullptr, "sums outside backpropagation");
        }
        const bool deltas = (backprop && r.kind != KORU32_SLAB_INPUT) ||
                            (e.paradigm == KORU32_PARADIGM_PNN && r.kind == KORU32_SLAB_OUTPUT) ||
                            (e.paradigm == KORU32_PARADIGM_GRNN && r.kind == KORU32_SLAB_HIDDEN);
        if (deltas) {
            RequireArray(r.deltas, e.format, 1, neurons, "deltas");
        } else {
            Require(r.deltas == nullptr, "deltas where none belong");
        }
        Require(r.inCount <= kLinksPerSlabSide && r.outCount <= kLinksPerSlabSide, "more than 8 links");
        for (int i = 0; i < kLinksPerSlabSide; ++i) {
            const LinkRecord* in = r.inLinks[i];
            const LinkRecord* out = r.outLinks[i];
            if (i >= r.inCount) {
                Require(in == nullptr, "stale incoming link entry");
            } else {
                const int l = LinkIndex(b, in);
                Require(l >= 0 && b.linkUsed[l], "incoming entry names no link in use");
                Require(in->dest == &r, "incoming link ends elsewhere");
            }
            if (i >= r.outCount) {
                Require(out == nullptr, "stale outgoing link entry");
            } else {
                const int l = LinkIndex(b, out);
                Require(l >= 0 && b.linkUsed[l], "outgoing entry names no link in use");
                Require(out->source == &r, "outgoing link starts elsewhere");
            }
        }
    }

    for (int l = 0; l < kLinksPerNet; ++l) {
        Require(b.linkUsed[l] <= 1, "link flag neither 0 nor 1");
        if (!b.linkUsed[l]) continue;
        where.slab = -1;
        where.link = l;
        const LinkRecord& r = b.links[l];
        Require(r.status <= KORU32_LINK_TRAINED, "status outside 0..2");
        const int s = SlabIndex(b, r.source);
        const int d = SlabIndex(b, r.dest);
        Require(s >= 0 && b.slabUsed[s], "source is no slab in use");
        Require(d >= 0 && b.slabUsed[d], "destination is no slab in use");
        int seenIn = 0, seenOut = 0;
        for (int i = 0; i < r.dest->inCount; ++i) seenIn += r.dest->inLinks[i] == &r;
        for (int i = 0; i < r.source->outCount; ++i) seenOut += r.source->outLinks[i] == &r;
        Require(seenIn == 1 && seenOut == 1, "not listed exactly once by its slabs");
        const uint32_t sourceNeurons = r.source->values->cols;
        const uint32_t destNeurons = r.dest->values->cols;
        RequireArray(r.weights, e.format, sourceNeurons + (backprop ? 1 : 0), destNeurons, "weights");
        const bool changes = e.variant == 2 || e.variant == 3 || e.variant == 11;
        if (changes) {
            RequireArray(r.changes, e.format, sourceNeurons + 1, destNeurons, "changes");
        } else {
            Require(r.changes == nullptr, "changes where none belong");
        }
        if (e.variant == 11) {
            RequireArray(r.gradients, e.format, sourceNeurons + 1, destNeurons, "gradients");
            RequireArray(r.prevGradients, e.format, sourceNeurons + 1, destNeurons, "previous gradients");
            RequireArray(r.lastSteps, e.format, sourceNeurons + 1, destNeurons, "last steps");
        } else {
            Require(r.gradients == nullptr && r.prevGradients == nullptr && r.lastSteps == nullptr,
                    "adaptive arrays outside the adaptive rule");
        }
    }

    for (int t = 0; t < kStoresPerNet; ++t) {
        Require(b.storeUsed[t] <= 1, "store flag neither 0 nor 1");
        if (!b.storeUsed[t]) continue;
        where.link = -1;
        where.store = t;
        const StoreRecord& r = b.stores[t];
        Require(r.records >= 1 && r.width >= 1, "empty store");
        Require(r.data != nullptr, "no data");
        Require(r.data->format == kFloat32 || r.data->format == kFixed824, "unknown format");
        RequireArray(r.data, static_cast<uint16_t>(r.data->format), r.records, r.width, "data");
    }
}

// A quick 64-bit mix, eight bytes at a time.
struct Hash {
    uint64_t h = 0x9E3779B97F4A7C15ull;
    void Word(uint64_t w) {
        h ^= w + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
        h *= 0xFF51AFD7ED558CCDull;
    }
    void Bytes(const uint8_t* p, size_t n) {
        Word(n);
        size_t i = 0;
        for (; i + 8 <= n; i += 8) {
            uint64_t w;
            std::memcpy(&w, p + i, 8);
            Word(w);
        }
        uint64_t tail = 0;
        std::memcpy(&tail, p + i, n - i);
        Word(tail);
    }
    void Array(const ValueArray* a) {
        if (a == nullptr) {
            Word(0xA11A);
            return;
        }
        Word(uint64_t(a->rows) << 32 | a->cols);
        Word(static_cast<uint64_t>(a->format));
        Bytes(a->data, uint64_t{a->count} * 4);
    }
    void Double(double d) {
        uint64_t w;
        std::memcpy(&w, &d, 8);
        Word(w);
    }
};

}  // namespace

void CheckEngineConsistent() {
    for (int n = 0; n < kNetCount; ++n) {
        const NetEntry& e = netTable[n];
        where = Where{};
        where.net = n;
        if (e.paradigm == 0) {
            Require(e.block == nullptr, "a free net keeps a block");
            Require(e.patternCount == 0, "a free net keeps a pattern count");
            continue;
        }
        CheckNet(n, e);
    }
    where = Where{};
}

uint64_t EngineFingerprint() {
    Hash h;
    h.Double(state.weightRange);
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
            for (int i = 0; i < r.inCount; ++i) h.Word(uint64_t(LinkIndex(b, r.inLinks[i])));
            for (int i = 0; i < r.outCount; ++i) h.Word(uint64_t(LinkIndex(b, r.outLinks[i])));
            h.Array(r.values);
            h.Array(r.deltas);
            h.Array(r.sums);
            h.Double(r.errorSum);
            h.Word(r.winner);
        }
        for (int l = 0; l < kLinksPerNet; ++l) {
            h.Word(b.linkUsed[l]);
            if (!b.linkUsed[l]) continue;
            const LinkRecord& r = b.links[l];
            h.Word(uint64_t(r.status) << 32 | uint64_t(SlabIndex(b, r.source)) << 16 | uint64_t(SlabIndex(b, r.dest)));
            h.Array(r.weights);
            h.Array(r.changes);
            h.Array(r.gradients);
            h.Array(r.prevGradients);
            h.Array(r.lastSteps);
        }
        for (int t = 0; t < kStoresPerNet; ++t) {
            h.Word(b.storeUsed[t]);
            if (!b.storeUsed[t]) continue;
            h.Word(uint64_t(b.stores[t].records) << 16 | b.stores[t].width);
            h.Array(b.stores[t].data);
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
    return count;  // the same "." , ".." and the directory's own descriptor every time
}

void KillAllNets() {
    for (int16_t n = 0; n < kNetCount; ++n) {
        if (netTable[n].paradigm == 0) continue;
        Require(KillNet(&n) == KORU32_OK, "KillNet refused a net in use");
    }
    uint16_t next = 999;
    Require(GetNextNet(&next) == KORU32_OK && next == 0, "a slot is still in use after killing every net");
    for (int n = 0; n < kNetCount; ++n) Require(netTable[n].paradigm == 0, "a slot is still in use");
}

void ResetLibrary() {
    KillAllNets();
    const uint16_t floatMode = KORU32_MATH_FLOAT;
    SetMath(&floatMode);
    const int16_t seed = 1;
    SetSeed(&seed);
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
