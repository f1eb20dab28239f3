// Pattern store set-up and removal.
#include <limits>

#include "core/engine.h"

namespace koru {

int16_t SetUpStore(StoreRecord& store, int16_t width, uint32_t records, uint16_t format) {
    // Records are numbered with 32 bits, so the array is sized from the full
    // record count; only a store whose element count cannot be represented
    // is refused.
    if (uint64_t(records) * uint64_t(width) > std::numeric_limits<uint32_t>::max()) {
        return KORU32_ERR_BAD_RECORD_COUNT;
    }
    ValueArray* data = NewValueArray(static_cast<int16_t>(format), static_cast<uint16_t>(width), records);
    if (data == nullptr) return KORU32_ERR_NO_MEMORY;
    store.records = records;
    store.width = static_cast<uint16_t>(width);
    store.data = data;
    return KORU32_OK;
}

void RemoveStore(StoreRecord& store) {
    FreeValueArray(store.data);
    store.data = nullptr;
}

}  // namespace koru
