// What each net type and each paradigm means, in one table.
//
// A net is made with a type 1..11; its row names the paradigm, the variant
// (the training rule of a backpropagation net, the comparison of an LVQ, PNN
// or GRNN net) and every property of its slabs, links and file that follows
// from the type. The paradigm rows hold what all types of one paradigm share.
// Everything else in the library asks these rows; no other file names a
// variant by its number.
//
// The header is self-contained (it needs only the public header), so the
// command-line program can read a network file's layout with it too.
#pragma once

#include <cstdint>

#include "koru32.h"

namespace koru {

// The variant a net records: its number is stored in the network file's
// header, so the values are fixed.
enum class Variant : uint16_t {
    kPlain = 0,       // plain gradient steps; squared-distance comparison
    kMomentum = 2,    // backpropagation with momentum
    kBatch = 3,       // backpropagation with accumulated batch steps
    kDotProduct = 7,  // dot-product comparison (LVQ: with unit-length weight columns)
    kCityBlock = 10,  // city-block distance comparison
    kAdaptive = 11,   // backpropagation with adaptive per-weight step sizes
};

inline constexpr uint16_t VariantNumber(Variant variant) { return static_cast<uint16_t>(variant); }

// How a backpropagation link is trained.
enum class TrainingRule : uint8_t { kPlain, kMomentum, kBatch, kAdaptive };

// No slab kind: for a paradigm whose slabs keep no counts.
inline constexpr int16_t kNoSlabKind = -1;

struct ParadigmRow {
    uint16_t paradigm;           // KORU32_PARADIGM_...
    bool floatOnly;              // arrays are float32 whatever the math mode
    bool sumsInSlabs;            // slabs keep the inputs before the transfer
    bool deltasInNonInputSlabs;  // hidden and output slabs keep deltas
    int16_t countSlabKind;       // the kind of slab whose deltas hold per-neuron counts, or kNoSlabKind
    bool biasRow;                // links carry a leading bias row
    bool randomWeights;          // new links start random (else every weight is 0)
};

// clang-format off
inline constexpr ParadigmRow kParadigms[] = {
    // paradigm                  floatOnly sums   deltas  counts in              bias   random
    {KORU32_PARADIGM_BACKPROP,   false,    true,  true,   kNoSlabKind,           true,  true},
    {KORU32_PARADIGM_LVQ,        false,    false, false,  kNoSlabKind,           false, true},
    {KORU32_PARADIGM_PNN,        true,     false, false,  KORU32_SLAB_OUTPUT,    false, false},
    {KORU32_PARADIGM_GRNN,       true,     false, false,  KORU32_SLAB_HIDDEN,    false, false},
};
// clang-format on

// The row of `paradigm`, or nullptr for a number that is no paradigm.
inline constexpr const ParadigmRow* FindParadigm(uint16_t paradigm) {
    for (const ParadigmRow& row : kParadigms) {
        if (row.paradigm == paradigm) return &row;
    }
    return nullptr;
}

// Whether a slab of `kind` in a net of `paradigm` keeps per-neuron counts
// in its deltas array (the class counts of a PNN output slab, the unit
// counts of a GRNN pattern slab); the network file saves them.
inline constexpr bool SlabKeepsCounts(uint16_t paradigm, int kind) {
    const ParadigmRow* row = FindParadigm(paradigm);
    return row != nullptr && row->countSlabKind != kNoSlabKind && row->countSlabKind == kind;
}

// Whether a slab of `kind` in a net of `paradigm` keeps a deltas array:
// the deltas of backpropagation, or the counts above.
inline constexpr bool SlabKeepsDeltas(uint16_t paradigm, int kind) {
    const ParadigmRow* row = FindParadigm(paradigm);
    if (row == nullptr) return false;
    return (row->deltasInNonInputSlabs && kind != KORU32_SLAB_INPUT) || SlabKeepsCounts(paradigm, kind);
}

struct NetTypeRow {
    uint16_t type;            // the number given to MakeNet
    uint16_t paradigm;        // KORU32_PARADIGM_...
    Variant variant;          // recorded in the net and its file
    TrainingRule rule;        // backpropagation: how links are trained
    bool linksKeepChanges;    // links keep a changes array (momentum, batch change or step size)
    bool linksKeepGradients;  // links keep the adaptive rule's gradients and last steps
    bool fileSavesChanges;    // the network file holds the changes after the weights
    bool shellGivesChanges;   // a shell file's changes are read into the links
    bool unitLengthColumns;   // weight columns are normalised to unit length
};

// clang-format off
inline constexpr NetTypeRow kNetTypes[] = {
    // type                      paradigm                  variant               rule                     changes grads  file   shell  unit
    {KORU32_NET_BP_PLAIN,         KORU32_PARADIGM_BACKPROP, Variant::kPlain,      TrainingRule::kPlain,    false,  false, false, false, false},
    {KORU32_NET_BP_MOMENTUM,      KORU32_PARADIGM_BACKPROP, Variant::kMomentum,   TrainingRule::kMomentum, true,   false, true,  true,  false},
    {KORU32_NET_BP_BATCH,         KORU32_PARADIGM_BACKPROP, Variant::kBatch,      TrainingRule::kBatch,    true,   false, true,  false, false},
    {KORU32_NET_LVQ_DISTANCE,     KORU32_PARADIGM_LVQ,      Variant::kPlain,      TrainingRule::kPlain,    false,  false, false, false, false},
    {KORU32_NET_LVQ_DOT,          KORU32_PARADIGM_LVQ,      Variant::kDotProduct, TrainingRule::kPlain,    false,  false, false, false, true},
    {KORU32_NET_PNN_DISTANCE,     KORU32_PARADIGM_PNN,      Variant::kPlain,      TrainingRule::kPlain,    false,  false, false, false, false},
    {KORU32_NET_PNN_DOT,          KORU32_PARADIGM_PNN,      Variant::kDotProduct, TrainingRule::kPlain,    false,  false, false, false, false},
    {KORU32_NET_GRNN_DISTANCE,    KORU32_PARADIGM_GRNN,     Variant::kPlain,      TrainingRule::kPlain,    false,  false, false, false, false},
    {KORU32_NET_GRNN_CITY_BLOCK,  KORU32_PARADIGM_GRNN,     Variant::kCityBlock,  TrainingRule::kPlain,    false,  false, false, false, false},
    {KORU32_NET_PNN_CITY_BLOCK,   KORU32_PARADIGM_PNN,      Variant::kCityBlock,  TrainingRule::kPlain,    false,  false, false, false, false},
    {KORU32_NET_BP_ADAPTIVE,      KORU32_PARADIGM_BACKPROP, Variant::kAdaptive,   TrainingRule::kAdaptive, true,   true,  false, false, false},
};
// clang-format on

// The row of net type `type`, or nullptr outside 1..11.
inline constexpr const NetTypeRow* FindNetType(uint16_t type) {
    for (const NetTypeRow& row : kNetTypes) {
        if (row.type == type) return &row;
    }
    return nullptr;
}

// The row of a type known to exist (a net in use always has one).
inline constexpr const NetTypeRow& NetTypeOf(uint16_t type) { return *FindNetType(type); }

// The rows stand in type order, so that a reader finds type t on line t, and
// each names a paradigm of the paradigm table. (Compared by number: a
// sanitizer build does not take pointer tests as constant.)
static_assert([] {
    uint16_t type = 1;
    for (const NetTypeRow& row : kNetTypes) {
        if (row.type != type++) return false;
        bool paradigmKnown = false;
        for (const ParadigmRow& paradigm : kParadigms)
            paradigmKnown = paradigmKnown || paradigm.paradigm == row.paradigm;
        if (!paradigmKnown) return false;
    }
    return true;
}());

// Whether the network file of net type `type` holds each link's changes after
// its weights (momentum and batch; the adaptive rule's step sizes are not
// saved).
inline constexpr bool FileSavesChanges(uint16_t type) {
    const NetTypeRow* row = FindNetType(type);
    return row != nullptr && row->fileSavesChanges;
}

}  // namespace koru
