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
        static const float kTable[] = {0.0f, 1.0f, -1.0f, 0.5f, -0.5f, 0.25f, 2.0f, 10.0f, 100.0f, 127.5f,
                                       128.0f, -129.0f, 1e10f, -1e10f, 3.4e38f, INFINITY, -INFINITY, NAN,
                                       1e-40f, 1e-30f, 0.001f, 32767.0f, 65536.0f, 0.1f, -0.0f, 0.75f};
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

    void Finish(const char* name, int16_t code, codes::List allowed, Refusal refusal = Refusal::kChangesNothing) {
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

    void Step() {
        const uint8_t op = in.Byte() % 64;
        switch (op) {
            case 0: {
                const int16_t net = in.Net();
                const uint16_t type = in.NetType();
                Start();
                const int16_t code = MakeNet(&net, &type);
                Finish("MakeNet", code, codes::MakeNet);
                if (code == KORU32_OK) Require(netTable[net].netType == type, "MakeNet recorded another type");
                break;
            }
            case 1: {
                const int16_t net = in.Net();
                Start();
                const int16_t code = KillNet(&net);
                Finish("KillNet", code, codes::KillNet);
                if (code == KORU32_OK) Require(netTable[net].paradigm == 0, "KillNet left the slot in use");
                break;
            }
            case 2: {
                uint16_t next = 0xBEEF;
                Start();
                const int16_t code = GetNextNet(&next);
                Finish("GetNextNet", code, codes::GetNextNet);
                if (code == KORU32_OK) Require(next < kNetCount && netTable[next].paradigm == 0, "GetNextNet named a used slot");
                break;
            }
            case 3: {
                const uint8_t b = in.Byte();
                const uint16_t mode = b < 240 ? b % 2 : in.Word();
                Start();
                Finish("SetMath", SetMath(&mode), codes::SetMath);
                break;
            }
            case 4: {
                const int16_t any = static_cast<int16_t>(in.Word());
                Start();
                Finish("SetCPU", SetCPU(&any), codes::SetCPU);
                Finish("SetSeed", SetSeed(&any), codes::SetSeed);
                Require(WEP(any) == 1, "WEP answered other than 1");
                break;
            }
            case 5: {
                const int16_t net = in.Net(), slab = in.Slab(), neurons = in.Neurons(), kind = in.Kind();
                Start();
                const int16_t code = MakeSlab(&net, &slab, &neurons, &kind);
                Finish("MakeSlab", code, codes::MakeSlab);
                if (code == KORU32_OK) Require(SlabSize(net, slab) == uint32_t(neurons), "MakeSlab made another size");
                break;
            }
            case 6: {
                const int16_t net = in.Net(), slab = in.Slab();
                Start();
                Finish("KillSlab", KillSlab(&net, &slab), codes::KillSlab);
                break;
            }
            case 7: {
                const int16_t net = in.Net(), slab = in.Slab();
                auto values = in.Reals(SlabSize(net, slab));
                Start();
                Finish("PutSlab", PutSlab(&net, &slab, values.data()), codes::SlabValues);
                break;
            }
            case 8: {
                const int16_t net = in.Net(), slab = in.Slab();
                auto out = OutputBuffer(SlabSize(net, slab));
                Start();
                const int16_t code = GetSlab(&net, &slab, out.data());
                Reading("GetSlab", code, codes::SlabValues, out);
                Full("GetSlab", code, out);
                break;
            }
            case 9: {
                const int16_t net = in.Net(), slab = in.Slab();
                auto values = in.Integers(SlabSize(net, slab));
                Start();
                Finish("PutSlabInteger", PutSlabInteger(&net, &slab, values.data()), codes::SlabValues);
                break;
            }
            case 10: {
                const int16_t net = in.Net(), slab = in.Slab();
                const uint32_t n = SlabSize(net, slab);
                std::vector<int16_t> out(n == 0 ? 1 : n, int16_t{0x5A5A});
                Start();
                const int16_t code = GetSlabInteger(&net, &slab, out.data());
                Finish("GetSlabInteger", code, codes::SlabValues);
                Require(EngineFingerprint() == before, "GetSlabInteger changed the engine");
                if (code != KORU32_OK) Require(out[0] == 0x5A5A, "GetSlabInteger wrote on a refusal");
                break;
            }
            case 11: {
                const int16_t net = in.Net(), slab = in.Slab();
                const float value = in.Real();
                Start();
                Finish("SetSlab", SetSlab(&net, &slab, &value), codes::SlabValues);
                break;
            }
            case 12: {
                const int16_t sn = in.Net(), ss = in.Slab(), dn = in.Net(), ds = in.Slab();
                Start();
                Finish("CopySlab", CopySlab(&sn, &ss, &dn, &ds), codes::CopySlab);
                break;
            }
            case 13: {
                const int16_t net = in.Net(), slab = in.Slab();
                const float value = in.Real();
                Start();
                Finish("SlideSlab", SlideSlab(&net, &slab, &value), codes::SlabValues);
                break;
            }
            case 14: {
                const int16_t net = in.Net(), slab = in.Slab(), neuron = in.Neuron();
                auto out = OutputBuffer(1);
                Start();
                const int16_t code = GetNeuron(&net, &slab, &neuron, out.data());
                Reading("GetNeuron", code, codes::Neuron, out);
                break;
            }
            case 15: {
                const int16_t net = in.Net(), slab = in.Slab(), neuron = in.Neuron();
                const float value = in.Real();
                Start();
                Finish("PutNeuron", PutNeuron(&net, &slab, &neuron, &value), codes::Neuron);
                break;
            }
            case 16: {
                const int16_t net = in.Net(), slab = in.Slab(), code = in.Pick(8, {8, -1, 127, -128, 255});
                Start();
                Finish("Transfer", Transfer(&net, &slab, &code), codes::Transfer);
                break;
            }
            case 17: {
                const int16_t net = in.Net(), slab = in.Slab(), neuron = in.Neuron();
                auto out = OutputBuffer(1);
                Start();
                const int16_t code = GetDelta(&net, &slab, &neuron, out.data());
                Reading("GetDelta", code, codes::Delta, out);
                break;
            }
            case 18: {
                const int16_t net = in.Net(), slab = in.Slab(), neuron = in.Neuron();
                const float value = in.Real();
                Start();
                Finish("PutDelta", PutDelta(&net, &slab, &neuron, &value), codes::Delta);
                break;
            }
            case 19: {
                const int16_t net = in.Net(), slab = in.Slab();
                auto out = OutputBuffer(SlabSize(net, slab) + 1);
                Start();
                const int16_t code = GetCounts(&net, &slab, out.data());
                Reading("GetCounts", code, codes::Counts, out);
                Full("GetCounts", code, out);
                break;
            }
            case 20: {
                const int16_t net = in.Net(), slab = in.Slab();
                auto counts = in.Reals(SlabSize(net, slab) + 1);
                counts[0] = in.Real();
                Start();
                Finish("PutCounts", PutCounts(&net, &slab, counts.data()), codes::Counts);
                break;
            }
            case 21: {
                const int16_t net = in.Net(), link = in.Link();
                const float range = in.Real();
                const int16_t source = in.Slab(), dest = in.Slab();
                const uint64_t weights = (uint64_t{SlabSize(net, source)} + 1) * SlabSize(net, dest);
                if (weights > kLargestArray) break;
                Start();
                const int16_t code = MakeLink(&net, &link, &range, &source, &dest);
                Finish("MakeLink", code, codes::MakeLink);
                if (code == KORU32_OK) RequireFiniteLink(net, link, "MakeLink");
                break;
            }
            case 22: {
                const int16_t net = in.Net(), link = in.Link();
                const float range = in.Real();
                Start();
                const int16_t code = InitLink(&net, &link, &range);
                Finish("InitLink", code, codes::InitLink);
                if (code == KORU32_OK) RequireFiniteLink(net, link, "InitLink");
                break;
            }
            case 23: {
                const int16_t net = in.Net(), link = in.Link();
                Start();
                Finish("KillLink", KillLink(&net, &link), codes::LinkWhole);
                break;
            }
            case 24: {
                const int16_t net = in.Net(), link = in.Link();
                auto out = OutputBuffer(WeightsOf(net, link));
                Start();
                const int16_t code = GetLink(&net, &link, out.data());
                Reading("GetLink", code, codes::LinkWhole, out);
                Full("GetLink", code, out);
                break;
            }
            case 25: {
                const int16_t net = in.Net(), link = in.Link();
                auto weights = in.Reals(WeightsOf(net, link));
                Start();
                Finish("PutLink", PutLink(&net, &link, weights.data()), codes::LinkWhole);
                break;
            }
            case 26: {
                const int16_t net = in.Net(), link = in.Link(), source = in.Neuron(), dest = in.Neuron();
                auto out = OutputBuffer(1);
                Start();
                const int16_t code = GetWeight(&net, &link, &source, &dest, out.data());
                Reading("GetWeight", code, codes::Weight, out);
                break;
            }
            case 27: {
                const int16_t net = in.Net(), link = in.Link(), source = in.Neuron(), dest = in.Neuron();
                const float value = in.Real();
                Start();
                Finish("PutWeight", PutWeight(&net, &link, &source, &dest, &value), codes::Weight);
                break;
            }
            case 28: {
                const int16_t net = in.Net(), link = in.Link(), source = in.Neuron(), dest = in.Neuron();
                auto out = OutputBuffer(1);
                Start();
                const int16_t code = GetChange(&net, &link, &source, &dest, out.data());
                Reading("GetChange", code, codes::Change, out);
                break;
            }
            case 29: {
                const int16_t net = in.Net(), link = in.Link(), source = in.Neuron(), dest = in.Neuron();
                const float value = in.Real();
                Start();
                Finish("PutChange", PutChange(&net, &link, &source, &dest, &value), codes::Change);
                break;
            }
            case 30: {
                const int16_t net = in.Net(), link = in.Link();
                auto out = OutputBuffer(ChangesOf(net, link));
                Start();
                const int16_t code = GetLinkChanges(&net, &link, out.data());
                Reading("GetLinkChanges", code, codes::LinkChanges, out);
                Full("GetLinkChanges", code, out);
                break;
            }
            case 31: {
                const int16_t net = in.Net(), link = in.Link();
                auto changes = in.Reals(ChangesOf(net, link));
                Start();
                Finish("PutLinkChanges", PutLinkChanges(&net, &link, changes.data()), codes::LinkChanges);
                break;
            }
            case 32: {
                const int16_t net = in.Net(), link = in.Link(), status = in.Pick(3, {3, -1, 255, -32768});
                Start();
                Finish("SetStatus", SetStatus(&net, &link, &status), codes::SetStatus);
                break;
            }
            case 33: {
                const int16_t net = in.Net(), store = in.Store();
                const int16_t width = in.Pick(8, {0, -1, 32767, -32768, 1000});
                const uint32_t records = in.Record();
                const uint64_t elements = uint64_t{records} * static_cast<uint16_t>(width);
                if (elements > kLargestArray && elements <= 0xFFFFFFFFu) break;
                Start();
                Finish("MakeStore", MakeStore(&net, &store, &width, &records), codes::MakeStore);
                break;
            }
            case 34: {
                const int16_t net = in.Net(), store = in.Store();
                Start();
                Finish("KillStore", KillStore(&net, &store), codes::KillStore);
                break;
            }
            case 35: {
                const int16_t net = in.Net(), store = in.Store();
                const uint32_t record = in.Record();
                auto out = OutputBuffer(StoreWidthOf(net, store));
                Start();
                const int16_t code = GetStore(&net, &store, &record, out.data());
                Reading("GetStore", code, codes::StoreRecord, out);
                Full("GetStore", code, out);
                break;
            }
            case 36: {
                const int16_t net = in.Net(), store = in.Store();
                const uint32_t record = in.Record();
                auto values = in.Reals(StoreWidthOf(net, store));
                Start();
                Finish("PutStore", PutStore(&net, &store, &record, values.data()), codes::StoreRecord);
                break;
            }
            case 37:
            case 38: {
                const int16_t storeNet = in.Net(), store = in.Store();
                const uint32_t record = in.Record();
                const int16_t slabNet = in.Net(), slab = in.Slab();
                Start();
                if (op == 37) {
                    Finish("CopyToStore", CopyToStore(&storeNet, &store, &record, &slabNet, &slab), codes::StoreSlab);
                } else {
                    Finish("CopyFromStore", CopyFromStore(&storeNet, &store, &record, &slabNet, &slab),
                           codes::StoreSlab);
                }
                break;
            }
            case 39: {
                const int16_t net = in.Net(), slab = in.Slab();
                const float smoothing = in.Real();
                Start();
                Finish("PnnPropagate", PnnPropagate(&net, &slab, &smoothing), codes::PatternPropagate);
                break;
            }
            case 40: {
                const int16_t net = in.Net(), slab = in.Slab();
                auto targets = in.Reals(SlabSize(net, slab));
                const int16_t pattern = in.Pattern();
                Start();
                Finish("PnnEvaluate", PnnEvaluate(&net, &slab, targets.data(), &pattern), codes::PatternEvaluate);
                break;
            }
            case 41: {
                const int16_t net = in.Net(), slab = in.Slab(), pattern = in.Pattern();
                Start();
                Finish("PnnTrain", PnnTrain(&net, &slab, &pattern), codes::PatternTrain);
                break;
            }
            case 42: {
                const int16_t net = in.Net(), slab = in.Slab();
                const float smoothing = in.Real();
                Start();
                const int16_t code = GrnnPropagate(&net, &slab, &smoothing);
                Finish("GrnnPropagate", code, codes::GrnnPropagate, Refusal::kJudgedByCaller);
                if (code != KORU32_OK && code != KORU32_ERR_ZERO_DENOMINATOR) {
                    Require(EngineFingerprint() == before, "refused, yet changed the engine", "GrnnPropagate");
                }
                break;
            }
            case 43: {
                const int16_t net = in.Net(), slab = in.Slab();
                auto targets = in.Reals(SlabSize(net, slab));
                const int16_t pattern = in.Pattern();
                Start();
                Finish("GrnnEvaluate", GrnnEvaluate(&net, &slab, targets.data(), &pattern), codes::PatternEvaluate);
                break;
            }
            case 44: {
                const int16_t net = in.Net(), slab = in.Slab(), pattern = in.Pattern();
                Start();
                Finish("GrnnTrain", GrnnTrain(&net, &slab, &pattern), codes::PatternTrain);
                break;
            }
            case 45: {
                const int16_t net = in.Net(), slab = in.Slab();
                Start();
                Finish("LvqPropagate", LvqPropagate(&net, &slab), codes::LvqPropagate);
                break;
            }
            case 46: {
                const int16_t net = in.Net(), slab = in.Slab();
                const uint16_t flag = in.Byte() % 3;
                uint16_t winner = 0xBEEF;
                Start();
                const int16_t code = LvqEvaluate(&net, &slab, &winner, &flag);
                Finish("LvqEvaluate", code, codes::LvqEvaluate);
                if (code != KORU32_OK) Require(winner == 0xBEEF, "LvqEvaluate wrote its winner on a refusal");
                if (code == KORU32_OK) Require(winner >= 1 && winner <= SlabSize(net, slab), "LvqEvaluate named no unit");
                break;
            }
            case 47: {
                const int16_t net = in.Net(), slab = in.Slab();
                const float rate = in.Real();
                const int16_t radius = in.Pick(4, {-1, 32767, -32768, 100});
                const uint16_t width = static_cast<uint16_t>(in.Pick(5, {-1, 0, 32767, -32768, 1000}));
                Start();
                Finish("LvqTrain", LvqTrain(&net, &slab, &rate, &radius, &width), codes::LvqTrain);
                break;
            }
            case 48: {
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
                break;
            }
            case 49: {
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
                        Require(EngineFingerprintSansRange() == beforeSansRange, "a refused restore changed the engine");
                    }
                }
                break;
            }
            case 50: {
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
                break;
            }
            case 51: {
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
                break;
            }
            case 52: {
                // A whole net in one step: three slabs, two links, transfer
                // codes, so that programs reach the paradigm routines soon.
                const int16_t net = in.Net();
                const uint16_t type = in.NetType();
                if (MakeNet(&net, &type) != KORU32_OK) break;
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
                break;
            }
            case 53: {
                const int16_t net = in.Net();
                if (IsValidNetNumber(net) && netTable[net].paradigm != 0) ProbeNet(net);
                break;
            }
            default:
                StepBackprop(op);
                break;
        }
    }

    void StepBackprop(uint8_t op) {
        switch (op) {
            case 54: {
                const int16_t net = in.Net(), slab = in.Slab();
                Start();
                Finish("BpPropagate", BpPropagate(&net, &slab), codes::BpPropagate);
                break;
            }
            case 55: {
                const int16_t net = in.Net(), slab = in.Slab();
                auto targets = in.Reals(SlabSize(net, slab));
                auto sum = OutputBuffer(1);
                Start();
                const int16_t code = BpEvaluate(&net, &slab, targets.data(), sum.data());
                Finish("BpEvaluate", code, codes::BpEvaluate);
                Quiet("BpEvaluate", code, sum);
                break;
            }
            case 56: {
                const int16_t net = in.Net(), slab = in.Slab();
                auto targets = in.Reals(SlabSize(net, slab));
                Start();
                Finish("BpEvaluateSum", BpEvaluateSum(&net, &slab, targets.data()), codes::BpEvaluate);
                break;
            }
            case 57: {
                const int16_t net = in.Net(), slab = in.Slab();
                auto sum = OutputBuffer(1);
                Start();
                const int16_t code = BpGetSum(&net, &slab, sum.data());
                Finish("BpGetSum", code, codes::BpEvaluate);
                Quiet("BpGetSum", code, sum);
                Full("BpGetSum", code, sum);
                break;
            }
            case 58: {
                const int16_t net = in.Net(), slab = in.Slab();
                auto targets = in.Integers(SlabSize(net, slab));
                auto sum = OutputBuffer(1);
                Start();
                const int16_t code = BpEvaluateInteger(&net, &slab, targets.data(), sum.data());
                Finish("BpEvaluateInteger", code, codes::BpEvaluate);
                Quiet("BpEvaluateInteger", code, sum);
                break;
            }
            case 59:
            case 60: {
                const int16_t net = in.Net(), slab = in.Slab(), storeNet = in.Net(), store = in.Store();
                const uint32_t record = in.Record();
                auto sum = OutputBuffer(1);
                Start();
                if (op == 59) {
                    const int16_t code = BpEvaluateStore(&net, &slab, &storeNet, &store, &record, sum.data());
                    Finish("BpEvaluateStore", code, codes::BpEvaluateStore);
                    Quiet("BpEvaluateStore", code, sum);
                } else {
                    Finish("BpEvaluateSumStore", BpEvaluateSumStore(&net, &slab, &storeNet, &store, &record),
                           codes::BpEvaluateStore);
                }
                break;
            }
            case 61: {
                const int16_t net = in.Net(), source = in.Slab(), dest = in.Slab();
                const float factor = in.Real();
                Start();
                Finish("AddSlab", AddSlab(&net, &source, &dest, &factor), codes::AddSlab);
                break;
            }
            case 62: {
                const int16_t net = in.Net(), slab = in.Slab();
                const float rate = in.Real(), momentum = in.Real();
                const uint16_t apply = static_cast<uint16_t>(in.Pick(2, {2, -1, 255}));
                Start();
                Finish("BpTrain", BpTrain(&net, &slab, &rate, &momentum, &apply), codes::BpTrain);
                break;
            }
            case 63: {
                koru32_math_exception record{};
                record.retval = in.Real();
                Start();
                Require(_matherr(&record) == 1 && record.retval == 0.0, "_matherr did not set 0.0 and answer 1");
                Require(EngineFingerprint() == before, "_matherr changed the engine");
                break;
            }
        }
    }

    uint64_t EngineFingerprintSansRange() {
        const double range = state.weightRange;
        state.weightRange = 0.0;
        const uint64_t h = EngineFingerprint();
        state.weightRange = range;
        return h;
    }
};

}  // namespace

void RunExportProgram(const uint8_t* data, size_t size) {
    ResetLibrary();
    Program program(data, size);
    Runner runner{program};
    for (size_t calls = 0; calls < kMostCalls && !program.Done(); ++calls) runner.Step();
    KillAllNets();
}

}  // namespace koru_fuzz
