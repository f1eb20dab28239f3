// command_info.cpp - `koru info MODEL.net`: what a network file holds.
//
// The net's shape comes from the file's header (the library has no export
// that describes a net); the net is also restored with RestoreNet, so a file
// the library cannot rebuild is reported, and pattern-unit nets show their
// counts as GetCounts returns them.
#include "paradigms/bp_options.h"
#include "commands.h"
#include "model_file.h"

#include <koru32.h>

#include <vector>

namespace koru_cli {

namespace {

const char* NetTypeName(uint16_t type) {
    switch (type) {
        case KORU32_NET_BP_PLAIN: return "backpropagation, plain steps";
        case KORU32_NET_BP_MOMENTUM: return "backpropagation, momentum";
        case KORU32_NET_BP_BATCH: return "backpropagation, batch";
        case KORU32_NET_BP_ADAPTIVE: return "backpropagation, adaptive step sizes";
        case KORU32_NET_LVQ_DISTANCE: return "LVQ, squared distance";
        case KORU32_NET_LVQ_DOT: return "LVQ, dot product";
        case KORU32_NET_PNN_DISTANCE: return "PNN, squared distance";
        case KORU32_NET_PNN_DOT: return "PNN, dot product";
        case KORU32_NET_PNN_CITY_BLOCK: return "PNN, city-block distance";
        case KORU32_NET_GRNN_DISTANCE: return "GRNN, squared distance";
        case KORU32_NET_GRNN_CITY_BLOCK: return "GRNN, city-block distance";
        default: return "unknown";
    }
}

const char* KindName(int16_t kind) {
    switch (kind) {
        case KORU32_SLAB_INPUT: return "input";
        case KORU32_SLAB_HIDDEN: return "hidden";
        case KORU32_SLAB_OUTPUT: return "output";
        default: return "unknown";
    }
}

const char* StatusName(uint16_t status) {
    switch (status) {
        case KORU32_LINK_IGNORED: return "ignored";
        case KORU32_LINK_PROPAGATED: return "propagated only";
        case KORU32_LINK_TRAINED: return "propagated and trained";
        default: return "unknown";
    }
}

std::string Join(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) {
        out += out.empty() ? "" : ", ";
        out += item;
    }
    return out;
}

void PrintSlabs(const Model& model, std::ostream& out) {
    const NetworkFileLayout& layout = model.layout;
    out << "slabs:\n";
    for (int16_t slab = 0; slab < kTableSize; ++slab) {
        const FileSlab& record = layout.slabs[slab];
        if (static_cast<int16_t>(record.neurons) <= 0) {
            continue;
        }
        out << "  slab " << slab << ": " << KindName(record.kind) << ", " << record.neurons << " neurons";
        if (layout.paradigm == KORU32_PARADIGM_BACKPROP && record.kind != KORU32_SLAB_INPUT) {
            out << ", transfer " << TransferName(record.transfer);
        }
        if (SlabKeepsCounts(layout.paradigm, record.kind) && record.neurons <= 16) {
            std::vector<float> counts(record.neurons + 1u);
            if (GetCounts(model.slot->Net(), &slab, counts.data()) == KORU32_OK) {
                out << ", counts";
                for (size_t i = 1; i < counts.size(); ++i) {
                    out << " " << counts[i];
                }
            }
        }
        out << "\n";
    }
}

void PrintLinks(const NetworkFileLayout& layout, std::ostream& out) {
    out << "links:\n";
    for (int link = 0; link < kTableSize; ++link) {
        const FileLink& record = layout.links[link];
        if (record.weights == 0) {
            continue;
        }
        uint32_t sources = layout.slabs[record.source % kTableSize].neurons;
        uint32_t dests = layout.slabs[record.dest % kTableSize].neurons;
        bool bias = layout.paradigm == KORU32_PARADIGM_BACKPROP;
        out << "  link " << link << ": slab " << record.source << " -> slab " << record.dest << ", ";
        if (dests > 0 && record.weights % dests == 0) {
            out << record.weights / dests << " x " << dests << " weights";
            if (bias && record.weights / dests == sources + 1) {
                out << " (bias row first)";
            }
        } else {
            out << record.weights << " weights";
        }
        out << ", status " << record.status << " (" << StatusName(record.status) << ")\n";
    }
}

void PrintMetadata(const ModelMetadata& metadata, std::ostream& out) {
    out << "metadata:\n";
    out << "  paradigm: " << metadata.paradigm->Name() << "\n";
    out << "  task: " << TaskName(metadata.task) << "\n";
    out << "  inputs: " << Join(metadata.inputColumns) << "\n";
    out << "  target: " << metadata.targetColumn << "\n";
    if (metadata.task == Task::Classify) {
        out << "  classes: " << Join(metadata.classes) << "\n";
    }
    out << "  scaling: " << ScalingName(metadata.inputScaling.method);
    if (metadata.unitLength) {
        out << ", then unit length";
    }
    out << "\n";
    for (size_t i = 0; i < metadata.inputColumns.size(); ++i) {
        out << "    " << metadata.inputColumns[i] << ": (x - " << FormatNumber(metadata.inputScaling.offset[i])
            << ") / " << FormatNumber(metadata.inputScaling.scale[i]) << "\n";
    }
    if (metadata.task == Task::Regress) {
        out << "  target scaling: (y - " << FormatNumber(metadata.targetOffset) << ") / "
            << FormatNumber(metadata.targetScale) << "\n";
    }
    const MetadataEntries settings = SettingsOf(metadata);
    for (const auto& [key, value] : settings.Items()) {
        out << "  " << key << ": " << value << "\n";
    }
}

}  // namespace

int RunInfo(const std::string& modelFile, std::ostream& out) {
    Model model = LoadModel(modelFile, false);
    const NetworkFileLayout& layout = model.layout;
    out << "file: " << modelFile << " (" << layout.fileSize << " bytes: " << layout.netBytes << " of net, "
        << layout.callerBytes << " of caller data)\n";
    out << "net type: " << layout.netType << " (" << NetTypeName(layout.netType) << ")\n";
    out << "numeric format: " << (layout.format == 0 ? "8.24 fixed point" : "32-bit float") << "\n";
    if (layout.paradigm == KORU32_PARADIGM_PNN || layout.paradigm == KORU32_PARADIGM_GRNN) {
        out << "pattern units in use: " << layout.patternCount << "\n";
    }
    PrintSlabs(model, out);
    PrintLinks(layout, out);
    if (!model.hasMetadata) {
        out << "metadata: none (a network file not made by 'koru train')\n";
        return 0;
    }
    PrintMetadata(model.metadata, out);
    return 0;
}

}  // namespace koru_cli
