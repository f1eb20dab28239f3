// The export-level target: the input is read as a program, one export call
// after another, each an operation byte followed by the bytes its arguments
// are drawn from. Numbers are mostly small and valid (nets 0..3, slabs 0..5,
// links 0..11 so that a slab can be offered more than eight, neurons 1..8)
// so that programs build real topologies, and now
// and then the edges and beyond (-1, 32, 128, 32767, -32768, NaN, infinities,
// huge record counts).
//
// Every array argument is a heap buffer of exactly the size the export
// states for the object named (one element when there is no such object),
// so AddressSanitizer sees any read or write beyond it.
//
// After every call: a documented code; a consistent engine; a refused call
// changed nothing observable and wrote no output; a read changed nothing;
// file calls left no file open. The program ends by killing every net.
//
// Sizes: a link of more than kLargestArray weights, or a store of more
// records x width than that (but still addressable), is not made: such a
// call is a legitimate request for gigabytes, not a fault, and the fuzzer's
// memory limit would take it for one.
#include <bit>
#include <cmath>
#include <cstring>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "core/engine.h"
#include "fuzz/documented_codes.h"
#include "fuzz/engine_invariants.h"
#include "fuzz/net_probe.h"
#include "fuzz/targets.h"

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
        static const float kTable[] = {0.0f,     1.0f,     -1.0f,     0.5f,   -0.5f,   0.25f,  2.0f,
                                       10.0f,    100.0f,   127.5f,    128.0f, -129.0f, 1e10f,  -1e10f,
                                       3.4e38f,  INFINITY, -INFINITY, NAN,    1e-40f,  1e-30f, 0.001f,
                                       32767.0f, 65536.0f, 0.1f,      -0.0f,  0.75f};
        const uint8_t b = Byte();
        if (b < 0xE0) return kTable[b % (sizeof kTable / sizeof kTable[0])];
        const uint32_t bits = Long();
        return bits == 0x7FC0DEADu ? 0.0f : std::bit_cast<float>(bits);
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

// What a call may have done to the engine when it was refused: nothing, as
// a rule. The documented exceptions are judged where the call is made:
// GrnnPropagate's 38 leaves outputs of 0; LoadShell out of memory keeps what
// it made; a refused RestoreNet may have set the weight range through the
// MakeLink calls it rebuilds with, or kept a complete net when only the
// caller's bytes were missing.
enum class Refusal { kChangesNothing, kJudgedByCaller };

struct Runner {
    Program& in;
    uint64_t before = 0;
    int descriptors = -1;
    std::string netFile = ScratchPath("program.net");
    std::string shellFile = ScratchPath("program.shl");

    void Start() { before = EngineFingerprint(); }

    void Finish(const char* name, int16_t code, codes::List allowed,
                Refusal refusal = Refusal::kChangesNothing) {
        RequireCode(name, code, allowed);
        CheckEngineConsistent();
        if (code != KORU32_OK && refusal == Refusal::kChangesNothing) {
            Require(EngineFingerprint() == before, "refused, yet changed the engine", name);
        }
    }
    void Quiet(const char* name, int16_t code, const std::vector<float>& out) {
        if (code != KORU32_OK) Require(Untouched(out), "wrote its output on a refusal", name);
    }
    void Full(const char* name, int16_t code, const std::vector<float>& out) {
        if (code == KORU32_OK) Require(AllWritten(out), "left part of its output unwritten", name);
    }
    void Reading(const char* name, int16_t code, codes::List allowed, const std::vector<float>& out) {
        Finish(name, code, allowed);
        Quiet(name, code, out);
        Require(EngineFingerprint() == before, "changed the engine while reading", name);
    }

    uint32_t SlabSize(int16_t net, int16_t slab) { return NeuronsOf(net, slab); }

    // Weights and changes freshly drawn or set up from a range the call
    // accepted are finite: a non-finite range is refused.
    static void RequireFiniteLink(int16_t net, int16_t link, const char* name) {
        const LinkRecord& record = netTable[net].block->links[link];
        for (const ValueArray* array : {record.weights, record.changes}) {
            if (array == nullptr) continue;
            for (uint32_t i = 0; i < array->count; ++i) {
                Require(std::isfinite(GetElement(i, *array)), "drew a weight that is not finite", name);
            }
        }
    }

    void CallMakeNet() {
        const int16_t net = in.Net();
        const uint16_t type = in.NetType();
        Start();
        const int16_t code = MakeNet(&net, &type);
        Finish("MakeNet", code, codes::MakeNet);
        if (code == KORU32_OK) Require(netTable[net].netType == type, "MakeNet recorded another type");
    }

    void CallKillNet() {
        const int16_t net = in.Net();
        Start();
        const int16_t code = KillNet(&net);
        Finish("KillNet", code, codes::KillNet);
        if (code == KORU32_OK) Require(netTable[net].paradigm == 0, "KillNet left the slot in use");
    }

    void CallGetNextNet() {
        uint16_t next = 0xBEEF;
        Start();
        const int16_t code = GetNextNet(&next);
        Finish("GetNextNet", code, codes::GetNextNet);
        if (code == KORU32_OK)
            Require(next < kNetCount && netTable[next].paradigm == 0, "GetNextNet named a used slot");
    }

    void CallSetMath() {
        const uint8_t b = in.Byte();
        const uint16_t mode = b < 240 ? b % 2 : in.Word();
        Start();
        Finish("SetMath", SetMath(&mode), codes::SetMath);
    }

    void CallProcessSettings() {
        const int16_t any = static_cast<int16_t>(in.Word());
        Start();
        Finish("SetCPU", SetCPU(&any), codes::SetCPU);
        Finish("SetSeed", SetSeed(&any), codes::SetSeed);
        Require(WEP(any) == 1, "WEP answered other than 1");
    }

    void CallMakeSlab() {
        const int16_t net = in.Net(), slab = in.Slab(), neurons = in.Neurons(), kind = in.Kind();
        Start();
        const int16_t code = MakeSlab(&net, &slab, &neurons, &kind);
        Finish("MakeSlab", code, codes::MakeSlab);
        if (code == KORU32_OK)
            Require(SlabSize(net, slab) == uint32_t(neurons), "MakeSlab made another size");
    }

    void CallKillSlab() {
        const int16_t net = in.Net(), slab = in.Slab();
        Start();
        Finish("KillSlab", KillSlab(&net, &slab), codes::KillSlab);
    }

    void CallPutSlab() {
        const int16_t net = in.Net(), slab = in.Slab();
        auto values = in.Reals(SlabSize(net, slab));
        Start();
        Finish("PutSlab", PutSlab(&net, &slab, values.data()), codes::SlabValues);
    }

    void CallGetSlab() {
        const int16_t net = in.Net(), slab = in.Slab();
        auto out = OutputBuffer(SlabSize(net, slab));
        Start();
        const int16_t code = GetSlab(&net, &slab, out.data());
        Reading("GetSlab", code, codes::SlabValues, out);
        Full("GetSlab", code, out);
    }

    void CallPutSlabInteger() {
        const int16_t net = in.Net(), slab = in.Slab();
        auto values = in.Integers(SlabSize(net, slab));
        Start();
        Finish("PutSlabInteger", PutSlabInteger(&net, &slab, values.data()), codes::SlabValues);
    }

    void CallGetSlabInteger() {
        const int16_t net = in.Net(), slab = in.Slab();
        const uint32_t n = SlabSize(net, slab);
        std::vector<int16_t> out(n == 0 ? 1 : n, int16_t{0x5A5A});
        Start();
        const int16_t code = GetSlabInteger(&net, &slab, out.data());
        Finish("GetSlabInteger", code, codes::SlabValues);
        Require(EngineFingerprint() == before, "GetSlabInteger changed the engine");
        if (code != KORU32_OK) Require(out[0] == 0x5A5A, "GetSlabInteger wrote on a refusal");
    }

    void CallSetSlab() {
        const int16_t net = in.Net(), slab = in.Slab();
        const float value = in.Real();
        Start();
        Finish("SetSlab", SetSlab(&net, &slab, &value), codes::SlabValues);
    }

    void CallCopySlab() {
        const int16_t sn = in.Net(), ss = in.Slab(), dn = in.Net(), ds = in.Slab();
        Start();
        Finish("CopySlab", CopySlab(&sn, &ss, &dn, &ds), codes::CopySlab);
    }

    void CallSlideSlab() {
        const int16_t net = in.Net(), slab = in.Slab();
        const float value = in.Real();
        Start();
        Finish("SlideSlab", SlideSlab(&net, &slab, &value), codes::SlabValues);
    }

    void CallGetNeuron() {
        const int16_t net = in.Net(), slab = in.Slab(), neuron = in.Neuron();
        auto out = OutputBuffer(1);
        Start();
        const int16_t code = GetNeuron(&net, &slab, &neuron, out.data());
        Reading("GetNeuron", code, codes::Neuron, out);
    }

    void CallPutNeuron() {
        const int16_t net = in.Net(), slab = in.Slab(), neuron = in.Neuron();
        const float value = in.Real();
        Start();
        Finish("PutNeuron", PutNeuron(&net, &slab, &neuron, &value), codes::Neuron);
    }

    void CallTransfer() {
        const int16_t net = in.Net(), slab = in.Slab(), code = in.Pick(8, {8, -1, 127, -128, 255});
        Start();
        Finish("Transfer", Transfer(&net, &slab, &code), codes::Transfer);
    }

    void CallGetDelta() {
        const int16_t net = in.Net(), slab = in.Slab(), neuron = in.Neuron();
        auto out = OutputBuffer(1);
        Start();
        const int16_t code = GetDelta(&net, &slab, &neuron, out.data());
        Reading("GetDelta", code, codes::Delta, out);
    }

    void CallPutDelta() {
        const int16_t net = in.Net(), slab = in.Slab(), neuron = in.Neuron();
        const float value = in.Real();
        Start();
        Finish("PutDelta", PutDelta(&net, &slab, &neuron, &value), codes::Delta);
    }

    void CallGetCounts() {
        const int16_t net = in.Net(), slab = in.Slab();
        auto out = OutputBuffer(SlabSize(net, slab) + 1);
        Start();
        const int16_t code = GetCounts(&net, &slab, out.data());
        Reading("GetCounts", code, codes::Counts, out);
        Full("GetCounts", code, out);
    }

    void CallPutCounts() {
        const int16_t net = in.Net(), slab = in.Slab();
        auto counts = in.Reals(SlabSize(net, slab) + 1);
        counts[0] = in.Real();
        Start();
        Finish("PutCounts", PutCounts(&net, &slab, counts.data()), codes::Counts);
    }

    void CallMakeLink() {
        const int16_t net = in.Net(), link = in.Link();
        const float range = in.Real();
        const int16_t source = in.Slab(), dest = in.Slab();
        const uint64_t weights = (uint64_t{SlabSize(net, source)} + 1) * SlabSize(net, dest);
        if (weights > kLargestArray) return;
        Start();
        const int16_t code = MakeLink(&net, &link, &range, &source, &dest);
        Finish("MakeLink", code, codes::MakeLink);
        if (code == KORU32_OK) RequireFiniteLink(net, link, "MakeLink");
    }

    void CallInitLink() {
        const int16_t net = in.Net(), link = in.Link();
        const float range = in.Real();
        Start();
        const int16_t code = InitLink(&net, &link, &range);
        Finish("InitLink", code, codes::InitLink);
        if (code == KORU32_OK) RequireFiniteLink(net, link, "InitLink");
    }

    void CallKillLink() {
        const int16_t net = in.Net(), link = in.Link();
        Start();
        Finish("KillLink", KillLink(&net, &link), codes::LinkWhole);
    }

    void CallGetLink() {
        const int16_t net = in.Net(), link = in.Link();
        auto out = OutputBuffer(WeightsOf(net, link));
        Start();
        const int16_t code = GetLink(&net, &link, out.data());
        Reading("GetLink", code, codes::LinkWhole, out);
        Full("GetLink", code, out);
    }

    void CallPutLink() {
        const int16_t net = in.Net(), link = in.Link();
        auto weights = in.Reals(WeightsOf(net, link));
        Start();
        Finish("PutLink", PutLink(&net, &link, weights.data()), codes::LinkWhole);
    }

    void CallGetWeight() {
        const int16_t net = in.Net(), link = in.Link(), source = in.Neuron(), dest = in.Neuron();
        auto out = OutputBuffer(1);
        Start();
        const int16_t code = GetWeight(&net, &link, &source, &dest, out.data());
        Reading("GetWeight", code, codes::Weight, out);
    }

    void CallPutWeight() {
        const int16_t net = in.Net(), link = in.Link(), source = in.Neuron(), dest = in.Neuron();
        const float value = in.Real();
        Start();
        Finish("PutWeight", PutWeight(&net, &link, &source, &dest, &value), codes::Weight);
    }

    void CallGetChange() {
        const int16_t net = in.Net(), link = in.Link(), source = in.Neuron(), dest = in.Neuron();
        auto out = OutputBuffer(1);
        Start();
        const int16_t code = GetChange(&net, &link, &source, &dest, out.data());
        Reading("GetChange", code, codes::Change, out);
    }

    void CallPutChange() {
        const int16_t net = in.Net(), link = in.Link(), source = in.Neuron(), dest = in.Neuron();
        const float value = in.Real();
        Start();
        Finish("PutChange", PutChange(&net, &link, &source, &dest, &value), codes::Change);
    }

    void CallGetLinkChanges() {
        const int16_t net = in.Net(), link = in.Link();
        auto out = OutputBuffer(ChangesOf(net, link));
        Start();
        const int16_t code = GetLinkChanges(&net, &link, out.data());
        Reading("GetLinkChanges", code, codes::LinkChanges, out);
        Full("GetLinkChanges", code, out);
    }

    void CallPutLinkChanges() {
        const int16_t net = in.Net(), link = in.Link();
        auto changes = in.Reals(ChangesOf(net, link));
        Start();
        Finish("PutLinkChanges", PutLinkChanges(&net, &link, changes.data()), codes::LinkChanges);
    }

    void CallSetStatus() {
        const int16_t net = in.Net(), link = in.Link(), status = in.Pick(3, {3, -1, 255, -32768});
        Start();
        Finish("SetStatus", SetStatus(&net, &link, &status), codes::SetStatus);
    }

    void CallMakeStore() {
        const int16_t net = in.Net(), store = in.Store();
        const int16_t width = in.Pick(8, {0, -1, 32767, -32768, 1000});
        const uint32_t records = in.Record();
        const uint64_t elements = uint64_t{records} * static_cast<uint16_t>(width);
        if (elements > kLargestArray && elements <= 0xFFFFFFFFu) return;
        Start();
        Finish("MakeStore", MakeStore(&net, &store, &width, &records), codes::MakeStore);
    }

    void CallKillStore() {
        const int16_t net = in.Net(), store = in.Store();
        Start();
        Finish("KillStore", KillStore(&net, &store), codes::KillStore);
    }

    void CallGetStore() {
        const int16_t net = in.Net(), store = in.Store();
        const uint32_t record = in.Record();
        auto out = OutputBuffer(StoreWidthOf(net, store));
        Start();
        const int16_t code = GetStore(&net, &store, &record, out.data());
        Reading("GetStore", code, codes::StoreRecord, out);
        Full("GetStore", code, out);
    }

    void CallPutStore() {
        const int16_t net = in.Net(), store = in.Store();
        const uint32_t record = in.Record();
        auto values = in.Reals(StoreWidthOf(net, store));
        Start();
        Finish("PutStore", PutStore(&net, &store, &record, values.data()), codes::StoreRecord);
    }

    void CallCopyToStore() {
        const int16_t storeNet = in.Net(), store = in.Store();
        const uint32_t record = in.Record();
        const int16_t slabNet = in.Net(), slab = in.Slab();
        Start();
        Finish("CopyToStore", CopyToStore(&storeNet, &store, &record, &slabNet, &slab), codes::StoreSlab);
    }

    void CallCopyFromStore() {
        const int16_t storeNet = in.Net(), store = in.Store();
        const uint32_t record = in.Record();
        const int16_t slabNet = in.Net(), slab = in.Slab();
        Start();
        Finish("CopyFromStore", CopyFromStore(&storeNet, &store, &record, &slabNet, &slab), codes::StoreSlab);
    }

    void CallPnnPropagate() {
        const int16_t net = in.Net(), slab = in.Slab();
        const float smoothing = in.Real();
        Start();
        Finish("PnnPropagate", PnnPropagate(&net, &slab, &smoothing), codes::PatternPropagate);
    }

    void CallPnnEvaluate() {
        const int16_t net = in.Net(), slab = in.Slab();
        auto targets = in.Reals(SlabSize(net, slab));
        const int16_t pattern = in.Pattern();
        Start();
        Finish("PnnEvaluate", PnnEvaluate(&net, &slab, targets.data(), &pattern), codes::PatternEvaluate);
    }

    void CallPnnTrain() {
        const int16_t net = in.Net(), slab = in.Slab(), pattern = in.Pattern();
        Start();
        Finish("PnnTrain", PnnTrain(&net, &slab, &pattern), codes::PatternTrain);
    }

    void CallGrnnPropagate() {
        const int16_t net = in.Net(), slab = in.Slab();
        const float smoothing = in.Real();
        Start();
        const int16_t code = GrnnPropagate(&net, &slab, &smoothing);
        Finish("GrnnPropagate", code, codes::GrnnPropagate, Refusal::kJudgedByCaller);
        if (code != KORU32_OK && code != KORU32_ERR_ZERO_DENOMINATOR) {
            Require(EngineFingerprint() == before, "refused, yet changed the engine", "GrnnPropagate");
        }
    }

    void CallGrnnEvaluate() {
        const int16_t net = in.Net(), slab = in.Slab();
        auto targets = in.Reals(SlabSize(net, slab));
        const int16_t pattern = in.Pattern();
        Start();
        Finish("GrnnEvaluate", GrnnEvaluate(&net, &slab, targets.data(), &pattern), codes::PatternEvaluate);
    }

    void CallGrnnTrain() {
        const int16_t net = in.Net(), slab = in.Slab(), pattern = in.Pattern();
        Start();
        Finish("GrnnTrain", GrnnTrain(&net, &slab, &pattern), codes::PatternTrain);
    }

    void CallLvqPropagate() {
        const int16_t net = in.Net(), slab = in.Slab();
        Start();
        Finish("LvqPropagate", LvqPropagate(&net, &slab), codes::LvqPropagate);
    }

    void CallLvqEvaluate() {
        const int16_t net = in.Net(), slab = in.Slab();
        const uint16_t flag = in.Byte() % 3;
        uint16_t winner = 0xBEEF;
        Start();
        const int16_t code = LvqEvaluate(&net, &slab, &winner, &flag);
        Finish("LvqEvaluate", code, codes::LvqEvaluate);
        if (code != KORU32_OK) Require(winner == 0xBEEF, "LvqEvaluate wrote its winner on a refusal");
        if (code == KORU32_OK)
            Require(winner >= 1 && winner <= SlabSize(net, slab), "LvqEvaluate named no unit");
    }

    void CallLvqTrain() {
        const int16_t net = in.Net(), slab = in.Slab();
        const float rate = in.Real();
        const int16_t radius = in.Pick(4, {-1, 32767, -32768, 100});
        const uint16_t width = static_cast<uint16_t>(in.Pick(5, {-1, 0, 32767, -32768, 1000}));
        Start();
        Finish("LvqTrain", LvqTrain(&net, &slab, &rate, &radius, &width), codes::LvqTrain);
    }

    void CallSaveNet() {
        const int16_t net = in.Net();
        const int32_t length = static_cast<int32_t>(in.Byte() % 8) - 2;
        std::vector<uint8_t> bytes(length > 0 ? length : 1, 0x3C);
        const bool nullBytes = in.Byte() % 4 == 0;
        Start();
        descriptors = OpenDescriptorCount();
        const int16_t code = SaveNet(&net, netFile.c_str(), &length, nullBytes ? nullptr : bytes.data());
        Finish("SaveNet", code, codes::SaveNet);
        Require(EngineFingerprint() == before, "SaveNet changed the engine");
        Require(OpenDescriptorCount() == descriptors, "SaveNet left the file open");
    }

    void CallRestoreNet() {
        const int16_t net = in.Net();
        int32_t length = static_cast<int32_t>(in.Byte() % 8) - 2;
        std::vector<uint8_t> bytes(length > 0 ? length : 1, 0xC3);
        const bool nullBytes = in.Byte() % 4 == 0;
        const bool wasFree = IsValidNetNumber(net) && netTable[net].paradigm == 0;
        Start();
        const uint64_t beforeSansRange = EngineFingerprintSansRange();
        descriptors = OpenDescriptorCount();
        const int16_t code = RestoreNet(&net, netFile.c_str(), &length, nullBytes ? nullptr : bytes.data());
        Finish("RestoreNet", code, codes::RestoreNet, Refusal::kJudgedByCaller);
        Require(OpenDescriptorCount() == descriptors, "RestoreNet left the file open");
        if (code != KORU32_OK) {
            const bool inUse = IsValidNetNumber(net) && netTable[net].paradigm != 0;
            if (wasFree && inUse) {
                Require(code == KORU32_ERR_RESTORE_FILE && length > 0 && !nullBytes,
                        "a refused restore kept an incomplete net");
            } else {
                Require(EngineFingerprintSansRange() == beforeSansRange,
                        "a refused restore changed the engine");
            }
        }
    }

    void WriteShellFile() {
        // A shell file: three small layer sizes (or any, now and then)
        // and as many body bytes as the input offers, up to complete.
        uint8_t header[6];
        for (int k = 0; k < 3; ++k) {
            const uint8_t b = in.Byte();
            const uint16_t units = b < 240 ? 2 + b % 5 : in.Word();
            header[2 * k] = static_cast<uint8_t>(units);
            header[2 * k + 1] = static_cast<uint8_t>(units >> 8);
        }
        std::vector<uint8_t> file(header, header + 6);
        const size_t body = in.Byte() % 2 ? 400 : in.Byte();
        const float w = in.Real();
        for (size_t i = 0; i < body; i += 4) {
            const auto bits = std::bit_cast<uint32_t>(w * static_cast<float>(i % 7));
            for (int j = 0; j < 4; ++j) file.push_back(static_cast<uint8_t>(bits >> 8 * j));
        }
        WriteWholeFile(shellFile, file.data(), file.size());
    }

    void CallLoadShell() {
        const int16_t net = in.Net();
        Start();
        descriptors = OpenDescriptorCount();
        const int16_t code = LoadShell(&net, shellFile.c_str());
        Finish("LoadShell", code, codes::LoadShell, Refusal::kJudgedByCaller);
        Require(OpenDescriptorCount() == descriptors, "LoadShell left the file open");
        // Files too short for their header are refused up front, and
        // the program's files never fail a read: only running out of
        // memory may leave slabs and links behind.
        if (code != KORU32_OK && code != KORU32_ERR_NO_MEMORY) {
            Require(EngineFingerprint() == before, "refused, yet changed the engine", "LoadShell");
        }
    }

    void BuildWholeNet() {
        // A whole net in one step: three slabs, two links, transfer
        // codes, so that programs reach the paradigm routines soon.
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

    void CallProbeNet() {
        const int16_t net = in.Net();
        if (IsValidNetNumber(net) && netTable[net].paradigm != 0) ProbeNet(net);
    }

    void CallBpPropagate() {
        const int16_t net = in.Net(), slab = in.Slab();
        Start();
        Finish("BpPropagate", BpPropagate(&net, &slab), codes::BpPropagate);
    }

    void CallBpEvaluate() {
        const int16_t net = in.Net(), slab = in.Slab();
        auto targets = in.Reals(SlabSize(net, slab));
        auto sum = OutputBuffer(1);
        Start();
        const int16_t code = BpEvaluate(&net, &slab, targets.data(), sum.data());
        Finish("BpEvaluate", code, codes::BpEvaluate);
        Quiet("BpEvaluate", code, sum);
    }

    void CallBpEvaluateSum() {
        const int16_t net = in.Net(), slab = in.Slab();
        auto targets = in.Reals(SlabSize(net, slab));
        Start();
        Finish("BpEvaluateSum", BpEvaluateSum(&net, &slab, targets.data()), codes::BpEvaluate);
    }

    void CallBpGetSum() {
        const int16_t net = in.Net(), slab = in.Slab();
        auto sum = OutputBuffer(1);
        Start();
        const int16_t code = BpGetSum(&net, &slab, sum.data());
        Finish("BpGetSum", code, codes::BpEvaluate);
        Quiet("BpGetSum", code, sum);
        Full("BpGetSum", code, sum);
    }

    void CallBpEvaluateInteger() {
        const int16_t net = in.Net(), slab = in.Slab();
        auto targets = in.Integers(SlabSize(net, slab));
        auto sum = OutputBuffer(1);
        Start();
        const int16_t code = BpEvaluateInteger(&net, &slab, targets.data(), sum.data());
        Finish("BpEvaluateInteger", code, codes::BpEvaluate);
        Quiet("BpEvaluateInteger", code, sum);
    }

    void CallBpEvaluateStore() {
        const int16_t net = in.Net(), slab = in.Slab(), storeNet = in.Net(), store = in.Store();
        const uint32_t record = in.Record();
        auto sum = OutputBuffer(1);
        Start();
        const int16_t code = BpEvaluateStore(&net, &slab, &storeNet, &store, &record, sum.data());
        Finish("BpEvaluateStore", code, codes::BpEvaluateStore);
        Quiet("BpEvaluateStore", code, sum);
    }

    void CallBpEvaluateSumStore() {
        const int16_t net = in.Net(), slab = in.Slab(), storeNet = in.Net(), store = in.Store();
        const uint32_t record = in.Record();
        Start();
        Finish("BpEvaluateSumStore", BpEvaluateSumStore(&net, &slab, &storeNet, &store, &record),
               codes::BpEvaluateStore);
    }

    void CallAddSlab() {
        const int16_t net = in.Net(), source = in.Slab(), dest = in.Slab();
        const float factor = in.Real();
        Start();
        Finish("AddSlab", AddSlab(&net, &source, &dest, &factor), codes::AddSlab);
    }

    void CallBpTrain() {
        const int16_t net = in.Net(), slab = in.Slab();
        const float rate = in.Real(), momentum = in.Real();
        const uint16_t apply = static_cast<uint16_t>(in.Pick(2, {2, -1, 255}));
        Start();
        Finish("BpTrain", BpTrain(&net, &slab, &rate, &momentum, &apply), codes::BpTrain);
    }

    void CallMathErrorHook() {
        koru32_math_exception record{};
        record.retval = in.Real();
        Start();
        Require(_matherr(&record) == 1 && record.retval == 0.0, "_matherr did not set 0.0 and answer 1");
        Require(EngineFingerprint() == before, "_matherr changed the engine");
    }
    uint64_t EngineFingerprintSansRange() {
        const double range = state.weightRange;
        state.weightRange = 0.0;
        const uint64_t h = EngineFingerprint();
        state.weightRange = range;
        return h;
    }
};

// The operations, one row per operation byte (taken modulo 64): the export
// it calls and the step that draws its arguments, calls it and checks what
// it did. The row numbers are the corpus's format: a row is only ever added.
struct Operation {
    const char* exports;
    void (Runner::*step)();
};

constexpr Operation kOperations[] = {
    /*  0 */ {"MakeNet", &Runner::CallMakeNet},
    /*  1 */ {"KillNet", &Runner::CallKillNet},
    /*  2 */ {"GetNextNet", &Runner::CallGetNextNet},
    /*  3 */ {"SetMath", &Runner::CallSetMath},
    /*  4 */ {"SetCPU, SetSeed, WEP", &Runner::CallProcessSettings},
    /*  5 */ {"MakeSlab", &Runner::CallMakeSlab},
    /*  6 */ {"KillSlab", &Runner::CallKillSlab},
    /*  7 */ {"PutSlab", &Runner::CallPutSlab},
    /*  8 */ {"GetSlab", &Runner::CallGetSlab},
    /*  9 */ {"PutSlabInteger", &Runner::CallPutSlabInteger},
    /* 10 */ {"GetSlabInteger", &Runner::CallGetSlabInteger},
    /* 11 */ {"SetSlab", &Runner::CallSetSlab},
    /* 12 */ {"CopySlab", &Runner::CallCopySlab},
    /* 13 */ {"SlideSlab", &Runner::CallSlideSlab},
    /* 14 */ {"GetNeuron", &Runner::CallGetNeuron},
    /* 15 */ {"PutNeuron", &Runner::CallPutNeuron},
    /* 16 */ {"Transfer", &Runner::CallTransfer},
    /* 17 */ {"GetDelta", &Runner::CallGetDelta},
    /* 18 */ {"PutDelta", &Runner::CallPutDelta},
    /* 19 */ {"GetCounts", &Runner::CallGetCounts},
    /* 20 */ {"PutCounts", &Runner::CallPutCounts},
    /* 21 */ {"MakeLink", &Runner::CallMakeLink},
    /* 22 */ {"InitLink", &Runner::CallInitLink},
    /* 23 */ {"KillLink", &Runner::CallKillLink},
    /* 24 */ {"GetLink", &Runner::CallGetLink},
    /* 25 */ {"PutLink", &Runner::CallPutLink},
    /* 26 */ {"GetWeight", &Runner::CallGetWeight},
    /* 27 */ {"PutWeight", &Runner::CallPutWeight},
    /* 28 */ {"GetChange", &Runner::CallGetChange},
    /* 29 */ {"PutChange", &Runner::CallPutChange},
    /* 30 */ {"GetLinkChanges", &Runner::CallGetLinkChanges},
    /* 31 */ {"PutLinkChanges", &Runner::CallPutLinkChanges},
    /* 32 */ {"SetStatus", &Runner::CallSetStatus},
    /* 33 */ {"MakeStore", &Runner::CallMakeStore},
    /* 34 */ {"KillStore", &Runner::CallKillStore},
    /* 35 */ {"GetStore", &Runner::CallGetStore},
    /* 36 */ {"PutStore", &Runner::CallPutStore},
    /* 37 */ {"CopyToStore", &Runner::CallCopyToStore},
    /* 38 */ {"CopyFromStore", &Runner::CallCopyFromStore},
    /* 39 */ {"PnnPropagate", &Runner::CallPnnPropagate},
    /* 40 */ {"PnnEvaluate", &Runner::CallPnnEvaluate},
    /* 41 */ {"PnnTrain", &Runner::CallPnnTrain},
    /* 42 */ {"GrnnPropagate", &Runner::CallGrnnPropagate},
    /* 43 */ {"GrnnEvaluate", &Runner::CallGrnnEvaluate},
    /* 44 */ {"GrnnTrain", &Runner::CallGrnnTrain},
    /* 45 */ {"LvqPropagate", &Runner::CallLvqPropagate},
    /* 46 */ {"LvqEvaluate", &Runner::CallLvqEvaluate},
    /* 47 */ {"LvqTrain", &Runner::CallLvqTrain},
    /* 48 */ {"SaveNet", &Runner::CallSaveNet},
    /* 49 */ {"RestoreNet", &Runner::CallRestoreNet},
    /* 50 */ {"(writes the shell file LoadShell reads)", &Runner::WriteShellFile},
    /* 51 */ {"LoadShell", &Runner::CallLoadShell},
    /* 52 */ {"MakeNet, MakeSlab, Transfer, MakeLink", &Runner::BuildWholeNet},
    /* 53 */ {"(reads a whole net back)", &Runner::CallProbeNet},
    /* 54 */ {"BpPropagate", &Runner::CallBpPropagate},
    /* 55 */ {"BpEvaluate", &Runner::CallBpEvaluate},
    /* 56 */ {"BpEvaluateSum", &Runner::CallBpEvaluateSum},
    /* 57 */ {"BpGetSum", &Runner::CallBpGetSum},
    /* 58 */ {"BpEvaluateInteger", &Runner::CallBpEvaluateInteger},
    /* 59 */ {"BpEvaluateStore", &Runner::CallBpEvaluateStore},
    /* 60 */ {"BpEvaluateSumStore", &Runner::CallBpEvaluateSumStore},
    /* 61 */ {"AddSlab", &Runner::CallAddSlab},
    /* 62 */ {"BpTrain", &Runner::CallBpTrain},
    /* 63 */ {"_matherr", &Runner::CallMathErrorHook},
};
static_assert(std::size(kOperations) == 64, "an operation byte names one of 64 rows");

}  // namespace

void RunExportProgram(const uint8_t* data, size_t size) {
    ResetLibrary();
    Program program(data, size);
    Runner runner{program};
    for (size_t calls = 0; calls < kMostCalls && !program.Done(); ++calls) {
        const Operation& operation = kOperations[program.Byte() % std::size(kOperations)];
        (runner.*operation.step)();
    }
    KillAllNets();
}

}  // namespace koru_fuzz
