// The table of nets, the process-wide state, start-up and the lookups.
#include <new>

#include "core/engine.h"
#include "platform/fpu_probe.h"
#include "platform/memory.h"

namespace koru {

NetEntry netTable[kNetCount];
ProcessState state{kFloat32, 0, 0, 0, 0.0};

namespace {

struct ParadigmAndVariant {
    uint16_t paradigm;
    uint16_t variant;
};

// Net types 1..11 as (paradigm, variant).
constexpr ParadigmAndVariant kNetTypes[12] = {
    {0, 0},
    {KORU32_PARADIGM_BACKPROP, 0},  {KORU32_PARADIGM_BACKPROP, 2}, {KORU32_PARADIGM_BACKPROP, 3},
    {KORU32_PARADIGM_LVQ, 0},       {KORU32_PARADIGM_LVQ, 7},      {KORU32_PARADIGM_PNN, 0},
    {KORU32_PARADIGM_PNN, 7},       {KORU32_PARADIGM_GRNN, 0},     {KORU32_PARADIGM_GRNN, 10},
    {KORU32_PARADIGM_PNN, 10},      {KORU32_PARADIGM_BACKPROP, 11},
};

void LoadCurrent(const NetEntry& entry) {
    state.currentParadigm = entry.paradigm;
    state.currentVariant = entry.variant;
    state.mathMode = entry.format;
}

}  // namespace

void StartUp() {
    if (state.startedUp != 0) return;
    for (NetEntry& entry : netTable) {
        entry.paradigm = 0;
        entry.patternCount = 0;
        entry.block = nullptr;
    }
    state.mathMode = platform::HasFloatingPointProcessor() ? kFloat32 : kFixed824;
    state.startedUp = 1;
}

int16_t CreateNet(int16_t net, uint16_t type) {
    if (!IsValidNetNumber(net)) return KORU32_ERR_BAD_NET_NUMBER;
    NetEntry& entry = netTable[net];
    if (entry.paradigm != 0) return KORU32_ERR_NET_IN_USE;
    if (type < 1 || type > 11) return KORU32_ERR_BAD_NET_TYPE;

    // The block comes zeroed, so every used-flag starts clear.
    void* memory = platform::AllocateBlock(sizeof(NetBlock));
    if (memory == nullptr) return KORU32_ERR_NO_MEMORY;
    entry.block = new (memory) NetBlock;
    entry.paradigm = kNetTypes[type].paradigm;
    entry.variant = kNetTypes[type].variant;
    entry.netType = type;
    // Probabilistic and general regression nets compute in floating point
    // only, so their arrays are float32 whatever the math mode: an 8.24 array
    // would be misread. Every other net takes the current math mode.
    const bool floatOnly = entry.paradigm == KORU32_PARADIGM_PNN || entry.paradigm == KORU32_PARADIGM_GRNN;
    entry.format = floatOnly ? uint16_t{kFloat32} : state.mathMode;
    return KORU32_OK;
}

int16_t DestroyNet(int16_t net) {
    if (!IsValidNetNumber(net)) return KORU32_ERR_BAD_NET_NUMBER;
    NetEntry& entry = netTable[net];
    if (entry.paradigm == 0) return KORU32_ERR_NET_NOT_IN_USE;
    NetBlock& block = *entry.block;
    for (int i = 0; i < kLinksPerNet; ++i) {
        if (block.linkUsed[i] == 0) continue;
        RemoveLink(block.links[i]);
        block.linkUsed[i] = 0;
    }
    for (int i = 0; i < kSlabsPerNet; ++i) {
        if (block.slabUsed[i] == 0) continue;
        RemoveSlab(block.slabs[i]);  // no links are left, so this cannot fail
        block.slabUsed[i] = 0;
    }
    for (int i = 0; i < kStoresPerNet; ++i) {
        if (block.storeUsed[i] == 0) continue;
        RemoveStore(block.stores[i]);
        block.storeUsed[i] = 0;
    }
    platform::FreeBlock(entry.block);
    entry.paradigm = 0;
    entry.variant = 0;
    entry.patternCount = 0;
    entry.block = nullptr;
    return KORU32_OK;
}

int16_t FindSlab(int16_t net, int16_t slab, SlabLookup& out) {
    if (!IsValidNetNumber(net)) return KORU32_ERR_BAD_NET_NUMBER;
    if (slab < 0 || slab >= kSlabsPerNet) return KORU32_ERR_BAD_SLAB_NUMBER;
    NetEntry& entry = netTable[net];
    if (entry.paradigm == 0) return KORU32_ERR_NET_NOT_IN_USE;
    if (entry.block->slabUsed[slab] == 0) return KORU32_ERR_NO_SLAB;
    LoadCurrent(entry);
    out = {&entry, &entry.block->slabs[slab]};
    return KORU32_OK;
}

int16_t FindLink(int16_t net, int16_t link, LinkLookup& out) {
    if (!IsValidNetNumber(net)) return KORU32_ERR_BAD_NET_NUMBER;
    if (link < 0 || link >= kLinksPerNet) return KORU32_ERR_BAD_LINK_NUMBER;
    NetEntry& entry = netTable[net];
    if (entry.paradigm == 0) return KORU32_ERR_NET_NOT_IN_USE;
    if (entry.block->linkUsed[link] == 0) return KORU32_ERR_NO_LINK;
    LoadCurrent(entry);
    out = {&entry, &entry.block->links[link]};
    return KORU32_OK;
}

int16_t FindStore(int16_t net, int16_t store, StoreLookup& out) {
    if (!IsValidNetNumber(net)) return KORU32_ERR_BAD_NET_NUMBER;
    if (store < 0 || store >= kStoresPerNet) return KORU32_ERR_BAD_STORE_NUMBER;
    NetEntry& entry = netTable[net];
    if (entry.paradigm == 0) return KORU32_ERR_NET_NOT_IN_USE;
    if (entry.block->storeUsed[store] == 0) return KORU32_ERR_NO_STORE;
    out = {&entry, &entry.block->stores[store]};
    return KORU32_OK;
}

}  // namespace koru
