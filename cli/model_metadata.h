// model_metadata.h - what the front end stores beside a net in its network
// file: column names, classes, scaling and the paradigm's settings.
//
// The library's SaveNet appends any bytes its caller hands it after the net;
// the front end hands it this block, so one file is the whole model. The
// block is text, one "key=value" line per entry after the first line
// "koru-model 1", and it ends with a 12-byte trailer: the text's length as a
// 32-bit little-endian number, then the eight characters "KORUMETA". The
// network file does not record how many caller bytes it carries; the trailer
// at the very end of the file lets a reader find out before it restores.
//
// Values escape '%', ',', CR and LF as %25, %2C, %0D and %0A, so names with
// commas survive inside comma-separated lists. Real numbers are written with
// 17 significant digits, which reads back to the same double.
#ifndef KORU_CLI_MODEL_METADATA_H
#define KORU_CLI_MODEL_METADATA_H

#include "scaling.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace koru_cli {

enum class Paradigm { Backprop, Pnn, Grnn, Lvq };
enum class Task { Classify, Regress };

const char* ParadigmName(Paradigm paradigm);  // "bp", "pnn", "grnn", "lvq"
Paradigm ParseParadigmName(const std::string& name);
const char* TaskName(Task task);              // "classify", "regress"

inline constexpr char kTrailerMagic[9] = "KORUMETA";
inline constexpr char kMetadataStart[] = "koru-model 1\n";
inline constexpr size_t kTrailerSize = 12;

struct ModelMetadata {
    Paradigm paradigm = Paradigm::Backprop;
    Task task = Task::Classify;
    std::vector<std::string> inputColumns;
    std::string targetColumn;
    std::vector<std::string> classes;  // classifiers: the label of each output or class
    Scaling inputScaling;
    bool unitLength = false;           // inputs scaled to unit length after the scaling
    double targetOffset = 0.0;         // regressors: scaled target = (y - offset) / scale
    double targetScale = 1.0;
    // The paradigm's settings and the training summary, in the order they were
    // set (shown as they are by `koru info`).
    std::vector<std::pair<std::string, std::string>> settings;
    // The file the metadata was read from (empty for a model just trained):
    // the errors of Get, GetNumber and GetIntegers name it.
    std::string source;

    void Set(const std::string& key, const std::string& value);
    void Set(const std::string& key, double value);
    // A comma-separated list, as GetIntegers reads it back.
    void SetIntegers(const std::string& key, const std::vector<int>& values);
    // The value of `key`; throws CliError when the model lacks it.
    const std::string& Get(const std::string& key) const;
    bool Has(const std::string& key) const;
    double GetNumber(const std::string& key) const;
    std::vector<int> GetIntegers(const std::string& key) const;
};

// The text form (without the trailer).
std::string EncodeMetadata(const ModelMetadata& metadata);
// Reads the text form; throws CliError naming `source` when it is malformed.
ModelMetadata DecodeMetadata(const std::string& text, const std::string& source);

// Text plus trailer: the bytes handed to SaveNet.
std::string PackCallerBytes(const std::string& text);
// The text length a 12-byte trailer announces, or -1 when `trailer` is not one.
int64_t ReadTrailer(const unsigned char* trailer);

std::string FormatNumber(double value);  // 17 significant digits, shortest form first

}  // namespace koru_cli

#endif
