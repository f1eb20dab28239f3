// LoadShell. A shell file counts a bias unit in every layer and holds 32-bit
// floats whatever the net's format:
//   u16 L0, L1, L2 (units per layer, bias included), then two blocks, input
//   to hidden and hidden to output. A block from a layer of a units to one
//   of b units is a rows, the bias unit's first; a row is one f32 that is
//   skipped, then b pairs (weight, change) of f32, one per destination unit,
//   of which the first (the destination's bias unit, which takes no input)
//   is skipped too.
// Slabs hold no bias neurons and backpropagation links carry a leading bias
// row, so block k fills link k's a x (b - 1) weights in their own order.
#include "persist/shell_import.h"

#include <bit>

#include "core/engine.h"
#include "core/net_build.h"
#include "persist/little_endian.h"
#include "persist/open_file.h"
#include "platform/memory.h"

namespace koru {

namespace {

constexpr uint32_t kHeaderBytes = 6;
constexpr int kLayers = 3;
// A layer's unit count, bias included: at least one neuron besides the bias,
// and no more neurons than a signed 16-bit count can hold.
constexpr uint32_t kFewestUnits = 2;
constexpr uint32_t kMostUnits = 32768;

constexpr uint32_t RowBytes(uint32_t destUnits) { return 4 + 8 * destUnits; }

// A buffer for one row of a block, released on every way out.
class RowBuffer {
public:
    explicit RowBuffer(size_t bytes) : data_(static_cast<uint8_t*>(platform::AllocateBlock(bytes))) {}
    ~RowBuffer() { platform::FreeBlock(data_); }
    RowBuffer(const RowBuffer&) = delete;
    RowBuffer& operator=(const RowBuffer&) = delete;
    uint8_t* data() const { return data_; }

private:
    uint8_t* data_;
};

// Reads block k into `link`: `sourceUnits` rows of `destUnits` pairs. Each
// weight (and, when `withChanges`, each change) is widened to double and
// written into the next element in the array's format. A row that ends
// early still delivers the values that arrived whole before 25 is returned.
int16_t ReadBlock(OpenFile& file, uint8_t* row, uint32_t sourceUnits, uint32_t destUnits, LinkRecord& link,
                  bool withChanges) {
    ValueArray& weights = *link.weights;
    uint8_t* weight = weights.data;
    uint8_t* change = withChanges ? link.changes->data : nullptr;
    const uint32_t rowBytes = RowBytes(destUnits);
    for (uint32_t r = 0; r < sourceUnits; ++r) {
        const int64_t got = file.Read(row, rowBytes);
        const uint64_t arrived = got < 0 ? 0 : static_cast<uint64_t>(got);
        for (uint32_t d = 1; d < destUnits; ++d) {
            const uint64_t pair = 4 + uint64_t{8} * d;
            if (pair + 4 > arrived) break;
            weight = WriteElement(weight, weights.format, std::bit_cast<float>(GetU32(row + pair)), 1);
            if (pair + 8 > arrived) break;
            if (change != nullptr) {
                change = WriteElement(change, link.changes->format, std::bit_cast<float>(GetU32(row + pair + 4)), 1);
            }
        }
        if (arrived != rowBytes) return KORU32_ERR_SHELL_FILE;
    }
    return KORU32_OK;
}

}  // namespace

int16_t ImportShell(int16_t net, const char* name, double weightRange) {
    if (!IsValidNetNumber(net)) return KORU32_ERR_BAD_NET_NUMBER;
    NetEntry& entry = netTable[net];
    if (entry.paradigm == 0) return KORU32_ERR_NET_NOT_IN_USE;
    NetBlock& block = *entry.block;
    for (int s = 0; s < kLayers; ++s) {
        if (block.slabUsed[s] != 0) return KORU32_ERR_SLAB_EXISTS;
    }
    if (block.linkUsed[0] != 0 || block.linkUsed[1] != 0) return KORU32_ERR_LINK_EXISTS;
    if (entry.paradigm != KORU32_PARADIGM_BACKPROP) return KORU32_ERR_WRONG_PARADIGM;

    OpenFile file(platform::OpenFileForReading(name));
    if (!file.IsOpen()) return KORU32_ERR_SHELL_FILE;
    uint8_t header[kHeaderBytes];
    if (!file.ReadAll(header, sizeof header)) return KORU32_ERR_SHELL_FILE;
    uint32_t units[kLayers];
    for (int k = 0; k < kLayers; ++k) {
        units[k] = GetU16(header + 2 * k);
        // Refused before anything is made: a layer without neurons, or with
        // more than a slab can count.
        if (units[k] < kFewestUnits || units[k] > kMostUnits) return KORU32_ERR_SHELL_FILE;
    }
    // A file too short for the two blocks its header announces is refused
    // before anything is made: its header alone could ask for links of
    // gigabytes, and a net holding random weights where the file's should
    // be is of no use to the caller. Where the platform cannot tell the
    // length, the reads below still stop at the end of the file.
    const uint64_t body = uint64_t{units[0]} * RowBytes(units[1]) + uint64_t{units[1]} * RowBytes(units[2]);
    const int64_t left = file.BytesLeft();
    if (left >= 0 && static_cast<uint64_t>(left) < body) return KORU32_ERR_SHELL_FILE;

    RowBuffer row(RowBytes(units[1] > units[2] ? units[1] : units[2]));
    if (row.data() == nullptr) return KORU32_ERR_NO_MEMORY;

    // Slabs and links are made in the net's own format, like every other
    // array of the net; each is marked in use as soon as it exists.
    for (int s = 0; s < kLayers; ++s) {
        if (int16_t code = AttachSlab(entry, s, units[s] - 1, static_cast<uint8_t>(s))) return code;
    }
    for (int l = 0; l < 2; ++l) {
        if (int16_t code = AttachLink(entry, l, block.slabs[l + 1], block.slabs[l], weightRange)) return code;
    }
    // Only the momentum rule takes the file's changes; the batch and adaptive
    // rules keep the changes their links were made with.
    const bool withChanges = NetTypeOf(entry.netType).shellGivesChanges;
    for (int l = 0; l < 2; ++l) {
        const int16_t code = ReadBlock(file, row.data(), units[l], units[l + 1], block.links[l], withChanges);
        if (code != KORU32_OK) return code;
    }
    return file.Close() ? KORU32_OK : KORU32_ERR_SHELL_FILE;
}

}  // namespace koru
