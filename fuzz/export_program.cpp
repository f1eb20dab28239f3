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
#include <algorithm>
#include <bit>
#include <cmath>
#include <iterator>
#include <string>
#include <utility>

#include "core/engine.h"
#include "fuzz/checks.h"
#include "fuzz/documented_codes.h"

namespace koru_fuzz {

using namespace koru;

namespace {

constexpr uint64_t kLargestArray = 1u << 16;
constexpr size_t kMostCalls = 400;

class Program {
public:
    Program(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Done() const { return pos_ >= size_; }
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint16_t Word() { return static_cast<uint16_t>(Byte() | Byte() << 8); }
    uint32_t Long() { return Word() | uint32_t(Word()) << 16; }

    // A number from `usual` most of the time, an edge value now and then.
    int16_t Pick(int usual, std::initializer_list<int16_t> edges) {
        const uint8_t b = Byte();
        if (b < 224) return static_cast<int16_t>(b % usual);
        if (b < 240) return static_cast<int16_t>(Word());
        return edges.begin()[b % edges.size()];
    }
    int16_t Net() { return Pick(4, {-1, 128, 127, -32768, 32767}); }
    int16_t Slab() { return Pick(6, {-1, 32, 31, -32768, 32767}); }
    int16_t Link() { return Pick(12, {-1, 32, 31, -32768, 32767}); }
    int16_t Store() { return Pick(3, {-1, 6, 5, -32768}); }
    int16_t Neurons() {
        const int16_t n = Pick(8, {0, -1, 32767, 300, 1000, -32768, 16});
        return n >= 0 && n < 8 ? static_cast<int16_t>(n + 1) : n;
    }
    int16_t Kind() { return Pick(3, {3, -1, 255}); }
    int16_t Neuron() { return Pick(6, {0, -1, 32767, -32768, 300}); }
    int16_t Pattern() { return Pick(5, {-1, 32767, -32768, 100}); }
    uint16_t NetType() { return static_cast<uint16_t>(Pick(12, {0, 12, -1, 255})); }
    uint32_t Record() {
        const uint8_t b = Byte();
        if (b < 224) return b % 4;
        if (b < 240) return Long();
        const uint32_t edges[] = {0xFFFFFFFFu, 0x80000000u, 65536u, 40000u};
        return edges[b % 4];
    }
    float Real() {
        static const float kTable[] = {0.0f,    1.0f,     -1.0f,     0.5f,   -0.5f,  0.25f,  2.0f,  10.0f,  100.0f,
                                       127.5f,  128.0f,   -129.0f,   1e10f,  -1e10f, 3.4e38f, INFINITY, -INFINITY,
                                       NAN,     1e-40f,   1e-30f,    0.001f, 32767.0f, 65536.0f, 0.1f, -0.0f, 0.75f};
        const uint8_t b = Byte();
        if (b < 0xE0) return kTable[b % std::size(kTable)];
        const uint32_t bits = Long();
        return bits == 0x7FC0DEADu ? 0.0f : std::bit_cast<float>(bits);  // never the output sentinel
    }
    // `n` values (at least one), repeating up to four drawn from the input.
    std::vector<float> Reals(uint32_t n) {
        const int k = 1 + Byte() % 4;
        float v[4];
        for (int i = 0; i < k; ++i) v[i] = Real();
        std::vector<float> out(n == 0 ? 1 : n);
        for (size_t i = 0; i < out.size(); ++i) out[i] = v[i % k];
        return out;
    }
    std::vector<int16_t> Integers(uint32_t n) {
        const int16_t a = static_cast<int16_t>(Word()), b = static_cast<int16_t>(Word());
        std::vector<int16_t> out(n == 0 ? 1 : n);
        for (size_t i = 0; i < out.size(); ++i) out[i] = i % 2 ? a : b;
        return out;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// The operations, one row per operation byte (taken modulo 64): the export
// called, its codes, the kinds of its arguments in order (see Draw), and the
// step that draws them, calls it and checks it. The row numbers are the
// corpus's format: a row is only ever added.
struct Runner;
struct Operation {
    const char* name;
    void (*step)(Runner&, Program&);
    const codes::List* allowed = nullptr;
    const char* kinds = "";
    bool reads = false;
    size_t arity = 0;
};

struct Runner {
    const Operation* op = nullptr;
    uint64_t before = 0;
    std::string netFile = ScratchPath("program.net"), shellFile = ScratchPath("program.shl");

    // Makes the call: a documented code and a consistent engine after it.
    template <class F>
    int16_t Try(codes::List allowed, F call) {
        before = EngineFingerprint();
        const int16_t code = call();
        RequireCode(op->name, code, allowed);
        CheckEngineConsistent();
        return code;
    }
    void Unchanged(const char* what = "refused, yet changed the engine") {
        Require(EngineFingerprint() == before, what, op->name);
    }
    // As Try, and a refused call changed nothing.
    template <class F>
    int16_t Call(F call) {
        const int16_t code = Try(*op->allowed, call);
        if (code != KORU32_OK) Unchanged();
        return code;
    }
};

using R = Runner;
using P = Program;

// The drawn arguments of a call and what array sizes follow from: the last
// net, slab, link and store drawn.
struct Frame {
    int16_t i[8] = {};
    uint16_t u[8] = {};
    uint32_t record[8] = {};
    float f[8] = {};
    std::vector<float> v[8];
    std::vector<int16_t> w[8];
    int16_t net = 0, slab = 0, link = 0, store = 0;
    std::vector<float>* out = nullptr;  // the output buffer, if any
    bool full = false;                  // whether success writes all of it
    std::vector<int16_t>* integersOut = nullptr;
};

void* Output(Frame& f, int k, uint32_t n, bool full) {
    f.v[k] = OutputBuffer(n);
    f.out = &f.v[k];
    f.full = full;
    return f.v[k].data();
}

// Argument `k` of kind `kind`, drawn from the input; the pointer handed over.
void* Draw(char kind, int k, P& in, Frame& f) {
    switch (kind) {
        case 'n': return &(f.i[k] = f.net = in.Net());
        case 's': return &(f.i[k] = f.slab = in.Slab());
        case 'l': return &(f.i[k] = f.link = in.Link());
        case 't': return &(f.i[k] = f.store = in.Store());
        case 'u': return &(f.i[k] = in.Neuron());
        case 'p': return &(f.i[k] = in.Pattern());
        case 'c': return &(f.i[k] = in.Pick(8, {8, -1, 127, -128, 255}));  // transfer code
        case 'a': return &(f.i[k] = in.Pick(3, {3, -1, 255, -32768}));    // link status
        case 'd': return &(f.i[k] = in.Pick(4, {-1, 32767, -32768, 100}));  // LVQ radius
        case 'W': return &(f.u[k] = static_cast<uint16_t>(in.Pick(5, {-1, 0, 32767, -32768, 1000})));
        case 'A': return &(f.u[k] = static_cast<uint16_t>(in.Pick(2, {2, -1, 255})));  // apply flag
        case 'r': return &(f.record[k] = in.Record());
        case 'f': return &(f.f[k] = in.Real());
        case 'V': return (f.v[k] = in.Reals(NeuronsOf(f.net, f.slab))).data();
        case 'C': f.v[k] = in.Reals(NeuronsOf(f.net, f.slab) + 1), f.v[k][0] = in.Real(); return f.v[k].data();
        case 'L': return (f.v[k] = in.Reals(WeightsOf(f.net, f.link))).data();
        case 'H': return (f.v[k] = in.Reals(ChangesOf(f.net, f.link))).data();
        case 'D': return (f.v[k] = in.Reals(StoreWidthOf(f.net, f.store))).data();
        case 'I': return (f.w[k] = in.Integers(NeuronsOf(f.net, f.slab))).data();
        case 'J': f.w[k].assign(std::max(NeuronsOf(f.net, f.slab), 1u), 0x5A5A), f.integersOut = &f.w[k];
            return f.w[k].data();
        case 'O': return Output(f, k, NeuronsOf(f.net, f.slab), true);
        case 'Q': return Output(f, k, NeuronsOf(f.net, f.slab) + 1, true);
        case 'G': return Output(f, k, WeightsOf(f.net, f.link), true);
        case 'K': return Output(f, k, ChangesOf(f.net, f.link), true);
        case 'E': return Output(f, k, StoreWidthOf(f.net, f.store), true);
        case '1': return Output(f, k, 1, false);
        case '+': return Output(f, k, 1, true);
    }
    return nullptr;
}

template <class... A>
constexpr size_t ArityOf(int16_t (*)(A...)) { return sizeof...(A); }

template <class... A, size_t... I>
int16_t Invoke(int16_t (*f)(A...), void* const* p, std::index_sequence<I...>) {
    return f(static_cast<A>(p[I])...);
}

// The common step: draw the arguments in order, call, and check that a
// refusal wrote no output; a read also changed nothing, and wrote its whole
// output on success.
template <auto F>
void Generic(R& r, P& in) {
    Frame f;
    void* p[8];
    for (size_t k = 0; k < r.op->arity; ++k) p[k] = Draw(r.op->kinds[k], static_cast<int>(k), in, f);
    constexpr auto kArgs = std::make_index_sequence<ArityOf(F)>{};
    const int16_t code = r.Call([&] { return Invoke(F, p, kArgs); });
    if (f.out != nullptr) RequireQuiet(r.op->name, code, *f.out, f.full);
    if (f.integersOut != nullptr && code != KORU32_OK)
        Require((*f.integersOut)[0] == 0x5A5A, "wrote its output on a refusal", r.op->name);
    if (r.op->reads) r.Unchanged("changed the engine while reading");
}

#define KORU_ROW(fn, list, kinds, reads) {#fn, Generic<fn>, &codes::list, kinds, reads, ArityOf(fn)}
#define KORU_STEP(name, list, ...) {name, __VA_ARGS__, &codes::list}

// Weights and changes drawn from a range the call accepted are finite.
void RequireFiniteLink(const char* name, int16_t net, int16_t link) {
    const LinkRecord& record = netTable[net].block->links[link];
    for (const ValueArray* array : {record.weights, record.changes}) {
        for (uint32_t i = 0; array != nullptr && i < array->count; ++i) {
            Require(std::isfinite(GetElement(i, *array)), "drew a weight that is not finite", name);
        }
    }
}

uint64_t FingerprintSansRange() {
    const double range = state.weightRange;
    state.weightRange = 0.0;
    const uint64_t h = EngineFingerprint();
    state.weightRange = range;
    return h;
}

// What a refused call may have done beyond nothing is judged in its step:
// GrnnPropagate's 38 leaves outputs of 0; LoadShell out of memory keeps what
// it made; a refused RestoreNet may have set the weight range through the
// MakeLink calls it rebuilds with, or kept a complete net when only the
// caller's bytes were missing.
void RestoreStep(R& r, P& in) {
    const int16_t net = in.Net();
    int32_t length = static_cast<int32_t>(in.Byte() % 8) - 2;
    std::vector<uint8_t> bytes(length > 0 ? length : 1, 0xC3);
    const bool nullBytes = in.Byte() % 4 == 0;
    const bool wasFree = IsValidNetNumber(net) && netTable[net].paradigm == 0;
    const uint64_t beforeSansRange = FingerprintSansRange();
    const int descriptors = OpenDescriptorCount();
    const int16_t code = r.Try(codes::RestoreNet, [&] {
        return RestoreNet(&net, r.netFile.c_str(), &length, nullBytes ? nullptr : bytes.data());
    });
    Require(OpenDescriptorCount() == descriptors, "left the file open", r.op->name);
    if (code == KORU32_OK) return;
    if (wasFree && IsValidNetNumber(net) && netTable[net].paradigm != 0) {
        Require(code == KORU32_ERR_RESTORE_FILE && length > 0 && !nullBytes, "a refused restore kept an incomplete net");
    } else {
        Require(FingerprintSansRange() == beforeSansRange, "a refused restore changed the engine");
    }
}

// A shell file: three small layer sizes (or any, now and then) and as many
// body bytes as the input offers, up to complete.
void ShellFileStep(R& r, P& in) {
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
    WriteWholeFile(r.shellFile, file.data(), file.size());
}

// A whole net in one step: three slabs, two links, transfer codes, so that
// programs reach the paradigm routines soon.
void WholeNetStep(R&, P& in) {
    const int16_t net = in.Net();
    const uint16_t type = in.NetType();
    if (MakeNet(&net, &type) != KORU32_OK) return;
    for (int16_t s = 0; s < 3; ++s) {
        const int16_t neurons = static_cast<int16_t>(1 + in.Byte() % 6), kind = s;
        RequireCode("MakeSlab", MakeSlab(&net, &s, &neurons, &kind), codes::MakeSlab);
        const int16_t transfer = in.Byte() % 8;
        RequireCode("Transfer", Transfer(&net, &s, &transfer), codes::Transfer);
    }
    const float range = in.Real();
    for (int16_t l = 0; l < 2; ++l) {
        const int16_t source = l, dest = static_cast<int16_t>(l + 1);
        RequireCode("MakeLink", MakeLink(&net, &l, &range, &source, &dest), codes::MakeLink);
    }
    CheckEngineConsistent();
}

constexpr Operation kOperations[] = {
    KORU_STEP("MakeNet", MakeNet, [](R& r, P& in) {  // 0
        const int16_t net = in.Net();
        const uint16_t type = in.NetType();
        if (r.Call([&] { return MakeNet(&net, &type); }) == KORU32_OK)
            Require(netTable[net].netType == type, "recorded another type", r.op->name);
    }),
    KORU_STEP("KillNet", KillNet, [](R& r, P& in) {
        const int16_t net = in.Net();
        if (r.Call([&] { return KillNet(&net); }) == KORU32_OK)
            Require(netTable[net].paradigm == 0, "left the slot in use", r.op->name);
    }),
    KORU_STEP("GetNextNet", GetNextNet, [](R& r, P&) {
        uint16_t next = 0xBEEF;
        if (r.Call([&] { return GetNextNet(&next); }) == KORU32_OK)
            Require(next < kNetCount && netTable[next].paradigm == 0, "named a used slot", r.op->name);
    }),
    KORU_STEP("SetMath", SetMath, [](R& r, P& in) {
        const uint8_t b = in.Byte();
        const uint16_t mode = b < 240 ? b % 2 : in.Word();
        r.Call([&] { return SetMath(&mode); });
    }),
    KORU_STEP("SetCPU, SetSeed, WEP", SetCPU, [](R& r, P& in) {
        const int16_t any = static_cast<int16_t>(in.Word());
        r.Call([&] { return SetCPU(&any); });
        RequireCode("SetSeed", SetSeed(&any), codes::SetSeed);
        Require(WEP(any) == 1, "WEP answered other than 1");
    }),
    KORU_STEP("MakeSlab", MakeSlab, [](R& r, P& in) {  // 5
        const int16_t net = in.Net(), slab = in.Slab(), neurons = in.Neurons(), kind = in.Kind();
        if (r.Call([&] { return MakeSlab(&net, &slab, &neurons, &kind); }) == KORU32_OK)
            Require(NeuronsOf(net, slab) == uint32_t(neurons), "made another size", r.op->name);
    }),
    KORU_ROW(KillSlab, KillSlab, "ns", false),
    KORU_ROW(PutSlab, SlabValues, "nsV", false),
    KORU_ROW(GetSlab, SlabValues, "nsO", true),
    KORU_ROW(PutSlabInteger, SlabValues, "nsI", false),
    KORU_ROW(GetSlabInteger, SlabValues, "nsJ", true),  // 10
    KORU_ROW(SetSlab, SlabValues, "nsf", false),
    KORU_ROW(CopySlab, CopySlab, "nsns", false),
    KORU_ROW(SlideSlab, SlabValues, "nsf", false),
    KORU_ROW(GetNeuron, Neuron, "nsu1", true),
    KORU_ROW(PutNeuron, Neuron, "nsuf", false),  // 15
    KORU_ROW(Transfer, Transfer, "nsc", false),
    KORU_ROW(GetDelta, Delta, "nsu1", true),
    KORU_ROW(PutDelta, Delta, "nsuf", false),
    KORU_ROW(GetCounts, Counts, "nsQ", true),
    KORU_ROW(PutCounts, Counts, "nsC", false),  // 20
    KORU_STEP("MakeLink", MakeLink, [](R& r, P& in) {
        const int16_t net = in.Net(), link = in.Link();
        const float range = in.Real();
        const int16_t source = in.Slab(), dest = in.Slab();
        if ((uint64_t{NeuronsOf(net, source)} + 1) * NeuronsOf(net, dest) > kLargestArray) return;
        if (r.Call([&] { return MakeLink(&net, &link, &range, &source, &dest); }) == KORU32_OK)
            RequireFiniteLink(r.op->name, net, link);
    }),
    KORU_STEP("InitLink", InitLink, [](R& r, P& in) {
        const int16_t net = in.Net(), link = in.Link();
        const float range = in.Real();
        if (r.Call([&] { return InitLink(&net, &link, &range); }) == KORU32_OK) RequireFiniteLink(r.op->name, net, link);
    }),
    KORU_ROW(KillLink, LinkWhole, "nl", false),
    KORU_ROW(GetLink, LinkWhole, "nlG", true),
    KORU_ROW(PutLink, LinkWhole, "nlL", false),  // 25
    KORU_ROW(GetWeight, Weight, "nluu1", true),
    KORU_ROW(PutWeight, Weight, "nluuf", false),
    KORU_ROW(GetChange, Change, "nluu1", true),
    KORU_ROW(PutChange, Change, "nluuf", false),
    KORU_ROW(GetLinkChanges, LinkChanges, "nlK", true),  // 30
    KORU_ROW(PutLinkChanges, LinkChanges, "nlH", false),
    KORU_ROW(SetStatus, SetStatus, "nla", false),
    KORU_STEP("MakeStore", MakeStore, [](R& r, P& in) {
        const int16_t net = in.Net(), store = in.Store(), width = in.Pick(8, {0, -1, 32767, -32768, 1000});
        const uint32_t records = in.Record();
        const uint64_t elements = uint64_t{records} * static_cast<uint16_t>(width);
        if (elements > kLargestArray && elements <= 0xFFFFFFFFu) return;
        r.Call([&] { return MakeStore(&net, &store, &width, &records); });
    }),
    KORU_ROW(KillStore, KillStore, "nt", false),
    KORU_ROW(GetStore, StoreRecord, "ntrE", true),  // 35
    KORU_ROW(PutStore, StoreRecord, "ntrD", false),
    KORU_ROW(CopyToStore, StoreSlab, "ntrns", false),
    KORU_ROW(CopyFromStore, StoreSlab, "ntrns", false),
    KORU_ROW(PnnPropagate, PatternPropagate, "nsf", false),
    KORU_ROW(PnnEvaluate, PatternEvaluate, "nsVp", false),  // 40
    KORU_ROW(PnnTrain, PatternTrain, "nsp", false),
    KORU_STEP("GrnnPropagate", GrnnPropagate, [](R& r, P& in) {
        const int16_t net = in.Net(), slab = in.Slab();
        const float smoothing = in.Real();
        const int16_t code = r.Try(codes::GrnnPropagate, [&] { return GrnnPropagate(&net, &slab, &smoothing); });
        if (code != KORU32_OK && code != KORU32_ERR_ZERO_DENOMINATOR) r.Unchanged();
    }),
    KORU_ROW(GrnnEvaluate, PatternEvaluate, "nsVp", false),
    KORU_ROW(GrnnTrain, PatternTrain, "nsp", false),
    KORU_ROW(LvqPropagate, LvqPropagate, "ns", false),  // 45
    KORU_STEP("LvqEvaluate", LvqEvaluate, [](R& r, P& in) {
        const int16_t net = in.Net(), slab = in.Slab();
        const uint16_t flag = in.Byte() % 3;
        uint16_t winner = 0xBEEF;
        const bool ok = r.Call([&] { return LvqEvaluate(&net, &slab, &winner, &flag); }) == KORU32_OK;
        Require(ok ? winner >= 1 && winner <= NeuronsOf(net, slab) : winner == 0xBEEF, "a wrong winner", r.op->name);
    }),
    KORU_ROW(LvqTrain, LvqTrain, "nsfdW", false),
    KORU_STEP("SaveNet", SaveNet, [](R& r, P& in) {
        const int16_t net = in.Net();
        const int32_t length = static_cast<int32_t>(in.Byte() % 8) - 2;
        std::vector<uint8_t> bytes(length > 0 ? length : 1, 0x3C);
        const bool nullBytes = in.Byte() % 4 == 0;
        const int descriptors = OpenDescriptorCount();
        r.Call([&] { return SaveNet(&net, r.netFile.c_str(), &length, nullBytes ? nullptr : bytes.data()); });
        r.Unchanged("changed the engine");
        Require(OpenDescriptorCount() == descriptors, "left the file open", r.op->name);
    }),
    KORU_STEP("RestoreNet", RestoreNet, RestoreStep),
    {"(writes the shell file LoadShell reads)", ShellFileStep},  // 50
    KORU_STEP("LoadShell", LoadShell, [](R& r, P& in) {
        const int16_t net = in.Net();
        const int descriptors = OpenDescriptorCount();
        const int16_t code = r.Try(codes::LoadShell, [&] { return LoadShell(&net, r.shellFile.c_str()); });
        Require(OpenDescriptorCount() == descriptors, "left the file open", r.op->name);
        // The program's files never fail a read: only running out of memory
        // may leave slabs and links behind.
        if (code != KORU32_OK && code != KORU32_ERR_NO_MEMORY) r.Unchanged();
    }),
    {"MakeNet, MakeSlab, Transfer, MakeLink", WholeNetStep},
    {"(reads a whole net back)", [](R&, P& in) {
        const int16_t net = in.Net();
        if (IsValidNetNumber(net) && netTable[net].paradigm != 0) ProbeNet(net);
    }},
    KORU_ROW(BpPropagate, BpPropagate, "ns", false),
    KORU_ROW(BpEvaluate, BpEvaluate, "nsV1", false),  // 55
    KORU_ROW(BpEvaluateSum, BpEvaluate, "nsV", false),
    KORU_ROW(BpGetSum, BpEvaluate, "ns+", false),
    KORU_ROW(BpEvaluateInteger, BpEvaluate, "nsI1", false),
    KORU_ROW(BpEvaluateStore, BpEvaluateStore, "nsntr1", false),
    KORU_ROW(BpEvaluateSumStore, BpEvaluateStore, "nsntr", false),  // 60
    KORU_ROW(AddSlab, AddSlab, "nssf", false),
    KORU_ROW(BpTrain, BpTrain, "nsffA", false),
    {"_matherr", [](R& r, P& in) {
        koru32_math_exception record{};
        record.retval = in.Real();
        r.before = EngineFingerprint();
        Require(_matherr(&record) == 1 && record.retval == 0.0, "did not set 0.0 and answer 1", r.op->name);
        r.Unchanged("changed the engine");
    }},
};
static_assert(std::size(kOperations) == 64, "an operation byte names one of 64 rows");
static_assert([] {
    for (const Operation& o : kOperations) {
        if (std::char_traits<char>::length(o.kinds) != o.arity) return false;
    }
    return true;
}(), "a row draws as many arguments as its export takes");

}  // namespace

void RunExportProgram(const uint8_t* data, size_t size) {
    ResetLibrary();
    Program program(data, size);
    Runner runner;
    for (size_t calls = 0; calls < kMostCalls && !program.Done(); ++calls) {
        runner.op = &kOperations[program.Byte() % std::size(kOperations)];
        runner.op->step(runner, program);
    }
    KillAllNets();
}

}  // namespace koru_fuzz
