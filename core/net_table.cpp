// The table of nets, the process-wide state, start-up and the lookups.
#include "core/engine.h"
#include "platform/fpu_probe.h"
#include "platform/memory.h"

namespace koru {

NetEntry netTable[kNetCount];
ProcessState state{kFloat32, 0, 0.0};

namespace {

// A slab or link lookup makes the net's format the math mode for the next
// net, as the public header documents; nothing in the library reads the mode
// but the exports that make nets and stores.
void LoadMathMode(const NetEntry& entry) { state.mathMode = entry.format; }

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
    LoadMathMode(entry);
    out = {&entry, &entry.block->slabs[slab]};
    return KORU32_OK;
}

int16_t FindLink(int16_t net, int16_t link, LinkLookup& out) {
    if (!IsValidNetNumber(net)) return KORU32_ERR_BAD_NET_NUMBER;
    if (link < 0 || link >= kLinksPerNet) return KORU32_ERR_BAD_LINK_NUMBER;
    NetEntry& entry = netTable[net];
    if (entry.paradigm == 0) return KORU32_ERR_NET_NOT_IN_USE;
    if (entry.block->linkUsed[link] == 0) return KORU32_ERR_NO_LINK;
    LoadMathMode(entry);
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
