// The engine's records and the lookups every export runs first.
//
// A net lives in one NetBlock that holds all its slab, link and store records
// in place; every record owns its value arrays. The NetTable holds one
// NetEntry per net number.
#pragma once

#include <cstdint>

#include "core/net_types.h"
#include "core/value_array.h"
#include "koru32.h"

namespace koru {

inline constexpr int kNetCount = 128;
inline constexpr int kSlabsPerNet = 32;
inline constexpr int kLinksPerNet = 32;
inline constexpr int kStoresPerNet = 6;
inline constexpr int kLinksPerSlabSide = 8;  // incoming, and separately outgoing

struct LinkRecord;

struct SlabRecord {
    uint8_t kind;        // KORU32_SLAB_INPUT, _HIDDEN or _OUTPUT
    int8_t transfer;     // transfer code of a backpropagation slab (0 elsewhere)
    uint16_t inCount;    // entries in use in inLinks
    uint16_t outCount;   // entries in use in outLinks
    ValueArray* values;  // neuron values, 1 x neurons
    LinkRecord* inLinks[kLinksPerSlabSide];   // links ending here, in order of creation
    LinkRecord* outLinks[kLinksPerSlabSide];  // links starting here, in order of creation
    ValueArray* deltas;  // backpropagation deltas, or PNN/GRNN counts; may be null
    ValueArray* sums;    // backpropagation inputs before the transfer; may be null
    double errorSum;     // running error sum (backpropagation) or denominator (GRNN)
    uint16_t winner;     // LVQ: winning unit, from 0

    uint32_t NeuronCount() const { return values->count; }
};

struct LinkRecord {
    uint8_t status;              // KORU32_LINK_IGNORED, _PROPAGATED or _TRAINED
    SlabRecord* dest;            // destination slab
    SlabRecord* source;          // source slab
    ValueArray* weights;         // rows: source neurons (plus the bias row in backpropagation)
    ValueArray* changes;         // momentum/batch change, or adaptive step size; may be null
    ValueArray* gradients;       // adaptive rule: gradient accumulated since the last step
    ValueArray* prevGradients;   // adaptive rule: gradient of the last applied step
    ValueArray* lastSteps;       // adaptive rule: the step last applied
};

struct StoreRecord {
    uint32_t records;  // number of records
    uint16_t width;    // values per record
    ValueArray* data;  // records x width

    // First element of record k (k < records, so the product fits in 32 bits).
    uint8_t* Record(uint32_t k) const {
        return data->data + static_cast<uint64_t>(k) * width * ElementSize(data->format);
    }
};

struct NetBlock {
    uint8_t slabUsed[kSlabsPerNet];
    SlabRecord slabs[kSlabsPerNet];
    uint8_t linkUsed[kLinksPerNet];
    LinkRecord links[kLinksPerNet];
    uint8_t storeUsed[kStoresPerNet];
    StoreRecord stores[kStoresPerNet];
};

struct NetEntry {
    uint16_t paradigm;     // 0 when the entry is free
    uint16_t variant;      // rule or score variant of the paradigm
    int16_t patternCount;  // PNN and GRNN: pattern units in use
    NetBlock* block;       // the net's records, at one address for the net's life
    uint16_t format;       // number format of every array of the net
    uint16_t netType;      // the type given to MakeNet
};

// The state the library keeps for the whole process, all of it here (the
// random generator's state aside, in core/random.cpp). The library serves one
// call at a time, so none of it is locked. Only the export frames read it and
// pass it down as arguments; the slab and link lookups write the math mode.
struct ProcessState {
    uint16_t mathMode;   // format of the next net and store: kFixed824 or kFloat32
    uint16_t startedUp;  // 1 once the load notification has run
    double weightRange;  // width of the interval of random weights, set by MakeLink and InitLink
};

extern NetEntry netTable[kNetCount];
extern ProcessState state;

// Runs once per process from the load notification: clears the net table and
// picks the number format from the floating-point-processor probe.
void StartUp();

inline bool IsValidNetNumber(int16_t net) { return net >= 0 && net < kNetCount; }

struct SlabLookup {
    NetEntry* net;
    SlabRecord* slab;
};
struct LinkLookup {
    NetEntry* net;
    LinkRecord* link;
};
struct StoreLookup {
    NetEntry* net;
    StoreRecord* store;
};

// The lookups check, in this order: net number (3), object number (7, 12, 33),
// net in use (5), object exists (9, 15, 36). FindSlab and FindLink then set
// the math mode to the net's format; FindStore sets nothing. `out` is written
// only on success, and the net it names is what the caller passes on.
int16_t FindSlab(int16_t net, int16_t slab, SlabLookup& out);
int16_t FindLink(int16_t net, int16_t link, LinkLookup& out);
int16_t FindStore(int16_t net, int16_t store, StoreLookup& out);

// Removes the net and everything in it (KillNet; making one is in
// core/net_build.h).
int16_t DestroyNet(int16_t net);

// Slab set-up and removal. SetUpSlab makes the arrays in `format` that slabs
// of `kind` keep in `paradigm`; returns 0 or 1.
int16_t SetUpSlab(SlabRecord& slab, uint32_t neurons, uint8_t kind, uint16_t paradigm, uint16_t format);
int16_t RemoveSlab(SlabRecord& slab);

// Link set-up and removal. SetUpLink makes the arrays in `format` that links
// of net type `type` keep, drawing random weights (and the adaptive rule's
// first step sizes) from `weightRange`; returns 0, 1 or 13.
int16_t SetUpLink(LinkRecord& link, SlabRecord& dest, SlabRecord& source, const NetTypeRow& type, uint16_t format,
                  double weightRange);
void RemoveLink(LinkRecord& link);
// Fills the array with random values, evenly spread over a `weightRange` wide
// interval around 0.
void RandomizeValues(ValueArray& array, double weightRange);

// Store set-up and removal: returns 0, 1 or 34.
int16_t SetUpStore(StoreRecord& store, int16_t width, uint32_t records, uint16_t format);
void RemoveStore(StoreRecord& store);

}  // namespace koru
