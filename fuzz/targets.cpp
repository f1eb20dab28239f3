// The three fuzz targets. The file-level ones take the settings around their
// call (math mode, net type, caller bytes asked back) from the input's
// length, so that a corpus of plain files covers them all.
//
// The export-level target: the input is read as a program, one export call
// after another, each an operation byte followed by the bytes its arguments
// are drawn from. Numbers are mostly small and valid (nets 0..3, slabs 0..5,
// links 0..11 so that a slab can be offered more than eight, neurons 1..8)
// so that programs build real topologies, and now and then the edges and
// beyond (-1, 32, 128, 32767, -32768, NaN, infinities, huge record counts).
// The way bytes become calls is the committed corpus's format: a step may
// change what it checks, never what it draws or in which order.
//
// Every array argument is a heap buffer of exactly the size the export
// states for the object named (one element when there is no such object),
// so AddressSanitizer sees any read or write beyond it.
//
// After every call: a documented code; a consistent engine; a refused call
// changed nothing observable and wrote no output; a read changed nothing;
// file calls left no file open. The program ends by killing every net.
//
// A link of more than kLargestArray weights, or a store of more records x
// width than that (but still addressable), is not made: such a call is a
// legitimate request for gigabytes, and the fuzzer's memory limit would take
// it for a fault.
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/engine.h"
#include "fuzz/checks.h"

namespace koru_fuzz {

using namespace koru;

namespace {

std::string inputName;
int where = -1;  // the net being checked, for the messages

// Stops the run with `what` (about `subject`, when given) when `condition`
// is false: a finding. Messages are plain literals, free until they fire.
[[noreturn]] void Broken(const char* what, const char* subject) {
    std::fprintf(stderr, "koru32 invariant broken: %s%s%s (net %d)%s%s\n", subject ? subject : "",
                 subject ? ": " : "", what, where, inputName.empty() ? "" : " input ", inputName.c_str());
    std::fflush(stderr);
    std::abort();
}
inline void Require(bool condition, const char* what, const char* subject = nullptr) {
    if (!condition) [[unlikely]] Broken(what, subject);
}
// A set of result codes, and the check that `code` is among them.
constexpr uint64_t Codes(std::initializer_list<int> codes) {
    uint64_t set = 0;
    for (int code : codes) set |= uint64_t{1} << code;
    return set;
}
void RequireCode(const char* exportName, int16_t code, uint64_t allowed) {
    if (code >= 0 && code < 64 && (allowed >> code & 1) != 0) return;
    std::fprintf(stderr, "code %d\n", code);
    Broken("answered an undocumented code", exportName);
}

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
    for (int i = count; i < kLinksPerSlabSide; ++i) Require(list[i] == nullptr, "stale link entry");
    for (int i = 0; i < count; ++i) {
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
        Require(std::count(r.dest->inLinks, r.dest->inLinks + r.dest->inCount, &r) == 1 &&
                    std::count(r.source->outLinks, r.source->outLinks + r.source->outCount, &r) == 1,
                "not listed exactly once by its slabs");
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

// Every net in use has a block; every slab, link and store in use has the
// arrays its paradigm and variant call for, of the sizes its neighbours
// give; link lists and link ends point at each other.
void CheckEngineConsistent() {
    for (int n = 0; n < kNetCount; ++n) {
        const NetEntry& e = netTable[n];
        where = n;
        if (e.paradigm != 0) CheckNet(e);
        else Require(e.block == nullptr && e.patternCount == 0, "a free net keeps a block or a pattern count");
    }
    where = -1;
}

// A hash of everything a caller can observe of every net in use, and of the
// weight range the next link is drawn with unless told otherwise (not the
// current paradigm, variant or math mode: lookups load them before a later
// check refuses).
uint64_t EngineFingerprint(bool withRange = true) {
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

// -1 where it cannot be counted
int OpenDescriptorCount() {
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) return -1;
    int count = 0;
    while (readdir(dir) != nullptr) ++count;
    closedir(dir);
    return count;
}

// And requires every slot free afterwards.
void KillAllNets() {
    for (int16_t n = 0; n < kNetCount; ++n)
        if (netTable[n].paradigm != 0) Require(KillNet(&n) == KORU32_OK, "KillNet refused a net in use");
    uint16_t next = 999;
    Require(GetNextNet(&next) == KORU32_OK && next == 0, "a slot is still in use after killing every net");
    for (int n = 0; n < kNetCount; ++n) Require(netTable[n].paradigm == 0, "a slot is still in use");
}

// Every net killed, float math, seed 1.
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

constexpr uint32_t kSentinelBits = 0x7FC0DEADu;  // a NaN whose payload no conversion produces

const NetBlock* BlockOf(int16_t net) {
    return net < 0 || net >= kNetCount || netTable[net].paradigm == 0 ? nullptr : netTable[net].block;
}

// Element counts of what a caller hands for an object, 0 when it is not in use.
uint32_t NeuronsOf(int16_t net, int16_t slab) {
    const NetBlock* b = BlockOf(net);
    return b && slab >= 0 && slab < kSlabsPerNet && b->slabUsed[slab] ? b->slabs[slab].values->count : 0;
}

uint32_t WeightsOf(int16_t net, int16_t link) {
    const NetBlock* b = BlockOf(net);
    return b && link >= 0 && link < kLinksPerNet && b->linkUsed[link] ? b->links[link].weights->count : 0;
}

uint32_t ChangesOf(int16_t net, int16_t link) {
    const ValueArray* c = WeightsOf(net, link) > 0 ? netTable[net].block->links[link].changes : nullptr;
    return c == nullptr ? 0 : c->count;
}

uint32_t StoreWidthOf(int16_t net, int16_t store) {
    const NetBlock* b = BlockOf(net);
    return b && store >= 0 && store < kStoresPerNet && b->storeUsed[store] ? b->stores[store].width : 0;
}

// The codes of exports that more than one check calls, as their declarations
// in koru32.h list them (RestoreNet: its own and those of the calls it
// rebuilds a net with).
constexpr uint64_t kMakeSlabCodes = Codes({0, 1, 3, 5, 6, 7, 8, 10});
constexpr uint64_t kTransferCodes = Codes({0, 3, 5, 7, 9, 16, 43});
constexpr uint64_t kMakeLinkCodes = Codes({0, 1, 3, 5, 7, 9, 12, 13, 14, 44});
constexpr uint64_t kRestoreNetCodes = Codes({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 13, 14, 16, 41, 43});
constexpr uint64_t kLoadShellCodes = Codes({0, 1, 3, 5, 8, 14, 16, 25});

constexpr uint64_t kLargestArray = 1u << 16;
constexpr size_t kMostCalls = 400;

struct Program {
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;

    bool Done() const { return pos_ >= size_; }
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    // Little-endian: the first byte read is the low one. Each read is its own
    // statement, since C++ leaves the order of the operands of | open.
    uint16_t Word() {
        const uint16_t low = Byte();
        return static_cast<uint16_t>(low | Byte() << 8);
    }
    uint32_t Long() {
        const uint32_t low = Word();
        return low | uint32_t{Word()} << 16;
    }

    // A number from `usual` most of the time, any now and then (a word, or a
    // long for records), an edge value else.
    template <class T = int16_t>
    T Pick(int usual, std::initializer_list<std::type_identity_t<T>> edges) {
        const uint8_t b = Byte();
        if (b < 224) return T(b % usual);
        return b < 240 ? T(sizeof(T) == 4 ? Long() : Word()) : edges.begin()[b % edges.size()];
    }
    int16_t Net() { return Pick(4, {-1, 128, 127, -32768, 32767}); }
    int16_t Slab() { return Pick(6, {-1, 32, 31, -32768, 32767}); }
    int16_t Link() { return Pick(12, {-1, 32, 31, -32768, 32767}); }
    int16_t Store() { return Pick(3, {-1, 6, 5, -32768}); }
    uint16_t NetType() { return static_cast<uint16_t>(Pick(12, {0, 12, -1, 255})); }
    uint32_t Record() { return Pick<uint32_t>(4, {0xFFFFFFFFu, 0x80000000u, 65536u, 40000u}); }
    float Real() {
        static const float kTable[] = {0.0f,    1.0f,     -1.0f,     0.5f,   -0.5f,  0.25f,  2.0f,  10.0f,  100.0f,
                                       127.5f,  128.0f,   -129.0f,   1e10f,  -1e10f, 3.4e38f, INFINITY, -INFINITY,
                                       NAN,     1e-40f,   1e-30f,    0.001f, 32767.0f, 65536.0f, 0.1f, -0.0f, 0.75f};
        const uint8_t b = Byte();
        if (b < 0xE0) return kTable[b % std::size(kTable)];
        const uint32_t bits = Long();
        return bits == kSentinelBits ? 0.0f : std::bit_cast<float>(bits);  // never the output sentinel
    }
    // `n` values (at least one), repeating up to four drawn from the input;
    // integers alternate two words, the second first.
    std::vector<float> Reals(uint32_t n) {
        std::vector<float> v(1 + Byte() % 4);
        for (float& x : v) x = Real();
        return Repeated(v, n);
    }
    std::vector<int16_t> Integers(uint32_t n) {
        const int16_t a = static_cast<int16_t>(Word());
        return Repeated(std::vector<int16_t>{static_cast<int16_t>(Word()), a}, n);
    }
    template <class T>
    static std::vector<T> Repeated(const std::vector<T>& v, uint32_t n) {
        std::vector<T> out(n == 0 ? 1 : n);
        for (size_t i = 0; i < out.size(); ++i) out[i] = v[i % v.size()];
        return out;
    }
};

using P = Program;

const std::string netFile = ScratchPath("program.net"), shellFile = ScratchPath("program.shl");

// The drawn arguments of a call (by position) and what follows from them.
struct Frame {
    int16_t i[8] = {};
    uint16_t u[8] = {};
    uint32_t record[8] = {};
    float f[8] = {};
    std::vector<float> v[8];
    std::vector<int16_t> w[8];
    int16_t net = 0, slab = 0, link = 0, store = 0;  // the last drawn, which array sizes follow
    int32_t length = 0;
    std::vector<uint8_t> bytes;
    std::vector<float>* out = nullptr;  // the output buffer, if any,
    bool full = false;                  // and whether success writes all of it
    std::vector<int16_t>* integersOut = nullptr;
    int exists = -1;        // for a whole slab or link read: whether the object is in use
    int16_t outside = 0;    // the code for a slab, link or store number out of range
    bool skip = false;      // a legitimate request for gigabytes: not made
};

// Output argument `k`: a caller buffer of `n` elements (at least one) filled
// with a NaN no export writes; with `full`, a success writes every element.
void* Output(Frame& f, int k, uint32_t n, bool full) {
    f.v[k].assign(n == 0 ? 1 : n, std::bit_cast<float>(kSentinelBits));
    f.out = &f.v[k];
    f.full = full;
    return f.v[k].data();
}

int16_t* Number(Frame& f, int k, int16_t& last, int16_t value, int count, int16_t code) {
    if (value < 0 || value >= count) f.outside = code;
    return &(f.i[k] = last = value);
}

// Argument `k` of kind `kind`, drawn from the input; the pointer handed over.
void* Draw(char kind, int k, P& in, Frame& f) {
    switch (kind) {
        case 'n': return &(f.i[k] = f.net = in.Net());
        case 's': return Number(f, k, f.slab, in.Slab(), kSlabsPerNet, KORU32_ERR_BAD_SLAB_NUMBER);
        case 'l': return Number(f, k, f.link, in.Link(), kLinksPerNet, KORU32_ERR_BAD_LINK_NUMBER);
        case 't': return Number(f, k, f.store, in.Store(), kStoresPerNet, KORU32_ERR_BAD_STORE_NUMBER);
        case 'e':  // a link's destination slab: a link of more than kLargestArray weights is not made
            f.i[k] = in.Slab();
            f.skip = (uint64_t{NeuronsOf(f.net, f.slab)} + 1) * NeuronsOf(f.net, f.i[k]) > kLargestArray;
            return &f.i[k];
        case 'u': return &(f.i[k] = in.Pick(6, {0, -1, 32767, -32768, 300}));  // neuron
        case 'p': return &(f.i[k] = in.Pick(5, {-1, 32767, -32768, 100}));    // pattern
        case 'N': f.i[k] = in.Pick(8, {0, -1, 32767, 300, 1000, -32768, 16});  // neurons, mostly 1..8
            return &(f.i[k] += f.i[k] >= 0 && f.i[k] < 8);
        case 'k': return &(f.i[k] = in.Pick(3, {3, -1, 255}));  // slab kind
        case 'w': return &(f.i[k] = static_cast<int16_t>(in.Word()));
        case 'c': return &(f.i[k] = in.Pick(8, {8, -1, 127, -128, 255}));    // transfer code
        case 'a': return &(f.i[k] = in.Pick(3, {3, -1, 255, -32768}));       // link status
        case 'd': return &(f.i[k] = in.Pick(4, {-1, 32767, -32768, 100}));   // LVQ radius
        case 'x': return &(f.i[k] = in.Pick(8, {0, -1, 32767, -32768, 1000}));  // store width
        case 'W': return &(f.u[k] = static_cast<uint16_t>(in.Pick(5, {-1, 0, 32767, -32768, 1000})));
        case 'A': return &(f.u[k] = static_cast<uint16_t>(in.Pick(2, {2, -1, 255})));  // apply flag
        case 'T': return &(f.u[k] = in.NetType());
        case 'g': return &(f.u[k] = in.Byte() % 3);  // LVQ flag
        case 'M': {
            const uint8_t b = in.Byte();
            return &(f.u[k] = b < 240 ? b % 2 : in.Word());
        }
        case 'X': return &(f.u[k] = 0xBEEF);  // a number out
        case 'r': return &(f.record[k] = in.Record());
        case 'R': {  // a store's records: more records x width than kLargestArray (but addressable) are not made
            const uint64_t elements = uint64_t{f.record[k] = in.Record()} * static_cast<uint16_t>(f.i[k - 1]);
            f.skip = elements > kLargestArray && elements <= 0xFFFFFFFFu;
            return &f.record[k];
        }
        case 'f': return &(f.f[k] = in.Real());
        case 'V': return (f.v[k] = in.Reals(NeuronsOf(f.net, f.slab))).data();
        case 'C': f.v[k] = in.Reals(NeuronsOf(f.net, f.slab) + 1), f.v[k][0] = in.Real(); return f.v[k].data();
        case 'L': return (f.v[k] = in.Reals(WeightsOf(f.net, f.link))).data();
        case 'H': return (f.v[k] = in.Reals(ChangesOf(f.net, f.link))).data();
        case 'D': return (f.v[k] = in.Reals(StoreWidthOf(f.net, f.store))).data();
        case 'I': return (f.w[k] = in.Integers(NeuronsOf(f.net, f.slab))).data();
        case 'J': f.w[k].assign(std::max(NeuronsOf(f.net, f.slab), 1u), 0x5A5A), f.integersOut = &f.w[k];
            return f.w[k].data();
        case 'O': f.exists = NeuronsOf(f.net, f.slab) > 0; return Output(f, k, NeuronsOf(f.net, f.slab), true);
        case 'Q': return Output(f, k, NeuronsOf(f.net, f.slab) + 1, true);
        case 'G': f.exists = WeightsOf(f.net, f.link) > 0; return Output(f, k, WeightsOf(f.net, f.link), true);
        case 'K': return Output(f, k, ChangesOf(f.net, f.link), true);
        case 'E': return Output(f, k, StoreWidthOf(f.net, f.store), true);
        case '1': return Output(f, k, 1, false);
        case '+': return Output(f, k, 1, true);
        case 'F': return const_cast<char*>(netFile.c_str());
        case 'S': return const_cast<char*>(shellFile.c_str());
        case 'z': return &(f.length = static_cast<int32_t>(in.Byte() % 8) - 2);  // caller bytes asked for
        case 'b':  // the caller's bytes (or none), filled with `fill`
        case 'B': f.bytes.assign(f.length > 0 ? f.length : 1, kind == 'b' ? 0x3C : 0xC3);
            return in.Byte() % 4 == 0 ? nullptr : f.bytes.data();
    }
    return nullptr;
}

template <class... A>
constexpr size_t ArityOf(int16_t (*)(A...)) { return sizeof...(A); }

template <auto F, class... A, size_t... I>
int16_t Invoke(int16_t (*)(A...), void* const* p, std::index_sequence<I...>) {
    return F(static_cast<A>(p[I])...);
}
template <auto F>
int16_t Invoke(void* const* p) { return Invoke<F>(F, p, std::make_index_sequence<ArityOf(F)>{}); }

// The operations, one row per operation byte (taken modulo 64): the export,
// the kinds of its arguments in order (see Draw), the codes its declaration
// in koru32.h lists, whether it only reads, the refusal code that may leave
// changes, and checks of its own. Rows of a step of their own draw and check
// in it. The row numbers are the corpus's format:
// a row is only ever added.
struct Operation {
    const char* name;
    const char* kinds;
    uint64_t allowed;
    int16_t (*call)(void* const*);
    size_t arity;
    bool reads = false;
    int16_t excused = KORU32_OK;
    void (*check)(const char* name, const Frame& f, int16_t code) = nullptr;
    void (*step)(P&) = nullptr;
};


// Weights and changes drawn from a range the call accepted are finite.
void RequireFiniteLink(const char* name, const Frame& f, int16_t code) {
    if (code != KORU32_OK) return;
    const LinkRecord& record = netTable[f.i[0]].block->links[f.i[1]];
    for (const ValueArray* array : {record.weights, record.changes}) {
        for (uint32_t i = 0; array != nullptr && i < array->count; ++i)
            Require(std::isfinite(GetElement(i, *array)), "drew a weight that is not finite", name);
    }
}

// RestoreNet into `net`: a success leaves a net in the slot; a refusal
// changes nothing, unless it is 41 for caller bytes that the file lacks,
// with the net complete in a slot that was free. (A refused RestoreNet may
// have set the weight range through the MakeLink calls it rebuilds with.)
void CheckedRestore(int16_t net, const char* path, int32_t& length, void* bytes) {
    const bool wasFree = IsValidNetNumber(net) && netTable[net].paradigm == 0;
    const uint64_t before = EngineFingerprint(false);
    const int descriptors = OpenDescriptorCount();
    const int16_t code = RestoreNet(&net, path, &length, bytes);
    RequireCode("RestoreNet", code, kRestoreNetCodes);
    CheckEngineConsistent();
    Require(OpenDescriptorCount() == descriptors, "RestoreNet left the file open");
    const bool inUse = BlockOf(net) != nullptr;
    if (code == KORU32_OK) Require(inUse, "RestoreNet succeeded without a net in the slot");
    else if (wasFree && inUse) Require(code == KORU32_ERR_RESTORE_FILE && length > 0 && bytes, "kept a broken net");
    else Require(EngineFingerprint(false) == before, "a refused restore changed the engine");
}

void RestoreStep(P& in) {
    Frame f;
    const int16_t net = in.Net();
    Draw('z', 0, in, f);
    void* bytes = Draw('B', 1, in, f);
    CheckedRestore(net, netFile.c_str(), f.length, bytes);
}

// A shell file: three small layer sizes (or any, now and then) and as many
// body bytes as the input offers, up to complete.
void ShellFileStep(P& in) {
    std::vector<uint8_t> file;
    for (int k = 0; k < 3; ++k) {
        const uint8_t b = in.Byte();
        const uint16_t units = b < 240 ? 2 + b % 5 : in.Word();
        file.push_back(static_cast<uint8_t>(units));
        file.push_back(static_cast<uint8_t>(units >> 8));
    }
    const size_t body = in.Byte() % 2 ? 400 : in.Byte();
    const float w = in.Real();
    for (size_t i = 0; i < body; i += 4) {
        const auto bits = std::bit_cast<uint32_t>(w * static_cast<float>(i % 7));
        for (int j = 0; j < 4; ++j) file.push_back(static_cast<uint8_t>(bits >> 8 * j));
    }
    WriteWholeFile(shellFile, file.data(), file.size());
}

// A whole net in one step: three slabs, two links, transfer codes, so that
// programs reach the paradigm routines soon.
void WholeNetStep(P& in) {
    const int16_t net = in.Net();
    const uint16_t type = in.NetType();
    if (MakeNet(&net, &type) != KORU32_OK) return;
    for (int16_t s = 0; s < 3; ++s) {
        const int16_t neurons = static_cast<int16_t>(1 + in.Byte() % 6), kind = s;
        RequireCode("MakeSlab", MakeSlab(&net, &s, &neurons, &kind), kMakeSlabCodes);
        const int16_t transfer = in.Byte() % 8;
        RequireCode("Transfer", Transfer(&net, &s, &transfer), kTransferCodes);
    }
    const float range = in.Real();
    for (int16_t l = 0; l < 2; ++l) {
        const int16_t source = l, dest = static_cast<int16_t>(l + 1);
        RequireCode("MakeLink", MakeLink(&net, &l, &range, &source, &dest), kMakeLinkCodes);
    }
    CheckEngineConsistent();
}

void MathErrorStep(P& in) {
    koru32_math_exception record{};
    record.retval = in.Real();
    const uint64_t before = EngineFingerprint();
    Require(_matherr(&record) == 1 && record.retval == 0.0, "_matherr did not set 0.0 and answer 1");
    Require(EngineFingerprint() == before, "_matherr changed the engine");
}

#define KORU_ROW(fn, kinds, allowed, ...) {#fn, kinds, allowed, Invoke<fn>, ArityOf(fn), __VA_ARGS__}
#define KORU_STEP(name, step) {name, "", 0, nullptr, 0, false, 0, nullptr, step}
// A row's own check of its arguments `f` and its `code`.
#define KORU_CHECK(...) []([[maybe_unused]] const char* name, const Frame& f, [[maybe_unused]] int16_t code) { __VA_ARGS__; }

void ProbeNet(int16_t net);

constexpr Operation kOperations[] = {
    KORU_ROW(MakeNet, "nT", Codes({0, 1, 2, 3, 4}), false, 0,  // 0
             KORU_CHECK(Require(code || netTable[f.i[0]].netType == f.u[1], "recorded another type", name))),
    KORU_ROW(KillNet, "n", Codes({0, 3, 5}), false, 0,
             KORU_CHECK(Require(code || netTable[f.i[0]].paradigm == 0, "left the slot in use", name))),
    KORU_ROW(GetNextNet, "X", Codes({0, 4}), false, 0,
             KORU_CHECK(Require(code || (f.u[0] < kNetCount && !netTable[f.u[0]].paradigm), "a used slot", name))),
    KORU_ROW(SetMath, "M", Codes({0, 22})),
    KORU_ROW(SetCPU, "w", Codes({42}), false, 0,
             KORU_CHECK(RequireCode("SetSeed", SetSeed(&f.i[0]), Codes({0})); Require(WEP(f.i[0]) == 1, "WEP"))),
    KORU_ROW(MakeSlab, "nsNk", kMakeSlabCodes, false, 0,  // 5
             KORU_CHECK(Require(code || NeuronsOf(f.i[0], f.i[1]) == uint32_t(f.i[2]), "made another size", name))),
    KORU_ROW(KillSlab, "ns", Codes({0, 3, 5, 7, 9, 11})),
    KORU_ROW(PutSlab, "nsV", Codes({0, 3, 5, 7, 9})),
    KORU_ROW(GetSlab, "nsO", Codes({0, 3, 5, 7, 9}), true),
    KORU_ROW(PutSlabInteger, "nsI", Codes({0, 3, 5, 7, 9})),
    KORU_ROW(GetSlabInteger, "nsJ", Codes({0, 3, 5, 7, 9}), true),  // 10
    KORU_ROW(SetSlab, "nsf", Codes({0, 3, 5, 7, 9})),
    KORU_ROW(CopySlab, "nsns", Codes({0, 3, 5, 7, 9})),
    KORU_ROW(SlideSlab, "nsf", Codes({0, 3, 5, 7, 9})),
    KORU_ROW(GetNeuron, "nsu1", Codes({0, 3, 5, 7, 9, 24}), true, 0,
             KORU_CHECK(const uint32_t n = NeuronsOf(f.i[0], f.i[1]);
             Require(n == 0 || (code == KORU32_OK) == (f.i[2] >= 1 && uint32_t(f.i[2]) <= n), "range", name))),
    KORU_ROW(PutNeuron, "nsuf", Codes({0, 3, 5, 7, 9, 24})),  // 15
    KORU_ROW(Transfer, "nsc", kTransferCodes),
    KORU_ROW(GetDelta, "nsu1", Codes({0, 3, 5, 7, 9, 16, 24}), true),
    KORU_ROW(PutDelta, "nsuf", Codes({0, 3, 5, 7, 9, 16, 24})),
    KORU_ROW(GetCounts, "nsQ", Codes({0, 3, 5, 7, 9, 16}), true),
    KORU_ROW(PutCounts, "nsC", Codes({0, 3, 5, 7, 9, 16})),  // 20
    KORU_ROW(MakeLink, "nlfse", kMakeLinkCodes, false, 0, RequireFiniteLink),
    KORU_ROW(InitLink, "nlf", Codes({0, 3, 5, 12, 15, 44}), false, 0, RequireFiniteLink),
    KORU_ROW(KillLink, "nl", Codes({0, 3, 5, 12, 15})),
    KORU_ROW(GetLink, "nlG", Codes({0, 3, 5, 12, 15}), true),
    KORU_ROW(PutLink, "nlL", Codes({0, 3, 5, 12, 15})),  // 25
    KORU_ROW(GetWeight, "nluu1", Codes({0, 3, 5, 12, 15, 19, 20}), true),
    KORU_ROW(PutWeight, "nluuf", Codes({0, 3, 5, 12, 15, 19, 20})),
    KORU_ROW(GetChange, "nluu1", Codes({0, 3, 5, 12, 15, 16, 19, 20}), true),
    KORU_ROW(PutChange, "nluuf", Codes({0, 3, 5, 12, 15, 16, 19, 20})),
    KORU_ROW(GetLinkChanges, "nlK", Codes({0, 3, 5, 12, 15, 16}), true),  // 30
    KORU_ROW(PutLinkChanges, "nlH", Codes({0, 3, 5, 12, 15, 16})),
    KORU_ROW(SetStatus, "nla", Codes({0, 3, 5, 12, 15, 16, 43})),
    KORU_ROW(MakeStore, "ntxR", Codes({0, 1, 3, 5, 10, 33, 34, 35})),
    KORU_ROW(KillStore, "nt", Codes({0, 3, 5, 33, 36})),
    KORU_ROW(GetStore, "ntrE", Codes({0, 3, 5, 33, 36, 37}), true),  // 35
    KORU_ROW(PutStore, "ntrD", Codes({0, 3, 5, 33, 36, 37})),
    KORU_ROW(CopyToStore, "ntrns", Codes({0, 3, 5, 7, 9, 33, 36, 37})),
    KORU_ROW(CopyFromStore, "ntrns", Codes({0, 3, 5, 7, 9, 33, 36, 37})),
    KORU_ROW(PnnPropagate, "nsf", Codes({0, 3, 5, 7, 9, 16, 17, 32})),
    KORU_ROW(PnnEvaluate, "nsVp", Codes({0, 3, 5, 7, 9, 16, 17, 18, 31})),  // 40
    KORU_ROW(PnnTrain, "nsp", Codes({0, 3, 5, 7, 9, 16, 31})),
    // GrnnPropagate's 38 leaves outputs of 0.
    KORU_ROW(GrnnPropagate, "nsf", Codes({0, 3, 5, 7, 9, 16, 17, 32, 38}), false, KORU32_ERR_ZERO_DENOMINATOR),
    KORU_ROW(GrnnEvaluate, "nsVp", Codes({0, 3, 5, 7, 9, 16, 17, 18, 31})),
    KORU_ROW(GrnnTrain, "nsp", Codes({0, 3, 5, 7, 9, 16, 31})),
    KORU_ROW(LvqPropagate, "ns", Codes({0, 3, 5, 7, 9, 16, 17})),  // 45
    KORU_ROW(LvqEvaluate, "nsXg", Codes({0, 3, 5, 7, 9, 16, 18}), false, 0, KORU_CHECK(const uint16_t w = f.u[2];
             Require(code ? w == 0xBEEF : w >= 1 && w <= NeuronsOf(f.i[0], f.i[1]), "a wrong winner", name))),
    KORU_ROW(LvqTrain, "nsfdW", Codes({0, 3, 5, 7, 9, 16, 23})),
    KORU_ROW(SaveNet, "nFzb", Codes({0, 3, 5, 40}), true),
    KORU_STEP("RestoreNet", RestoreStep),
    KORU_STEP("(writes the shell file LoadShell reads)", ShellFileStep),  // 50
    // The program's files never fail a read: only running out of memory may
    // leave slabs and links behind.
    KORU_ROW(LoadShell, "nS", kLoadShellCodes, false, KORU32_ERR_NO_MEMORY),
    KORU_STEP("MakeNet, MakeSlab, Transfer, MakeLink", WholeNetStep),
    KORU_STEP("(reads a whole net back)", [](P& in) {
        const int16_t net = in.Net();
        if (IsValidNetNumber(net) && netTable[net].paradigm != 0) ProbeNet(net);
    }),
    KORU_ROW(BpPropagate, "ns", Codes({0, 3, 5, 7, 9, 16, 17})),
    KORU_ROW(BpEvaluate, "nsV1", Codes({0, 3, 5, 7, 9, 16, 18})),  // 55
    KORU_ROW(BpEvaluateSum, "nsV", Codes({0, 3, 5, 7, 9, 16, 18})),
    KORU_ROW(BpGetSum, "ns+", Codes({0, 3, 5, 7, 9, 16, 18})),
    KORU_ROW(BpEvaluateInteger, "nsI1", Codes({0, 3, 5, 7, 9, 16, 18})),
    KORU_ROW(BpEvaluateStore, "nsntr1", Codes({0, 3, 5, 7, 9, 16, 18, 33, 36, 37})),
    KORU_ROW(BpEvaluateSumStore, "nsntr", Codes({0, 3, 5, 7, 9, 16, 18, 33, 36, 37})),  // 60
    KORU_ROW(AddSlab, "nssf", Codes({0, 3, 5, 7, 9})),
    KORU_ROW(BpTrain, "nsffA", Codes({0, 3, 5, 7, 9, 16, 44})),
    KORU_STEP("_matherr", MathErrorStep),
};
static_assert(std::size(kOperations) == 64, "an operation byte names one of 64 rows");

// A call: a documented code and a consistent engine after it; a refusal
// changed nothing (unless excused) and wrote no output; a read changed
// nothing, named an object out of range as such, and wrote its whole output
// on success; file calls left no file open.
// With `light`, no fingerprint per call: the caller judges the whole run.
void Run(const Operation& op, P& in, bool light = false) {
    if (op.step != nullptr) return op.step(in);
    Frame f;
    void* p[8];
    for (size_t k = 0; k < op.arity; ++k) p[k] = Draw(op.kinds[k], static_cast<int>(k), in, f);
    if (f.skip) return;
    const bool files = std::strpbrk(op.kinds, "FS") != nullptr;
    const int descriptors = files ? OpenDescriptorCount() : 0;
    const uint64_t before = light ? 0 : EngineFingerprint();
    const int16_t code = op.call(p);
    RequireCode(op.name, code, op.allowed);
    if (files) Require(OpenDescriptorCount() == descriptors, "left the file open", op.name);
    for (size_t i = 0; f.out != nullptr && i < f.out->size(); ++i) {
        const bool untouched = std::bit_cast<uint32_t>((*f.out)[i]) == kSentinelBits;
        if (code != KORU32_OK) Require(untouched, "wrote its output on a refusal", op.name);
        else if (f.full) Require(!untouched, "left part of its output unwritten", op.name);
    }
    if (f.integersOut != nullptr && code != KORU32_OK)
        Require((*f.integersOut)[0] == 0x5A5A, "wrote its output on a refusal", op.name);
    if (f.exists >= 0) Require((code == KORU32_OK) == (f.exists == 1), "answers otherwise than its table", op.name);
    if (op.reads && f.outside != 0 && IsValidNetNumber(f.i[0]) && netTable[f.i[0]].paradigm != 0)
        Require(code == f.outside, "answered another code for a number out of range", op.name);
    if (op.check != nullptr) op.check(op.name, f, code);
    CheckEngineConsistent();
    if (light) return;
    if (op.reads || (code != KORU32_OK && code != op.excused))
        Require(EngineFingerprint() == before, op.reads ? "changed the engine while reading" : "refused, yet changed it",
                op.name);
}

// The bytes that draw ordinary values for an argument of `kind`: 1 for a
// number, 0.5 for a real, two reals of 1.0 and 0.5 for an array.
const char* Ordinary(char kind) {
    if (std::strchr("OQGKE1+XFSJ", kind) != nullptr) return "";
    if (std::strchr("VLHD", kind) != nullptr) return "\x01\x01\x03";
    if (kind == 'C' || kind == 'I') return "\x01\x01\x03\x03";
    return kind == 'f' ? "\x03" : kind == 'w' ? "\x01\x01" : "\x01";
}

// A program of calls of rows with the given numbers for their first
// arguments (through the word forms of Pick and Record) and ordinary values
// for the others.
struct Writer {
    std::vector<uint8_t> bytes;
    void Call(uint8_t op, std::initializer_list<int64_t> numbers) {
        const char* kinds = kOperations[op].kinds;
        bytes.push_back(op);
        for (int64_t v : numbers) {
            const int width = *kinds++ == 'r' ? 4 : 2;
            bytes.push_back(0xE0);
            for (int b = 0; b < width; ++b) bytes.push_back(static_cast<uint8_t>(v >> 8 * b));
        }
        for (; *kinds != 0; ++kinds)
            for (const char* b = Ordinary(*kinds); *b != 0; ++b) bytes.push_back(static_cast<uint8_t>(*b));
    }
    void Replay() {
        Program in{bytes.data(), bytes.size()};
        while (!in.Done()) Run(kOperations[in.Byte() % std::size(kOperations)], in, true);
    }
};

// Every valid number, the nearest invalid ones and the extremes.
std::vector<int> AllNumbers(int count) {
    std::vector<int> n{-32768, 32767};
    for (int i = -1; i <= count; ++i) n.push_back(i);
    return n;
}

void ProbeNet(int16_t net) {
    Writer w;
    for (int s : AllNumbers(kSlabsPerNet)) {
        const int n = static_cast<int>(NeuronsOf(net, static_cast<int16_t>(s)));
        for (uint8_t op : {8, 10, 19}) w.Call(op, {net, s});  // GetSlab, GetSlabInteger, GetCounts
        for (int u : {0, 1, n, n + 1, -1, 32767}) w.Call(14, {net, s, u}), w.Call(17, {net, s, u});
    }
    for (int l : AllNumbers(kLinksPerNet)) {
        for (uint8_t op : {24, 30}) w.Call(op, {net, l});  // GetLink, GetLinkChanges
        for (int source : {-1, 0, 1, 32767})
            for (int dest : {0, 1, 2, -32768}) w.Call(26, {net, l, source, dest}), w.Call(28, {net, l, source, dest});
    }
    for (int t : AllNumbers(kStoresPerNet))
        for (int64_t record : {0u, 1u, 0xFFFFFFFFu}) w.Call(35, {net, t, record});
    const uint64_t before = EngineFingerprint();
    w.Replay();
    Require(EngineFingerprint() == before, "a reading export changed the engine");
}

// The paradigm rows on the slabs in use and on 31 (the last a net fills);
// backpropagation trains from the last slab back, as a caller does.
void ExerciseNet(int16_t net) {
    Writer w;
    for (int s = 0; s < kSlabsPerNet; ++s) {
        if (NeuronsOf(net, static_cast<int16_t>(s)) == 0 && s != kSlabsPerNet - 1) continue;
        for (uint8_t op : {39, 42, 40, 41, 43, 44, 54, 55, 56, 57, 45, 46, 47}) w.Call(op, {net, s});
    }
    for (int s = kSlabsPerNet - 1; s >= 0; --s)
        if (NeuronsOf(net, static_cast<int16_t>(s)) > 0 || s == kSlabsPerNet - 1) w.Call(62, {net, s});
    w.Replay();
}

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
    const double v = fileValue;
    if (array.format == kFloat32) return std::isnan(v) ? std::isnan(std::bit_cast<float>(held)) : held == std::bit_cast<int32_t>(fileValue);
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
            if (net.variant == 2) Require(ElementMatches(*link.changes, i, F32(pair + 4)), "a change out of place");
            if (net.variant == 3) Require(GetElement(i, *link.changes) == 0.0, "a batch net's changes changed");
        }
    }
}

// The start of a file target: a fresh library in the math mode `fixed` says,
// the input written to `path`; answers how many files are open.
int StartFileInput(bool fixed, const std::string& path, const uint8_t* data, size_t size) {
    ResetLibrary();
    const uint16_t mode = fixed ? KORU32_MATH_FIXED : KORU32_MATH_FLOAT;
    Require(SetMath(&mode) == KORU32_OK, "SetMath refused a mode");
    WriteWholeFile(path, data, size);
    return OpenDescriptorCount();
}

// The end: the net answers every export and runs its paradigm's, and is
// released without a leak and with no file left open.
void FinishFileInput(int16_t net, int descriptors) {
    ProbeNet(net);
    ExerciseNet(net);
    KillAllNets();
    Require(OpenDescriptorCount() == descriptors, "a file is still open");
}

}  // namespace

void SetInputName(const std::string& name) { inputName = name; }

// RestoreNet on arbitrary bytes (see CheckedRestore); a restored net answers
// every export, saves and restores to the same file again, runs its
// paradigm's exports, and is released by KillNet.
void CheckNetworkFileInput(const uint8_t* data, size_t size) {
    static const std::string path = ScratchPath("restore.net"), again = ScratchPath("again.net"),
                             third = ScratchPath("third.net");
    const int descriptors = StartFileInput(size % 2 != 0, path, data, size);
    const int32_t lengths[] = {0, 6, -3};
    int32_t length = lengths[size % 3];
    std::vector<uint8_t> bytes(length > 0 ? length : 1, 0xA5);
    const int16_t slot = 5;
    CheckedRestore(slot, path.c_str(), length, bytes.data());
    if (BlockOf(slot) == nullptr) return;

    // What the net holds survives another save and restore unchanged.
    const int32_t none = 0;
    int32_t noBytes = 0;
    const int16_t copy = 6;
    Require(SaveNet(&slot, again.c_str(), &none, nullptr) == KORU32_OK, "a restored net cannot be saved");
    Require(RestoreNet(&copy, again.c_str(), &noBytes, nullptr) == KORU32_OK, "a saved restored net is refused");
    Require(SaveNet(&copy, third.c_str(), &none, nullptr) == KORU32_OK, "a twice restored net cannot be saved");
    Require(ReadWholeFile(again) == ReadWholeFile(third), "a save and restore changed the net");
    FinishFileInput(slot, descriptors);
}

// LoadShell on arbitrary bytes into an empty backpropagation net (plain,
// momentum, batch or adaptive; float32 or 8.24). A header that is short or
// names a layer without neurons or with more than a slab holds, or a file
// too short for its blocks, changes nothing; any other file is taken (short
// of memory) and puts each value, converted, where it belongs.
void CheckShellFileInput(const uint8_t* data, size_t size) {
    static const std::string path = ScratchPath("shell.shl");
    const int descriptors = StartFileInput((size / 4) % 2 != 0, path, data, size);
    const uint16_t types[] = {KORU32_NET_BP_PLAIN, KORU32_NET_BP_MOMENTUM, KORU32_NET_BP_BATCH, KORU32_NET_BP_ADAPTIVE};
    const int16_t net = 3;
    Require(MakeNet(&net, &types[size % 4]) == KORU32_OK, "MakeNet refused a free slot");
    const uint64_t before = EngineFingerprint();
    const int16_t code = LoadShell(&net, path.c_str());
    RequireCode("LoadShell", code, kLoadShellCodes);
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
    } else Require(code == KORU32_ERR_NO_MEMORY, "LoadShell refused a sound and complete file");
    FinishFileInput(net, descriptors);
}

void RunExportProgram(const uint8_t* data, size_t size) {
    ResetLibrary();
    Program program{data, size};
    for (size_t calls = 0; calls < kMostCalls && !program.Done(); ++calls)
        Run(kOperations[program.Byte() % std::size(kOperations)], program);
    KillAllNets();
}

}  // namespace koru_fuzz
