#include "fuzz/net_probe.h"

#include <cstring>
#include <string>

#include "core/engine.h"
#include "fuzz/documented_codes.h"
#include "fuzz/engine_invariants.h"

namespace koru_fuzz {

using namespace koru;

namespace {

constexpr uint32_t kSentinelBits = 0x7FC0DEADu;  // a NaN whose payload no conversion produces

const NetBlock* BlockOf(int16_t net) {
    if (net < 0 || net >= kNetCount || netTable[net].paradigm == 0) return nullptr;
    return netTable[net].block;
}

// Slab, link and store numbers to probe: every valid one and the nearest
// invalid ones on both sides.
constexpr int16_t kOutside[] = {-1, -32768, 32767};

}  // namespace

uint32_t NeuronsOf(int16_t net, int16_t slab) {
    const NetBlock* b = BlockOf(net);
    if (b == nullptr || slab < 0 || slab >= kSlabsPerNet || !b->slabUsed[slab]) return 0;
    return b->slabs[slab].values->count;
}

uint32_t WeightsOf(int16_t net, int16_t link) {
    const NetBlock* b = BlockOf(net);
    if (b == nullptr || link < 0 || link >= kLinksPerNet || !b->linkUsed[link]) return 0;
    return b->links[link].weights->count;
}

uint32_t ChangesOf(int16_t net, int16_t link) {
    const NetBlock* b = BlockOf(net);
    if (b == nullptr || link < 0 || link >= kLinksPerNet || !b->linkUsed[link]) return 0;
    const ValueArray* c = b->links[link].changes;
    return c == nullptr ? 0 : c->count;
}

uint32_t StoreWidthOf(int16_t net, int16_t store) {
    const NetBlock* b = BlockOf(net);
    if (b == nullptr || store < 0 || store >= kStoresPerNet || !b->storeUsed[store]) return 0;
    return b->stores[store].width;
}

std::vector<float> OutputBuffer(uint32_t n) {
    float sentinel;
    std::memcpy(&sentinel, &kSentinelBits, 4);
    return std::vector<float>(n == 0 ? 1 : n, sentinel);
}

bool Untouched(const std::vector<float>& buffer) {
    for (float f : buffer) {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        if (bits != kSentinelBits) return false;
    }
    return true;
}

bool AllWritten(const std::vector<float>& buffer) {
    for (float f : buffer) {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        if (bits == kSentinelBits) return false;
    }
    return true;
}

namespace {

void RequireQuiet(const char* name, int16_t code, const std::vector<float>& out) {
    if (code != KORU32_OK) Require(Untouched(out), "wrote its output on a refusal", name);
}

void ProbeSlab(int16_t net, int16_t slab) {
    const uint32_t n = NeuronsOf(net, slab);
    {
        auto out = OutputBuffer(n);
        const int16_t code = GetSlab(&net, &slab, out.data());
        RequireCode("GetSlab", code, codes::SlabValues);
        RequireQuiet("GetSlab", code, out);
        Require((code == KORU32_OK) == (n > 0), "GetSlab answers otherwise than the slab table says");
    }
    {
        std::vector<int16_t> out(n == 0 ? 1 : n, int16_t{0x5A5A});
        const int16_t code = GetSlabInteger(&net, &slab, out.data());
        RequireCode("GetSlabInteger", code, codes::SlabValues);
        if (code != KORU32_OK) Require(out[0] == 0x5A5A, "GetSlabInteger wrote its output on a refusal");
    }
    for (int16_t neuron : {int16_t{0}, int16_t{1}, static_cast<int16_t>(n), static_cast<int16_t>(n + 1),
                           int16_t{-1}, int16_t{32767}}) {
        auto out = OutputBuffer(1);
        int16_t code = GetNeuron(&net, &slab, &neuron, out.data());
        RequireCode("GetNeuron", code, codes::Neuron);
        RequireQuiet("GetNeuron", code, out);
        if (n > 0) Require((code == KORU32_OK) == (neuron >= 1 && uint32_t(neuron) <= n), "GetNeuron range");
        out = OutputBuffer(1);
        code = GetDelta(&net, &slab, &neuron, out.data());
        RequireCode("GetDelta", code, codes::Delta);
        RequireQuiet("GetDelta", code, out);
    }
    {
        auto out = OutputBuffer(n + 1);
        const int16_t code = GetCounts(&net, &slab, out.data());
        RequireCode("GetCounts", code, codes::Counts);
        RequireQuiet("GetCounts", code, out);
    }
}

void ProbeLink(int16_t net, int16_t link) {
    const uint32_t w = WeightsOf(net, link);
    const uint32_t c = ChangesOf(net, link);
    {
        auto out = OutputBuffer(w);
        const int16_t code = GetLink(&net, &link, out.data());
        RequireCode("GetLink", code, codes::LinkWhole);
        RequireQuiet("GetLink", code, out);
        Require((code == KORU32_OK) == (w > 0), "GetLink answers otherwise than the link table says");
    }
    {
        auto out = OutputBuffer(c);
        const int16_t code = GetLinkChanges(&net, &link, out.data());
        RequireCode("GetLinkChanges", code, codes::LinkChanges);
        RequireQuiet("GetLinkChanges", code, out);
    }
    for (int16_t source : {int16_t{-1}, int16_t{0}, int16_t{1}, int16_t{32767}}) {
        for (int16_t dest : {int16_t{0}, int16_t{1}, int16_t{2}, int16_t{-32768}}) {
            auto out = OutputBuffer(1);
            int16_t code = GetWeight(&net, &link, &source, &dest, out.data());
            RequireCode("GetWeight", code, codes::Weight);
            RequireQuiet("GetWeight", code, out);
            out = OutputBuffer(1);
            code = GetChange(&net, &link, &source, &dest, out.data());
            RequireCode("GetChange", code, codes::Change);
            RequireQuiet("GetChange", code, out);
        }
    }
}

void ProbeStore(int16_t net, int16_t store) {
    const uint32_t width = StoreWidthOf(net, store);
    for (uint32_t record : {0u, 1u, 0xFFFFFFFFu}) {
        auto out = OutputBuffer(width);
        const int16_t code = GetStore(&net, &store, &record, out.data());
        RequireCode("GetStore", code, codes::StoreRecord);
        RequireQuiet("GetStore", code, out);
    }
}

}  // namespace

void ProbeNet(int16_t net) {
    const uint64_t before = EngineFingerprint();
    for (int16_t s = 0; s < kSlabsPerNet; ++s) ProbeSlab(net, s);
    for (int16_t s : kOutside) ProbeSlab(net, s);
    for (int16_t l = 0; l < kLinksPerNet; ++l) ProbeLink(net, l);
    for (int16_t l : kOutside) ProbeLink(net, l);
    for (int16_t t = 0; t < kStoresPerNet; ++t) ProbeStore(net, t);
    for (int16_t t : kOutside) ProbeStore(net, t);
    Require(EngineFingerprint() == before, "a reading export changed the engine");
    CheckEngineConsistent();
}

void ExerciseNet(int16_t net) {
    const float smoothing = 0.5f, rate = 0.25f;
    const int16_t radius = 1;
    const uint16_t width = 2, flag = 1;
    // The slabs in use, and one number that names no slab (31 is the last
    // a net fills) for the refusals.
    auto exercised = [net](int16_t s) { return NeuronsOf(net, s) > 0 || s == kSlabsPerNet - 1; };
    for (int16_t s = 0; s < kSlabsPerNet; ++s) {
        if (!exercised(s)) continue;
        const uint32_t n = NeuronsOf(net, s);
        std::vector<float> targets(n == 0 ? 1 : n, 0.5f);
        targets[0] = 1.0f;
        RequireCode("PnnPropagate", PnnPropagate(&net, &s, &smoothing), codes::PatternPropagate);
        RequireCode("GrnnPropagate", GrnnPropagate(&net, &s, &smoothing), codes::GrnnPropagate);
        for (int16_t pattern : {int16_t{0}, int16_t{1}, int16_t{-1}, int16_t{32767}}) {
            RequireCode("PnnEvaluate", PnnEvaluate(&net, &s, targets.data(), &pattern), codes::PatternEvaluate);
            RequireCode("PnnTrain", PnnTrain(&net, &s, &pattern), codes::PatternTrain);
            RequireCode("GrnnEvaluate", GrnnEvaluate(&net, &s, targets.data(), &pattern), codes::PatternEvaluate);
            RequireCode("GrnnTrain", GrnnTrain(&net, &s, &pattern), codes::PatternTrain);
        }
        CheckEngineConsistent();
        RequireCode("BpPropagate", BpPropagate(&net, &s), codes::BpPropagate);
        float sum = 0.0f;
        RequireCode("BpEvaluate", BpEvaluate(&net, &s, targets.data(), &sum), codes::BpEvaluate);
        RequireCode("BpEvaluateSum", BpEvaluateSum(&net, &s, targets.data()), codes::BpEvaluate);
        RequireCode("BpGetSum", BpGetSum(&net, &s, &sum), codes::BpEvaluate);
        RequireCode("LvqPropagate", LvqPropagate(&net, &s), codes::LvqPropagate);
        uint16_t winner = 0xBEEF;
        const int16_t code = LvqEvaluate(&net, &s, &winner, &flag);
        RequireCode("LvqEvaluate", code, codes::LvqEvaluate);
        if (code != KORU32_OK) Require(winner == 0xBEEF, "LvqEvaluate wrote its winner on a refusal");
        if (code == KORU32_OK) Require(winner >= 1 && winner <= n, "LvqEvaluate named a unit outside the slab");
        RequireCode("LvqTrain", LvqTrain(&net, &s, &rate, &radius, &width), codes::LvqTrain);
        CheckEngineConsistent();
    }
    // Backpropagation trains from the last slab back, as a caller does.
    const float momentum = 0.5f;
    const uint16_t apply = 1;
    for (int16_t s = kSlabsPerNet - 1; s >= 0; --s) {
        if (!exercised(s)) continue;
        RequireCode("BpTrain", BpTrain(&net, &s, &rate, &momentum, &apply), codes::BpTrain);
    }
    CheckEngineConsistent();
}

}  // namespace koru_fuzz
