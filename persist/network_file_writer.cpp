// SaveNet: the header from the net's entry and records, then the count
// arrays, the link arrays and the caller's bytes, each as one write. The net
// itself is only read.
#include "core/engine.h"
#include "persist/array_io.h"
#include "persist/little_endian.h"
#include "persist/network_file.h"
#include "persist/network_file_layout.h"

namespace koru {

namespace nf = network_file;

// The format field holds the net's own format number.
static_assert(nf::kFileFixed824 == kFixed824 && nf::kFileFloat32 == kFloat32);

namespace {

void AssembleHeader(const NetEntry& entry, uint8_t (&header)[nf::kHeaderBytes]) {
    for (uint8_t& byte : header) byte = 0;  // slabs and links not in use stay 0
    const NetBlock& block = *entry.block;
    PutU16(header + nf::kSlabTableSize, kSlabsPerNet);
    PutU16(header + nf::kLinkTableSize, kLinksPerNet);
    PutU16(header + nf::kNetType, entry.netType);
    PutU16(header + nf::kParadigm, entry.paradigm);
    PutU16(header + nf::kVariant, entry.variant);
    PutU16(header + nf::kFormat, entry.format);
    PutU16(header + nf::kPatternCount, static_cast<uint16_t>(entry.patternCount));

    uint16_t slabsInUse = 0;
    for (int s = 0; s < kSlabsPerNet; ++s) {
        if (block.slabUsed[s] == 0) continue;
        const SlabRecord& slab = block.slabs[s];
        PutU16(header + nf::Entry16(nf::kNeuronCounts, s), static_cast<uint16_t>(slab.NeuronCount()));
        PutU16(header + nf::Entry16(nf::kKinds, s), slab.kind);
        PutU16(header + nf::Entry16(nf::kTransfers, s), static_cast<uint16_t>(int16_t{slab.transfer}));
        ++slabsInUse;
    }
    uint16_t linksInUse = 0;
    for (int l = 0; l < kLinksPerNet; ++l) {
        if (block.linkUsed[l] == 0) continue;
        const LinkRecord& link = block.links[l];
        // A link's slabs are records of this very block, so their distance
        // from the first slab record is their slab number.
        PutU16(header + nf::Entry16(nf::kStatuses, l), link.status);
        PutU16(header + nf::Entry16(nf::kSources, l), static_cast<uint16_t>(link.source - block.slabs));
        PutU16(header + nf::Entry16(nf::kDests, l), static_cast<uint16_t>(link.dest - block.slabs));
        PutU32(header + nf::Entry32(nf::kWeightCounts, l), link.weights->count);
        ++linksInUse;
    }
    PutU16(header + nf::kSlabsInUse, slabsInUse);
    PutU16(header + nf::kLinksInUse, linksInUse);
}

}  // namespace

// A link whose status is 0 is written like any other link in use: its status
// entry is 0 but its weight count is not, which is how the reader tells it
// from a link not in use and gives it back its data (see the reader).
int16_t SaveNetwork(int16_t net, const char* name, int32_t length, const void* bytes) {
    if (!IsValidNetNumber(net)) return KORU32_ERR_BAD_NET_NUMBER;
    const NetEntry& entry = netTable[net];
    if (entry.paradigm == 0) return KORU32_ERR_NET_NOT_IN_USE;
    // A negative length is a caller's mistake, not "no bytes": refused with
    // the export's one failure code before the file is created, so that an
    // existing file of that name keeps its contents.
    if (length < 0) return KORU32_ERR_SAVE_FILE;

    uint8_t header[nf::kHeaderBytes];
    AssembleHeader(entry, header);

    // A failure below leaves a partial file behind; the net is untouched.
    OpenFile file(platform::CreateFileForWriting(name));
    if (!file.IsOpen()) return KORU32_ERR_SAVE_FILE;
    if (!file.WriteAll(header, sizeof header)) return KORU32_ERR_SAVE_FILE;

    const NetBlock& block = *entry.block;
    for (int s = 0; s < kSlabsPerNet; ++s) {
        if (block.slabUsed[s] == 0) continue;
        const SlabRecord& slab = block.slabs[s];
        if (!nf::CarriesCounts(entry.paradigm, slab.kind) || slab.deltas == nullptr) continue;
        if (!WriteArrayElements(file, *slab.deltas)) return KORU32_ERR_SAVE_FILE;
    }
    const bool withChanges = nf::SavesChanges(entry.netType);
    for (int l = 0; l < kLinksPerNet; ++l) {
        if (block.linkUsed[l] == 0) continue;
        const LinkRecord& link = block.links[l];
        if (!WriteArrayElements(file, *link.weights)) return KORU32_ERR_SAVE_FILE;
        // Every link of a momentum or batch net has its changes.
        if (withChanges && link.changes != nullptr && !WriteArrayElements(file, *link.changes)) {
            return KORU32_ERR_SAVE_FILE;
        }
    }
    if (bytes != nullptr && length > 0 && !file.WriteAll(bytes, static_cast<uint32_t>(length))) {
        return KORU32_ERR_SAVE_FILE;
    }
    return file.Close() ? KORU32_OK : KORU32_ERR_SAVE_FILE;
}

}  // namespace koru
