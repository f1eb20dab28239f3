// train_model.h - the whole of `koru train` short of saving: read the CSV,
// pick the columns and the task, split off the validation rows, fit the
// scaling, train the chosen paradigm and measure the result.
#ifndef KORU_CLI_TRAIN_MODEL_H
#define KORU_CLI_TRAIN_MODEL_H

#include "csv_table.h"
#include "evaluation.h"
#include "library_call.h"
#include "model_metadata.h"
#include "paradigm.h"
#include "progress.h"
#include "training_curve.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace koru_cli {

struct TrainOptions {
    std::string dataFile;
    const ParadigmModule* paradigm = &FindParadigm("bp");
    // The paradigm's own options (its defaults when null).
    std::shared_ptr<const ParadigmOptions> settings;
    std::string target;               // empty: the last column
    std::vector<std::string> inputs;  // empty: every other column
    std::string task = "auto";        // auto | classify | regress
    std::string scaling = "minmax";
    std::optional<double> validation;  // fraction of the rows held out; unset: the paradigm's default
    uint32_t seed = 1;
    size_t sample = 0;                // >0: train on this many rows drawn at random (seeded)
    std::vector<size_t> rows;         // non-empty: only these rows (after --sample), as cross validation asks
};

struct TrainedModel {
    std::unique_ptr<NetSlot> slot;
    ModelMetadata metadata;
    TrainingCurve curve;
    size_t trainRows = 0;
    size_t validationRows = 0;
    Evaluation training;
    std::optional<Evaluation> validation;
    double seconds = 0.0;             // training time, without reading the file or scoring
    double scoringSeconds = 0.0;      // scoring the training and validation rows afterwards
    int stopSignal = 0;               // the signal that stopped training early (see StopWindow), or 0
};

TrainedModel TrainModel(const TrainOptions& options, Progress& progress);

// The task `auto` stands for: PNN and LVQ classify, GRNN regresses, and
// backpropagation classifies a target column that looks categorical (any
// non-numeric value, or at most 10 distinct values) and regresses otherwise.
Task ResolveTask(const std::string& task, const ParadigmModule& paradigm,
                 const std::function<bool()>& looksCategorical);

// Keeps the table's rows `rows` (indices in increasing order), in that order.
void KeepRows(CsvTable& table, const std::vector<size_t>& rows);

// Keeps `count` of the table's rows, drawn at random with `seed` (a
// generator of its own, apart from the split's), in file order.
void SampleRows(CsvTable& table, size_t count, uint32_t seed);

// Splits row indices 0..rows-1 into training and validation rows: a shuffle
// with `seed`, then the first round(rows x fraction) rows are held out.
void SplitRows(size_t rows, double fraction, uint32_t seed, std::vector<size_t>& train,
               std::vector<size_t>& validation);

}  // namespace koru_cli

#endif
