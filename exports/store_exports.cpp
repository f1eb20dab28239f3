// Pattern stores: making and removing them, and moving records between a
// store and the caller or a slab of any net.
#include "core/engine.h"

using namespace koru;

namespace {

enum class Direction { kSlabToStore, kStoreToSlab };

// Moves the first min(width, neurons) values between a slab and a store
// record, of any two nets and formats. The slab is looked up first, then the
// store, then the record number is checked (37).
int16_t CopyBetweenSlabAndStore(const int16_t* storeNet, const int16_t* store, const uint32_t* record,
                                const int16_t* slabNet, const int16_t* slab, Direction direction) {
    SlabLookup slabFound;
    StoreLookup storeFound;
    if (int16_t code = FindSlab(*slabNet, *slab, slabFound)) return code;
    if (int16_t code = FindStore(*storeNet, *store, storeFound)) return code;
    const StoreRecord& s = *storeFound.store;
    if (*record >= s.records) return KORU32_ERR_BAD_RECORD;
    ValueArray& values = *slabFound.slab->values;
    const uint32_t n = s.width < values.count ? s.width : values.count;
    if (direction == Direction::kSlabToStore) {
        CopyValues(values.data, values.format, s.Record(*record), s.data->format, n);
    } else {
        CopyValues(s.Record(*record), s.data->format, values.data, values.format, n);
    }
    return KORU32_OK;
}

}  // namespace

extern "C" {

int16_t KORU32_CALL MakeStore(const int16_t* net, const int16_t* store, const int16_t* width,
                              const uint32_t* records) {
    if (!IsValidNetNumber(*net)) return KORU32_ERR_BAD_NET_NUMBER;
    if (*store < 0 || *store >= kStoresPerNet) return KORU32_ERR_BAD_STORE_NUMBER;
    NetEntry& entry = netTable[*net];
    if (entry.paradigm == 0) return KORU32_ERR_NET_NOT_IN_USE;
    if (*records == 0) return KORU32_ERR_BAD_RECORD_COUNT;
    if (*width < 1) return KORU32_ERR_BAD_SIZE;
    if (entry.block->storeUsed[*store] != 0) return KORU32_ERR_STORE_EXISTS;
    // A store makes no lookup: it takes the math mode current at the call.
    if (int16_t code = SetUpStore(entry.block->stores[*store], *width, *records, state.mathMode)) return code;
    entry.block->storeUsed[*store] = 1;
    return KORU32_OK;
}

int16_t KORU32_CALL KillStore(const int16_t* net, const int16_t* store) {
    StoreLookup found;
    if (int16_t code = FindStore(*net, *store, found)) return code;
    RemoveStore(*found.store);
    found.net->block->storeUsed[*store] = 0;
    return KORU32_OK;
}

int16_t KORU32_CALL GetStore(const int16_t* net, const int16_t* store, const uint32_t* record, float* values) {
    StoreLookup found;
    if (int16_t code = FindStore(*net, *store, found)) return code;
    const StoreRecord& s = *found.store;
    if (*record >= s.records) return KORU32_ERR_BAD_RECORD;
    CopyValues(s.Record(*record), s.data->format, values, kFloat32, s.width);
    return KORU32_OK;
}

int16_t KORU32_CALL PutStore(const int16_t* net, const int16_t* store, const uint32_t* record,
                             const float* values) {
    StoreLookup found;
    if (int16_t code = FindStore(*net, *store, found)) return code;
    const StoreRecord& s = *found.store;
    if (*record >= s.records) return KORU32_ERR_BAD_RECORD;
    CopyValues(values, kFloat32, s.Record(*record), s.data->format, s.width);
    return KORU32_OK;
}

int16_t KORU32_CALL CopyToStore(const int16_t* storeNet, const int16_t* store, const uint32_t* record,
                                const int16_t* slabNet, const int16_t* slab) {
    return CopyBetweenSlabAndStore(storeNet, store, record, slabNet, slab, Direction::kSlabToStore);
}

int16_t KORU32_CALL CopyFromStore(const int16_t* storeNet, const int16_t* store, const uint32_t* record,
                                  const int16_t* slabNet, const int16_t* slab) {
    return CopyBetweenSlabAndStore(storeNet, store, record, slabNet, slab, Direction::kStoreToSlab);
}

}  // extern "C"
