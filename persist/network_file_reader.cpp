// RestoreNet: the header is checked, the net is rebuilt by the engine's
// builder (the same calls, checks and codes as MakeNet, MakeSlab, Transfer
// and MakeLink) and the arrays it made are then overwritten with the file's
// data.
//
// What a failed restore leaves behind:
// - a negative length of caller bytes: 41 before the file is opened; the
//   slot stays free and the math mode is not touched;
// - a file that cannot be opened, a header that is short, whose table sizes
//   are not 32 and 32, that gives a slab a negative neuron count (a count
//   above 32767) or a link a status outside 0..2: 41, before MakeNet; the
//   slot stays free;
// - anything that goes wrong while the net is being rebuilt or its arrays
//   read (a construction call's code, a paradigm other than the net type's,
//   a weight count other than that of the rebuilt link, a data section that
//   ends early): the code, and the half-built net is removed again, so the
//   slot is free as before the call. A net with random weights where the
//   file's should be is of no use to anyone, and a caller who does call
//   KillNet afterwards merely gets 5. A file shorter than the data section
//   its header announces is refused with 41 right after MakeNet, before a
//   slab or link is made, so that nothing is allocated for data that is
//   not there;
// - once the net is complete, a short read of the caller's bytes or a failed
//   close gives 41 and leaves the restored net in the slot for the caller
//   to use or kill (the caller's buffer then holds the bytes that were
//   there, never more than `length`).
// The math mode follows the file's format in every case once the header has
// been accepted. Each link made sets the weight range to 0, the range its
// weights are drawn from before the file's replace them, as MakeLink would.
#include "core/engine.h"
#include "core/net_build.h"
#include "persist/array_io.h"
#include "persist/little_endian.h"
#include "persist/network_file.h"
#include "persist/network_file_layout.h"

namespace koru {

namespace nf = network_file;

static_assert(nf::kTableEntries == kSlabsPerNet && nf::kTableEntries == kLinksPerNet);

namespace {

uint16_t U16At(const uint8_t* header, uint32_t offset) { return GetU16(header + offset); }
int16_t I16At(const uint8_t* header, uint32_t offset) { return GetI16(header + offset); }

// A link the file holds data for. Every link in use has at least one
// weight, so its weight count is never 0; a link of status 0 in use is told
// from a link not in use by that count alone. Reading it back (rather than
// skipping links of status 0 as their status suggests) keeps every later
// link's arrays where they belong.
bool LinkInFile(const uint8_t* header, int l) {
    return I16At(header, nf::Entry16(nf::kStatuses, l)) > 0 ||
           GetU32(header + nf::Entry32(nf::kWeightCounts, l)) != 0;
}

bool HeaderIsSound(const uint8_t* header) {
    if (U16At(header, nf::kSlabTableSize) != kSlabsPerNet || U16At(header, nf::kLinkTableSize) != kLinksPerNet) {
        return false;
    }
    // Neuron counts are signed 16-bit numbers: a count above 32767 reads as
    // negative and was never written by a save.
    for (int s = 0; s < kSlabsPerNet; ++s) {
        if (I16At(header, nf::Entry16(nf::kNeuronCounts, s)) < 0) return false;
    }
    for (int l = 0; l < kLinksPerNet; ++l) {
        const int16_t status = I16At(header, nf::Entry16(nf::kStatuses, l));
        if (status < KORU32_LINK_IGNORED || status > KORU32_LINK_TRAINED) return false;
    }
    return true;
}

// Whether a link's weight count is the one its two slabs, as the header
// gives them, make: the bias row in backpropagation, one row per source
// neuron, one column per destination neuron. Judged before MakeLink so that
// a header contradicting itself costs no allocation; slab numbers that are
// out of range or name no slab are left for MakeLink to report.
bool WeightCountFits(const uint8_t* header, uint16_t paradigm, int16_t source, int16_t dest, uint32_t weights) {
    if (source < 0 || source >= kSlabsPerNet || dest < 0 || dest >= kSlabsPerNet) return true;
    const int16_t sourceNeurons = I16At(header, nf::Entry16(nf::kNeuronCounts, source));
    const int16_t destNeurons = I16At(header, nf::Entry16(nf::kNeuronCounts, dest));
    if (sourceNeurons <= 0 || destNeurons <= 0) return true;
    const uint32_t rows = static_cast<uint32_t>(sourceNeurons) + (paradigm == KORU32_PARADIGM_BACKPROP ? 1 : 0);
    return weights == rows * static_cast<uint32_t>(destNeurons);
}

// Bytes of the data section that the header announces: the count arrays of
// the slabs that carry them and every link's weights, with its changes in
// the rules that save them. A file shorter than that is refused before the
// net gets a slab, so that a header alone cannot have links of gigabytes
// allocated for data that is not there.
uint64_t DataSectionBytes(const uint8_t* header) {
    const uint16_t paradigm = U16At(header, nf::kParadigm);
    uint64_t elements = 0;
    for (int s = 0; s < kSlabsPerNet; ++s) {
        const int16_t neurons = I16At(header, nf::Entry16(nf::kNeuronCounts, s));
        const int16_t kind = I16At(header, nf::Entry16(nf::kKinds, s));
        if (neurons > 0 && kind >= 0 && kind <= KORU32_SLAB_OUTPUT &&
            nf::CarriesCounts(paradigm, static_cast<uint8_t>(kind))) {
            elements += static_cast<uint64_t>(neurons);
        }
    }
    const uint64_t copies = nf::SavesChanges(U16At(header, nf::kNetType)) ? 2 : 1;
    for (int l = 0; l < kLinksPerNet; ++l) {
        if (LinkInFile(header, l)) elements += copies * GetU32(header + nf::Entry32(nf::kWeightCounts, l));
    }
    return elements * nf::kElementBytes;
}

// `bytesLeft` is what the file holds after the header, -1 when unknown.
int16_t RebuildNet(int16_t net, const uint8_t* header, int64_t bytesLeft, uint16_t fileFormat, double& weightRange) {
    const uint16_t type = U16At(header, nf::kNetType);
    if (int16_t code = BuildNet(net, type, fileFormat)) return code;
    NetEntry& entry = netTable[net];
    // The paradigm decides which slabs carry count arrays; one that is not
    // the net type's own could send them into slabs that keep no counts.
    if (entry.paradigm != U16At(header, nf::kParadigm)) return KORU32_ERR_RESTORE_FILE;
    if (bytesLeft >= 0 && static_cast<uint64_t>(bytesLeft) < DataSectionBytes(header)) {
        return KORU32_ERR_RESTORE_FILE;
    }

    for (int s = 0; s < kSlabsPerNet; ++s) {
        const int16_t neurons = I16At(header, nf::Entry16(nf::kNeuronCounts, s));
        if (neurons == 0) continue;  // not in use
        const auto slab = static_cast<int16_t>(s);
        const int16_t kind = I16At(header, nf::Entry16(nf::kKinds, s));
        if (int16_t code = BuildSlab(net, slab, neurons, kind)) return code;
        if (entry.paradigm == KORU32_PARADIGM_BACKPROP) {
            const int16_t transfer = I16At(header, nf::Entry16(nf::kTransfers, s));
            if (int16_t code = SetSlabTransfer(net, slab, transfer)) return code;
        }
    }

    for (int l = 0; l < kLinksPerNet; ++l) {
        if (!LinkInFile(header, l)) continue;
        const auto link = static_cast<int16_t>(l);
        const float range = 0.0f;
        const auto source = static_cast<int16_t>(U16At(header, nf::Entry16(nf::kSources, l)));
        const auto dest = static_cast<int16_t>(U16At(header, nf::Entry16(nf::kDests, l)));
        const uint32_t weights = GetU32(header + nf::Entry32(nf::kWeightCounts, l));
        if (!WeightCountFits(header, entry.paradigm, source, dest, weights)) return KORU32_ERR_RESTORE_FILE;
        if (int16_t code = BuildLink(net, link, range, source, dest, weightRange)) return code;
        LinkRecord& record = entry.block->links[l];
        // The data section is read into the arrays just made; a count that
        // differs from theirs would put data where it does not belong.
        if (record.weights->count != weights) return KORU32_ERR_RESTORE_FILE;
        // The link keeps the status it was saved with, so that a link that
        // was ignored, or propagated without training, stays so.
        record.status = static_cast<uint8_t>(I16At(header, nf::Entry16(nf::kStatuses, l)));
    }
    entry.patternCount = I16At(header, nf::kPatternCount);
    return KORU32_OK;
}

// The count arrays, then the link arrays, exactly as many elements as each
// rebuilt array holds.
int16_t ReadDataSection(int16_t net, OpenFile& file, int16_t fileFormat) {
    const NetEntry& entry = netTable[net];
    NetBlock& block = *entry.block;
    for (int s = 0; s < kSlabsPerNet; ++s) {
        if (block.slabUsed[s] == 0) continue;
        SlabRecord& slab = block.slabs[s];
        if (!nf::CarriesCounts(entry.paradigm, slab.kind) || slab.deltas == nullptr) continue;
        if (!ReadArrayElements(file, *slab.deltas, fileFormat)) return KORU32_ERR_RESTORE_FILE;
    }
    const bool withChanges = nf::SavesChanges(entry.netType);
    for (int l = 0; l < kLinksPerNet; ++l) {
        if (block.linkUsed[l] == 0) continue;
        LinkRecord& link = block.links[l];
        if (!ReadArrayElements(file, *link.weights, fileFormat)) return KORU32_ERR_RESTORE_FILE;
        if (withChanges && link.changes != nullptr && !ReadArrayElements(file, *link.changes, fileFormat)) {
            return KORU32_ERR_RESTORE_FILE;
        }
    }
    return KORU32_OK;
}

}  // namespace

int16_t RestoreNetwork(int16_t net, const char* name, int32_t length, void* bytes, uint16_t& mathMode,
                       double& weightRange) {
    if (!IsValidNetNumber(net)) return KORU32_ERR_BAD_NET_NUMBER;
    if (netTable[net].paradigm != 0) return KORU32_ERR_NET_IN_USE;
    // As in SaveNet, a negative length is refused, here before the file is
    // opened and before the math mode is touched: the slot stays free.
    if (length < 0) return KORU32_ERR_RESTORE_FILE;

    OpenFile file(platform::OpenFileForReading(name));
    if (!file.IsOpen()) return KORU32_ERR_RESTORE_FILE;
    uint8_t header[nf::kHeaderBytes];
    if (!file.ReadAll(header, sizeof header) || !HeaderIsSound(header)) return KORU32_ERR_RESTORE_FILE;

    // Format 0 is 8.24; any other value is taken as float32. The elements of
    // the file are in that format. Backpropagation and LVQ nets are rebuilt
    // in it and their elements copied as they are, bit for bit; PNN and GRNN
    // nets are always float32, so an 8.24 file of theirs (written where no
    // floating-point unit was found) has each element converted on the way.
    const bool fixedFile = U16At(header, nf::kFormat) == nf::kFileFixed824;
    const int16_t fileFormat = fixedFile ? kFixed824 : kFloat32;

    int16_t code = RebuildNet(net, header, file.BytesLeft(), static_cast<uint16_t>(fileFormat), weightRange);
    if (code == KORU32_OK) code = ReadDataSection(net, file, fileFormat);
    // The lookups inside the builder set the net's own format as the mode,
    // which for a PNN or GRNN net differs from an 8.24 file's; the mode is
    // left as the file's all the same.
    mathMode = static_cast<uint16_t>(fileFormat);
    if (code != KORU32_OK) {
        if (netTable[net].paradigm != 0) DestroyNet(net);
        return code;
    }

    if (bytes != nullptr && length > 0 && !file.ReadAll(bytes, static_cast<uint32_t>(length))) {
        return KORU32_ERR_RESTORE_FILE;
    }
    return file.Close() ? KORU32_OK : KORU32_ERR_RESTORE_FILE;
}

}  // namespace koru
