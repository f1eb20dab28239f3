// model_metadata.h - what the front end stores beside a net in its network
// file: column names, classes, scaling, the training run and the paradigm's
// own settings.
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
//
// The fields are typed; only the text form is key=value. The run's record and
// each paradigm's settings are "set.KEY" entries, which a paradigm writes and
// reads through MetadataEntries.
#ifndef KORU_CLI_MODEL_METADATA_H
#define KORU_CLI_MODEL_METADATA_H

#include "scaling.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace koru_cli {

class ParadigmModule;
enum class Task { Classify, Regress };

const char* TaskName(Task task);  // "classify", "regress"

inline constexpr char kTrailerMagic[9] = "KORUMETA";
inline constexpr char kMetadataStart[] = "koru-model 1\n";
inline constexpr size_t kTrailerSize = 12;

// The "set." entries of the text form, in the order they were put. Reads
// throw CliError naming the file (`source`) when an entry is missing or not
// of its type; every key read is marked, so the ones left are known to be of
// a later version.
class MetadataEntries {
public:
    explicit MetadataEntries(std::string source = {}) : source_(std::move(source)) {}

    void Put(const std::string& key, const std::string& value);
    void Put(const std::string& key, const char* value) { Put(key, std::string(value)); }
    void Put(const std::string& key, double value);  // FormatNumber
    void PutInteger(const std::string& key, long long value);
    void PutIntegers(const std::string& key, const std::vector<int>& values);  // comma-separated

    bool Has(const std::string& key) const;
    const std::string& Text(const std::string& key) const;
    double Number(const std::string& key) const;
    long long Integer(const std::string& key) const;
    std::vector<int> Integers(const std::string& key) const;
    // The value when the entry is there, else `otherwise`.
    std::string TextOr(const std::string& key, const std::string& otherwise) const;
    double NumberOr(const std::string& key, double otherwise) const;
    long long IntegerOr(const std::string& key, long long otherwise) const;

    const std::vector<std::pair<std::string, std::string>>& Items() const { return items_; }
    // The entries no read has asked for.
    std::vector<std::pair<std::string, std::string>> Unread() const;

private:
    std::string source_;
    std::vector<std::pair<std::string, std::string>> items_;
    mutable std::vector<bool> read_;
};

// What a trained model of one paradigm stores: each paradigm derives its own
// typed settings and writes them as entries.
struct ParadigmState {
    virtual ~ParadigmState() = default;
    virtual void Write(MetadataEntries& entries) const = 0;
};

// How the model was trained: the same for every paradigm.
struct TrainingRecord {
    std::optional<double> fallback;  // the most frequent class (its index) or the mean target
    std::string dataFile;
    uint32_t seed = 1;
    size_t sample = 0;               // 0: every row of the file
    size_t trainRows = 0;
    size_t validationRows = 0;
};

struct ModelMetadata {
    const ParadigmModule* paradigm = nullptr;
    Task task = Task::Classify;
    std::vector<std::string> inputColumns;
    std::string targetColumn;
    std::vector<std::string> classes;  // classifiers: the label of each output or class
    Scaling inputScaling;
    bool unitLength = false;           // inputs scaled to unit length after the scaling
    double targetOffset = 0.0;         // regressors: scaled target = (y - offset) / scale
    double targetScale = 1.0;
    TrainingRecord record;
    std::shared_ptr<const ParadigmState> state;  // the paradigm's settings
    // Entries of a later version of koru, kept as they were so `koru info`
    // shows them; nothing reads them.
    std::vector<std::pair<std::string, std::string>> laterEntries;
    // The file the metadata was read from (empty for a model just trained).
    std::string source;
};

// The "set." entries of a model in the order the text form has them: the
// record, the paradigm's settings, then the later version's entries.
MetadataEntries SettingsOf(const ModelMetadata& metadata);

// The text form (without the trailer).
std::string EncodeMetadata(const ModelMetadata& metadata);
// Reads the text form; throws CliError naming `source` when it is malformed.
// `checkParadigm`, when given, is called with the paradigm the text names
// before its settings are read (so a net of another paradigm is reported as
// such, not as settings that are missing).
ModelMetadata DecodeMetadata(const std::string& text, const std::string& source,
                             const std::function<void(const ParadigmModule&)>& checkParadigm = {});

// Text plus trailer: the bytes handed to SaveNet.
std::string PackCallerBytes(const std::string& text);
// The text length a 12-byte trailer announces, or -1 when `trailer` is not one.
int64_t ReadTrailer(const unsigned char* trailer);

std::string FormatNumber(double value);  // 17 significant digits, shortest form first

}  // namespace koru_cli

#endif
