// model_file.h - saving a trained net with its metadata as one network file,
// and restoring it.
#ifndef KORU_CLI_MODEL_FILE_H
#define KORU_CLI_MODEL_FILE_H

#include "library_call.h"
#include "model_metadata.h"
#include "network_file.h"

#include <memory>
#include <string>

namespace koru_cli {

struct Model {
    std::unique_ptr<NetSlot> slot;
    NetworkFileLayout layout;
    bool hasMetadata = false;
    ModelMetadata metadata;
};

// Writes the net in `slot` with SaveNet, the metadata as its caller bytes,
// through a temporary file renamed into place: a failure leaves no file.
void SaveModel(const NetSlot& slot, const ModelMetadata& metadata, const std::string& fileName);

// Checks the file's layout, restores the net into a free slot with
// RestoreNet and reads its metadata. A file without metadata is refused when
// `requireMetadata` is set ("not made by koru train"), otherwise restored
// without it. The metadata is checked against the net's slabs, so a damaged or
// foreign block can never make the front end pass the library arrays of the
// wrong size.
Model LoadModel(const std::string& fileName, bool requireMetadata);

// Refuses a model and a data file given the wrong way round: "X looks like a
// CSV file, not a model; usage: koru COMMAND MODEL.net DATA.csv" and the reverse.
void CheckModelAndData(const std::string& modelFile, const std::string& dataFile, const std::string& command);

// The checks LoadModel makes between metadata and net; throws CliError.
void CheckMetadataFitsNet(const ModelMetadata& metadata, const NetworkFileLayout& layout,
                          const std::string& fileName);

}  // namespace koru_cli

#endif
