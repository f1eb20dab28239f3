// network_file.cpp - reading a network file's header and finding its end.
#include "network_file.h"

#include <koru32.h>

#include <fstream>
#include <sstream>

#include "cli_error.h"
#include "model_metadata.h"

namespace koru_cli {

namespace nf = koru::network_file;

namespace {

uint16_t U16(const unsigned char* at) { return static_cast<uint16_t>(at[0] | (at[1] << 8)); }

uint32_t U32(const unsigned char* at) {
    return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) |
           (static_cast<uint32_t>(at[2]) << 16) | (static_cast<uint32_t>(at[3]) << 24);
}

}  // namespace

bool SlabKeepsCounts(uint16_t paradigm, int16_t kind) { return nf::CarriesCounts(paradigm, kind); }

uint64_t DataSectionSize(const NetworkFileLayout& layout) {
    uint64_t size = 0;
    for (const FileSlab& slab : layout.slabs) {
        if (static_cast<int16_t>(slab.neurons) > 0 && SlabKeepsCounts(layout.paradigm, slab.kind)) {
            size += uint64_t{nf::kElementBytes} * slab.neurons;
        }
    }
    // The momentum and batch rules keep a change per weight beside it.
    const bool withChanges = nf::SavesChanges(layout.netType);
    for (const FileLink& link : layout.links) {
        if (link.weights > 0) {
            size += uint64_t{nf::kElementBytes} * link.weights * (withChanges ? 2 : 1);
        }
    }
    return size;
}

std::string ReadWholeFile(const std::string& fileName) {
    std::ifstream file(fileName, std::ios::binary);
    if (!file) {
        throw CliError(fileName + ": cannot open the file");
    }
    std::ostringstream bytes;
    bytes << file.rdbuf();
    if (file.bad()) {
        throw CliError(fileName + ": cannot read the file");
    }
    return bytes.str();
}

bool LooksLikeKoruModel(const std::string& bytes) {
    const size_t magic = sizeof kTrailerMagic - 1;
    return bytes.find(kMetadataStart, kHeaderSize) != std::string::npos ||
           (bytes.size() >= magic && bytes.compare(bytes.size() - magic, magic, kTrailerMagic) == 0);
}

NetworkFileLayout InspectNetworkFile(const std::string& fileName) {
    return InspectNetworkBytes(ReadWholeFile(fileName), fileName);
}

namespace {

// A file that holds koru's metadata text or its trailer was made by `koru
// train`: whatever is wrong with it, it was damaged or cut short.
CliError NotNetwork(const std::string& fileName, bool koruModel, const std::string& why) {
    return CliError(fileName +
                    (koruModel ? ": a truncated or damaged koru model (" : ": not a network file (") + why +
                    ")");
}

// The net type, paradigm and format of the header, checked.
void ReadNetKind(const unsigned char* header, NetworkFileLayout& layout, const std::string& fileName,
                 bool koruModel) {
    if (U16(header + nf::kSlabTableSize) != kTableSize || U16(header + nf::kLinkTableSize) != kTableSize) {
        throw NotNetwork(fileName, koruModel, "its table sizes are not 32 and 32");
    }
    layout.netType = U16(header + nf::kNetType);
    layout.paradigm = U16(header + nf::kParadigm);
    layout.variant = U16(header + nf::kVariant);
    layout.format = U16(header + nf::kFormat);
    layout.patternCount = U16(header + nf::kPatternCount);
    if (koru::FindNetType(layout.netType) == nullptr) {
        throw NotNetwork(fileName, koruModel, "net type " + std::to_string(layout.netType));
    }
    if (koru::FindParadigm(layout.paradigm) == nullptr) {
        throw NotNetwork(fileName, koruModel, "paradigm " + std::to_string(layout.paradigm));
    }
    if (layout.format != nf::kFileFixed824 && layout.format != nf::kFileFloat32) {
        throw NotNetwork(fileName, koruModel, "number format " + std::to_string(layout.format));
    }
}

// The slab and link tables of the header; a slab in use must have a kind.
void ReadTables(const unsigned char* header, NetworkFileLayout& layout, const std::string& fileName,
                bool koruModel) {
    for (int i = 0; i < kTableSize; ++i) {
        FileSlab& slab = layout.slabs[i];
        slab.neurons = U16(header + nf::Entry16(nf::kNeuronCounts, i));
        slab.kind = static_cast<int16_t>(U16(header + nf::Entry16(nf::kKinds, i)));
        slab.transfer = static_cast<int16_t>(U16(header + nf::Entry16(nf::kTransfers, i)));
        if (static_cast<int16_t>(slab.neurons) > 0 &&
            (slab.kind < KORU32_SLAB_INPUT || slab.kind > KORU32_SLAB_OUTPUT)) {
            throw NotNetwork(fileName, koruModel,
                             "slab " + std::to_string(i) + " has kind " + std::to_string(slab.kind));
        }
        FileLink& link = layout.links[i];
        link.status = U16(header + nf::Entry16(nf::kStatuses, i));
        link.source = U16(header + nf::Entry16(nf::kSources, i));
        link.dest = U16(header + nf::Entry16(nf::kDests, i));
        link.weights = U32(header + nf::Entry32(nf::kWeightCounts, i));
    }
}

}  // namespace

NetworkFileLayout InspectNetworkBytes(const std::string& bytes, const std::string& fileName) {
    const bool koruModel = LooksLikeKoruModel(bytes);
    NetworkFileLayout layout;
    layout.fileSize = bytes.size();
    if (layout.fileSize < kHeaderSize) {
        throw CliError(fileName + ": not a network file, or a truncated one (it is shorter than the " +
                       std::to_string(kHeaderSize) + "-byte header)");
    }
    const auto* header = reinterpret_cast<const unsigned char*>(bytes.data());
    ReadNetKind(header, layout, fileName, koruModel);
    ReadTables(header, layout, fileName, koruModel);
    layout.netBytes = kHeaderSize + DataSectionSize(layout);
    if (layout.fileSize < layout.netBytes) {
        // The header is sound, so this is a network file that was cut short.
        throw CliError(fileName + ": a truncated or damaged network file (it ends before the " +
                       std::to_string(layout.netBytes) + " bytes its header calls for)");
    }
    layout.callerBytes = layout.fileSize - layout.netBytes;
    if (layout.callerBytes >= kTrailerSize) {
        int64_t length = ReadTrailer(header + layout.fileSize - kTrailerSize);
        if (length >= 0 && static_cast<uint64_t>(length) + kTrailerSize == layout.callerBytes) {
            layout.metadataLength = length;
        }
    }
    if (layout.metadataLength < 0 && koruModel) {
        throw NotNetwork(fileName, koruModel, "its metadata is cut short or its end marker is damaged");
    }
    return layout;
}

}  // namespace koru_cli
