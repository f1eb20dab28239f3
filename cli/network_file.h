// network_file.h - the front end's reading of a network file's layout.
//
// The library restores a net from a file but tells nothing of its shape, and
// it needs to be told how many caller bytes to read back. So the front end
// reads the file's 530-byte header itself (the file layout is public: the
// table sizes, the net type, paradigm, variant and number format, then per
// slab its neuron count, kind and transfer code, per link its status, source,
// destination and weight count, then the pattern count), works out where the
// net's data ends, and looks for its metadata trailer in what follows.
#ifndef KORU_CLI_NETWORK_FILE_H
#define KORU_CLI_NETWORK_FILE_H

#include <cstdint>
#include <string>

#include "persist/network_file_layout.h"

namespace koru_cli {

inline constexpr size_t kHeaderSize = koru::network_file::kHeaderBytes;
inline constexpr int kTableSize = koru::network_file::kTableEntries;

struct FileSlab {
    uint16_t neurons = 0;  // 0: not in use
    int16_t kind = 0;
    int16_t transfer = 0;
};

struct FileLink {
    uint16_t status = 0;
    uint16_t source = 0;
    uint16_t dest = 0;
    uint32_t weights = 0;  // 0: not in use
};

struct NetworkFileLayout {
    uint16_t netType = 0;
    uint16_t paradigm = 0;
    uint16_t variant = 0;
    uint16_t format = 0;
    uint16_t patternCount = 0;
    FileSlab slabs[kTableSize];
    FileLink links[kTableSize];
    uint64_t fileSize = 0;
    uint64_t netBytes = 0;        // header and data section
    uint64_t callerBytes = 0;     // what follows the net's data
    int64_t metadataLength = -1;  // text length announced by a trailer, or -1
};

// Reads and checks the layout; throws CliError "FILE: not a network file
// (why)" for a file that is too short, has other table sizes, names an
// unknown net type, paradigm, format or slab kind; "FILE: a truncated or
// damaged network file (why)" for one that ends before its data; and "FILE: a
// truncated or damaged koru model (why)" for any fault of a file that holds
// koru's metadata text or trailer (LooksLikeKoruModel), including a trailer
// that is cut short or does not fit.
NetworkFileLayout InspectNetworkFile(const std::string& fileName);
// The same for the file's bytes, read already.
NetworkFileLayout InspectNetworkBytes(const std::string& bytes, const std::string& fileName);

// The whole file; CliError "FILE: cannot open the file" and the like.
std::string ReadWholeFile(const std::string& fileName);

// Whether the bytes hold, past the header, the first line of koru's metadata
// or end in its trailer's magic: then the file was made by `koru train`.
bool LooksLikeKoruModel(const std::string& bytes);

// Whether a slab of `kind` in a net of `paradigm` keeps per-neuron counts
// in the file: the class counts of a PNN output slab, the unit counts of a
// GRNN pattern slab.
bool SlabKeepsCounts(uint16_t paradigm, int16_t kind);

// The data-section bytes a layout's header calls for (without the header).
uint64_t DataSectionSize(const NetworkFileLayout& layout);

}  // namespace koru_cli

#endif
