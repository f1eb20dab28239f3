// model_file.cpp - the network file with the front end's metadata.
#include "model_file.h"

#include "cli_error.h"
#include "pending_file.h"

#include <koru32.h>

#include <cstdio>
#include <vector>

namespace koru_cli {

namespace {

uint16_t ParadigmCode(Paradigm paradigm) {
    switch (paradigm) {
        case Paradigm::Backprop: return KORU32_PARADIGM_BACKPROP;
        case Paradigm::Pnn: return KORU32_PARADIGM_PNN;
        case Paradigm::Grnn: return KORU32_PARADIGM_GRNN;
        case Paradigm::Lvq: return KORU32_PARADIGM_LVQ;
    }
    return 0;
}

}  // namespace

void SaveModel(const NetSlot& slot, const ModelMetadata& metadata, const std::string& fileName) {
    std::string bytes = PackCallerBytes(EncodeMetadata(metadata));
    int32_t length = static_cast<int32_t>(bytes.size());
    PendingFile pending(fileName);
    int16_t code = SaveNet(slot.Net(), pending.TempPath().c_str(), &length, bytes.data());
    if (code != KORU32_OK) {
        throw CliError(fileName + ": cannot write the network file (SaveNet: code " + std::to_string(code) +
                       ", " + ResultText(code) + ")");
    }
    pending.Commit();
}

void CheckMetadataFitsNet(const ModelMetadata& metadata, const NetworkFileLayout& layout,
                          const std::string& fileName) {
    auto mismatch = [&](const std::string& what) {
        return CliError(fileName + ": the metadata does not fit the net (" + what + ")");
    };
    if (layout.paradigm != ParadigmCode(metadata.paradigm)) {
        throw mismatch(std::string("metadata for ") + ParadigmName(metadata.paradigm) + ", a net of paradigm " +
                       std::to_string(layout.paradigm));
    }
    auto slabSize = [&](int slab) -> int {
        return static_cast<int16_t>(layout.slabs[slab].neurons) > 0 ? layout.slabs[slab].neurons : 0;
    };
    auto expectSlab = [&](int slab, size_t neurons, int kind) {
        if (slabSize(slab) != static_cast<int>(neurons) || layout.slabs[slab].kind != kind) {
            throw mismatch("slab " + std::to_string(slab) + " should be of kind " + std::to_string(kind) +
                           " with " + std::to_string(neurons) + " neurons");
        }
    };
    auto expectLink = [&](int link, int source, int dest) {
        const FileLink& record = layout.links[link];
        if (record.weights == 0 || record.source != source || record.dest != dest) {
            throw mismatch("link " + std::to_string(link) + " should run from slab " + std::to_string(source) +
                           " to slab " + std::to_string(dest));
        }
    };
    const size_t inputs = metadata.inputColumns.size();
    const size_t outputs = metadata.task == Task::Classify ? metadata.classes.size() : 1;
    expectSlab(0, inputs, KORU32_SLAB_INPUT);
    switch (metadata.paradigm) {
        case Paradigm::Backprop: {
            std::vector<int> hidden = metadata.GetIntegers("bp.hidden");
            if (hidden.size() > 29) {
                throw mismatch("too many hidden layers");
            }
            for (size_t h = 0; h < hidden.size(); ++h) {
                if (hidden[h] < 1) {
                    throw mismatch("a hidden layer without neurons");
                }
                expectSlab(static_cast<int>(h + 1), static_cast<size_t>(hidden[h]), KORU32_SLAB_HIDDEN);
            }
            int last = static_cast<int>(hidden.size() + 1);
            expectSlab(last, outputs, KORU32_SLAB_OUTPUT);
            for (int link = 0; link < last; ++link) {
                expectLink(link, link, link + 1);
            }
            break;
        }
        case Paradigm::Pnn:
        case Paradigm::Grnn: {
            if (metadata.paradigm == Paradigm::Grnn && metadata.task != Task::Regress) {
                throw mismatch("a GRNN model must be a regressor");
            }
            if (metadata.paradigm == Paradigm::Pnn && metadata.task != Task::Classify) {
                throw mismatch("a PNN model must be a classifier");
            }
            if (slabSize(1) < 1 || layout.slabs[1].kind != KORU32_SLAB_HIDDEN) {
                throw mismatch("slab 1 should be the pattern slab");
            }
            expectSlab(2, outputs, KORU32_SLAB_OUTPUT);
            expectLink(0, 0, 1);
            expectLink(1, 1, 2);
            if (!(metadata.GetNumber("sigma") > 0.0)) {
                throw mismatch("the smoothing factor must be above 0");
            }
            break;
        }
        case Paradigm::Lvq: {
            if (metadata.task != Task::Classify) {
                throw mismatch("an LVQ model must be a classifier");
            }
            std::vector<int> unitClasses = metadata.GetIntegers("lvq.unit_classes");
            expectSlab(1, unitClasses.size(), KORU32_SLAB_OUTPUT);
            expectLink(0, 0, 1);
            for (int cls : unitClasses) {
                if (cls < 0 || static_cast<size_t>(cls) >= metadata.classes.size()) {
                    throw mismatch("an LVQ unit of an unknown class");
                }
            }
            break;
        }
    }
}

Model LoadModel(const std::string& fileName, bool requireMetadata) {
    Model model;
    model.layout = InspectNetworkFile(fileName);
    if (requireMetadata && model.layout.metadataLength < 0) {
        throw CliError(fileName + ": a network file without koru metadata (not made by 'koru train'); "
                       "'koru info' can describe it");
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
        std::string text = bytes.substr(0, static_cast<size_t>(model.layout.metadataLength));
        model.metadata = DecodeMetadata(text, fileName);
        model.hasMetadata = true;
        CheckMetadataFitsNet(model.metadata, model.layout, fileName);
    }
    return model;
}

}  // namespace koru_cli
