// model_file.cpp - the network file with the front end's metadata.
#include "model_file.h"

#include "cli_error.h"
#include "paradigm.h"
#include "pending_file.h"

#include <koru32.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <vector>

namespace koru_cli {

namespace {

// The last line of the metadata text, written by every save since the check
// was added: "crc32=" and the CRC-32 (the polynomial of zlib's crc32, so
// zlib.crc32 reproduces it) of every byte of the file before this line, as
// 8 lowercase hex digits. It covers the net and the rest of the metadata.
constexpr char kChecksumKey[] = "crc32=";
constexpr size_t kChecksumLine = sizeof kChecksumKey - 1 + 8 + 1;

uint32_t Crc32(const char* data, size_t size) {
    static const auto table = [] {
        std::array<uint32_t, 256> entries{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            entries[n] = c;
        }
        return entries;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc = table[(crc ^ static_cast<unsigned char>(data[i])) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

std::string Hex8(uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(value));
    return text;
}

// Fills in the checksum of a file just written with "crc32=00000000" as the
// last line of its metadata.
void WriteChecksum(const std::string& path, const std::string& fileName) {
    std::string bytes = ReadWholeFile(path);
    const size_t at = bytes.size() - kTrailerSize - kChecksumLine;
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(at + sizeof kChecksumKey - 1));
    file << Hex8(Crc32(bytes.data(), at));
    file.close();
    if (!file) {
        throw CliError(fileName + ": cannot write the network file" + SystemReason(errno));
    }
}

// Checks the checksum line of a file's metadata `text`, which starts at byte
// `textStart` of the file's `bytes`. Files written before the check have no
// such line and are taken as they are.
void VerifyChecksum(const std::string& bytes, size_t textStart, const std::string& text,
                    const std::string& fileName) {
    size_t lineStart = text.size() >= kChecksumLine ? text.size() - kChecksumLine : 0;
    bool hasLine = text.size() >= kChecksumLine && text.compare(lineStart, sizeof kChecksumKey - 1, kChecksumKey) == 0 &&
                   (lineStart == 0 || text[lineStart - 1] == '\n') && text.back() == '\n';
    if (!hasLine) {
        // A checksum anywhere but on a whole last line means damage (a lost
        // line end, say), not an earlier version's file.
        if (text.find(kChecksumKey) != std::string::npos) {
            throw CliError(fileName + ": a damaged koru model (its checksum line is out of place)");
        }
        return;
    }
    std::string stored = text.substr(lineStart + sizeof kChecksumKey - 1, 8);
    if (stored != Hex8(Crc32(bytes.data(), textStart + lineStart))) {
        throw CliError(fileName + ": a damaged koru model (its contents do not match its checksum)");
    }
}

}  // namespace

void SaveModel(const NetSlot& slot, const ModelMetadata& metadata, const std::string& fileName) {
    std::string bytes = PackCallerBytes(EncodeMetadata(metadata) + kChecksumKey + "00000000\n");
    int32_t length = static_cast<int32_t>(bytes.size());
    PendingFile pending(fileName);
    errno = 0;
    int16_t code = SaveNet(slot.Net(), pending.TempPath().c_str(), &length, bytes.data());
    if (code != KORU32_OK) {
        // The library reports a code; the system's reason (a full disk, a
        // file size limit) is still in errno.
        int error = errno;
        throw CliError(fileName + ": cannot write the network file (SaveNet: code " + std::to_string(code) +
                       ", " + ResultText(code) + ")" + SystemReason(error));
    }
    WriteChecksum(pending.TempPath(), fileName);
    pending.Commit();
}

void NetChecker::Mismatch(const std::string& what) const {
    throw CliError(file_ + ": the metadata does not fit the net (" + what + ")");
}

int NetChecker::SlabSize(int slab) const {
    return static_cast<int16_t>(layout_.slabs[slab].neurons) > 0 ? layout_.slabs[slab].neurons : 0;
}

int NetChecker::SlabKind(int slab) const {
    return layout_.slabs[slab].kind;
}

void NetChecker::ExpectSlab(int slab, size_t neurons, int kind) const {
    if (SlabSize(slab) != static_cast<int>(neurons) || SlabKind(slab) != kind) {
        Mismatch("slab " + std::to_string(slab) + " should be of kind " + std::to_string(kind) + " with " +
                 std::to_string(neurons) + " neurons");
    }
}

void NetChecker::ExpectLink(int link, int source, int dest) const {
    const FileLink& record = layout_.links[link];
    if (record.weights == 0 || record.source != source || record.dest != dest) {
        Mismatch("link " + std::to_string(link) + " should run from slab " + std::to_string(source) + " to slab " +
                 std::to_string(dest));
    }
}

void CheckMetadataFitsNet(const ModelMetadata& metadata, const NetworkFileLayout& layout,
                          const std::string& fileName) {
    NetChecker net(layout, fileName);
    const ParadigmModule& paradigm = *metadata.paradigm;
    if (layout.paradigm != paradigm.EngineParadigm()) {
        net.Mismatch(std::string("metadata for ") + paradigm.Name() + ", a net of paradigm " +
                     std::to_string(layout.paradigm));
    }
    if (!paradigm.Supports(metadata.task)) {
        net.Mismatch(std::string("a ") + paradigm.Name() + " model cannot " + TaskName(metadata.task));
    }
    net.ExpectSlab(0, metadata.inputColumns.size(), KORU32_SLAB_INPUT);
    paradigm.CheckNet(metadata, net);
}

namespace {

// The first bytes of a file (fewer when it is shorter), or none when it
// cannot be read: the reading itself reports that.
std::string FileStart(const std::string& fileName) {
    std::ifstream file(fileName, std::ios::binary);
    char bytes[512];
    file.read(bytes, sizeof bytes);
    return std::string(bytes, static_cast<size_t>(std::max<std::streamsize>(file.gcount(), 0)));
}

bool StartsLikeNetworkFile(const std::string& start) {
    return start.size() >= 4 && start.compare(0, 4, std::string("\x20\x00\x20\x00", 4)) == 0;
}

bool StartsLikeText(const std::string& start) {
    return !start.empty() && start.find('\0') == std::string::npos &&
           start.find_first_of(",\n") != std::string::npos;
}

}  // namespace

void CheckModelAndData(const std::string& modelFile, const std::string& dataFile, const std::string& command) {
    const std::string usage = "; usage: koru " + command + " MODEL.net DATA.csv";
    const std::string model = FileStart(modelFile);
    if (!StartsLikeNetworkFile(model) && StartsLikeText(model)) {
        throw CliError(modelFile + " looks like a CSV file, not a model" + usage);
    }
    if (StartsLikeNetworkFile(FileStart(dataFile))) {
        throw CliError(dataFile + " looks like a network file, not CSV data" + usage);
    }
}

Model LoadModel(const std::string& fileName, bool requireMetadata) {
    Model model;
    const std::string file = ReadWholeFile(fileName);
    model.layout = InspectNetworkBytes(file, fileName);
    if (requireMetadata && model.layout.metadataLength < 0) {
        throw CliError(fileName + ": a network file without koru metadata (not made by 'koru train', or "
                       "truncated); 'koru info' can describe it");
    }
    std::string text;
    if (model.layout.metadataLength >= 0) {
        text = file.substr(model.layout.netBytes, static_cast<size_t>(model.layout.metadataLength));
        VerifyChecksum(file, model.layout.netBytes, text, fileName);
    }
    std::string bytes;
    int32_t length = 0;
    if (model.layout.metadataLength >= 0) {
        bytes.resize(model.layout.callerBytes);
        length = static_cast<int32_t>(bytes.size());
    }
    model.slot = std::make_unique<NetSlot>();
    int16_t code = RestoreNet(model.slot->Net(), fileName.c_str(), &length, length > 0 ? bytes.data() : nullptr);
    if (code != KORU32_OK) {
        throw CliError(fileName + ": not a network file, or a damaged one (RestoreNet: code " +
                       std::to_string(code) + ", " + ResultText(code) + ")");
    }
    if (model.layout.metadataLength >= 0) {
        const uint16_t engineParadigm = model.layout.paradigm;
        model.metadata = DecodeMetadata(text, fileName, [&](const ParadigmModule& paradigm) {
            if (paradigm.EngineParadigm() != engineParadigm) {
                NetChecker(model.layout, fileName)
                    .Mismatch(std::string("metadata for ") + paradigm.Name() + ", a net of paradigm " +
                              std::to_string(engineParadigm));
            }
        });
        model.hasMetadata = true;
        CheckMetadataFitsNet(model.metadata, model.layout, fileName);
    }
    return model;
}

}  // namespace koru_cli
