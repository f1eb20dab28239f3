// train_model.cpp - from a CSV file to a trained, measured model.
#include "train_model.h"

#include "cli_error.h"
#include "csv_table.h"
#include "labeled_data.h"
#include "predictor.h"
#include "pending_file.h"
#include "scaling.h"
#include "training_set.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numeric>

namespace koru_cli {

Task ResolveTask(const std::string& task, const ParadigmModule& paradigm,
                 const std::function<bool()>& looksCategorical) {
    Task resolved;
    if (task == "classify") {
        resolved = Task::Classify;
    } else if (task == "regress") {
        resolved = Task::Regress;
    } else if (task == "auto") {
        resolved = paradigm.AutoTask(looksCategorical);
    } else {
        throw CliError("unknown task '" + task + "' (use auto, classify or regress)");
    }
    if (!paradigm.Supports(resolved)) {
        Task other = resolved == Task::Classify ? Task::Regress : Task::Classify;
        throw CliError(std::string(paradigm.Name()) + " nets " + (other == Task::Classify ? "classify" : "regress") +
                       "; use " + ParadigmNames(&resolved) + " to " + TaskName(resolved));
    }
    return resolved;
}

void KeepRows(CsvTable& table, const std::vector<size_t>& rows) {
    std::vector<std::vector<std::string>> kept;
    std::vector<long> lines;
    for (size_t row : rows) {
        kept.push_back(std::move(table.rows[row]));
        lines.push_back(table.lines[row]);
    }
    table.rows = std::move(kept);
    table.lines = std::move(lines);
}

void SampleRows(CsvTable& table, size_t count, uint32_t seed) {
    if (count == 0 || count >= table.rows.size()) {
        return;
    }
    std::vector<size_t> order(table.rows.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::mt19937 random(seed ^ 0x5A5A5A5Au);
    ShuffleOrder(order, random);
    order.resize(count);
    std::sort(order.begin(), order.end());
    KeepRows(table, order);
}

void SplitRows(size_t rows, double fraction, uint32_t seed, std::vector<size_t>& train,
               std::vector<size_t>& validation) {
    std::vector<size_t> order(rows);
    std::iota(order.begin(), order.end(), size_t{0});
    std::mt19937 random(seed);
    ShuffleOrder(order, random);
    size_t held = static_cast<size_t>(std::lround(static_cast<double>(rows) * fraction));
    held = std::min(held, rows > 0 ? rows - 1 : 0);  // at least one training row
    validation.assign(order.begin(), order.begin() + static_cast<long>(held));
    train.assign(order.begin() + static_cast<long>(held), order.end());
    // Keep file order within each part, so a run reads like the file.
    std::sort(validation.begin(), validation.end());
    std::sort(train.begin(), train.end());
}

namespace {

// The rows of the data file as numbers: raw inputs and, per row, the class
// index or the target value.
struct RawData {
    Task task = Task::Classify;
    std::vector<std::vector<double>> inputs;
    std::vector<int> classes;
    std::vector<double> targets;
};

// Reads the file's rows and columns; fills the metadata's columns and classes.
RawData ReadTrainingData(const TrainOptions& options, const ParadigmModule& paradigm, ModelMetadata& metadata) {
    CsvTable table = ReadCsv(options.dataFile);
    SampleRows(table, options.sample, options.seed);
    if (!options.rows.empty()) {
        KeepRows(table, options.rows);
    }
    ColumnChoice columns = ChooseColumns(table, options.inputs, options.target);
    if (columns.inputs.size() > 32767) {
        throw CliError(options.dataFile + ": too many input columns");
    }
    RawData raw;
    raw.task = ResolveTask(options.task, paradigm, [&] { return LooksCategorical(table, columns.target, 10); });
    raw.inputs = ReadInputs(table, columns.inputs);
    metadata.paradigm = &paradigm;
    metadata.task = raw.task;
    metadata.targetColumn = table.header[static_cast<size_t>(columns.target)];
    for (int column : columns.inputs) {
        metadata.inputColumns.push_back(table.header[static_cast<size_t>(column)]);
    }
    if (raw.task == Task::Regress) {
        raw.targets = ReadTargets(table, columns.target);
        return raw;
    }
    metadata.classes = CollectClasses(table, columns.target);
    if (metadata.classes.size() < 2) {
        throw CliError(options.dataFile + ": the target column " + QuotedCell(metadata.targetColumn) +
                       " holds a single class; a classifier needs at least two");
    }
    if (metadata.classes.size() > 32767) {
        throw CliError(options.dataFile + ": too many classes");
    }
    raw.classes = ReadClasses(table, columns.target, metadata.classes);
    return raw;
}

// Fits the input and target scaling on the training rows, and the fallback
// (mean target or most frequent class) a kernel net gives when undecided.
void FitScaling(const TrainOptions& options, const ParadigmOptions& settings, const RawData& raw,
                const std::vector<size_t>& trainRows, ModelMetadata& metadata) {
    std::vector<std::vector<double>> trainInputs;
    for (size_t row : trainRows) {
        trainInputs.push_back(raw.inputs[row]);
    }
    metadata.inputScaling = Scaling::Fit(ParseScalingName(options.scaling), trainInputs);
    metadata.unitLength = options.paradigm->UnitLengthInputs(settings);
    if (raw.task == Task::Regress) {
        double low = raw.targets[trainRows[0]], high = low, sum = 0.0;
        for (size_t row : trainRows) {
            low = std::min(low, raw.targets[row]);
            high = std::max(high, raw.targets[row]);
            sum += raw.targets[row];
        }
        metadata.targetOffset = low;
        metadata.targetScale = high > low ? high - low : 1.0;
        metadata.record.fallback = sum / static_cast<double>(trainRows.size());
        return;
    }
    std::vector<size_t> frequency(metadata.classes.size(), 0);
    for (size_t row : trainRows) {
        ++frequency[static_cast<size_t>(raw.classes[row])];
    }
    size_t most = static_cast<size_t>(std::max_element(frequency.begin(), frequency.end()) - frequency.begin());
    metadata.record.fallback = static_cast<double>(most);
}

// The patterns as the net sees them: scaled inputs (unit length for dot
// kernels), one-hot class vectors or the target scaled to [0, 1].
PatternSet MakePatternSet(const ModelMetadata& metadata, const RawData& raw, const std::vector<size_t>& rows) {
    PatternSet set;
    for (size_t row : rows) {
        std::vector<float> input = metadata.inputScaling.ApplyRow(raw.inputs[row]);
        if (metadata.unitLength) {
            ScaleToUnitLength(input);
        }
        set.inputs.push_back(std::move(input));
        if (raw.task == Task::Classify) {
            std::vector<float> oneHot(metadata.classes.size(), 0.0f);
            oneHot[static_cast<size_t>(raw.classes[row])] = 1.0f;
            set.targets.push_back(std::move(oneHot));
            set.classes.push_back(raw.classes[row]);
        } else {
            set.targets.push_back(
                {static_cast<float>((raw.targets[row] - metadata.targetOffset) / metadata.targetScale)});
        }
    }
    return set;
}

// Measures raw rows through the same predictor `koru eval` uses.
Evaluation MeasureRows(const Predictor& predictor, const ModelMetadata& metadata, const RawData& raw,
                       const std::vector<size_t>& rows) {
    LabeledData data;
    data.hasTargets = true;
    for (size_t row : rows) {
        data.inputs.push_back(raw.inputs[row]);
        if (raw.task == Task::Classify) {
            data.classes.push_back(raw.classes[row]);
        } else {
            data.targets.push_back(raw.targets[row]);
        }
    }
    return Evaluate(predictor, metadata, data);
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

TrainedModel TrainModel(const TrainOptions& options, Progress& progress) {
    const ParadigmModule& paradigm = *options.paradigm;
    std::shared_ptr<const ParadigmOptions> settings =
        options.settings ? options.settings : std::shared_ptr<const ParadigmOptions>(paradigm.NewOptions());
    ParseScalingName(options.scaling);
    const double validation = options.validation.value_or(paradigm.DefaultValidation(*settings));
    if (!(validation >= 0.0 && validation <= 0.9)) {
        throw CliError("--validation must lie between 0 and 0.9");
    }
    TrainedModel model;
    ModelMetadata& metadata = model.metadata;
    RawData raw = ReadTrainingData(options, paradigm, metadata);
    std::vector<size_t> trainRows, validationRows;
    SplitRows(raw.inputs.size(), validation, options.seed, trainRows, validationRows);
    model.trainRows = trainRows.size();
    model.validationRows = validationRows.size();
    FitScaling(options, *settings, raw, trainRows, metadata);
    metadata.record.dataFile = options.dataFile;
    metadata.record.seed = options.seed;
    metadata.record.sample = options.sample;
    metadata.record.trainRows = trainRows.size();
    metadata.record.validationRows = validationRows.size();

    TrainingJob job;
    job.task = raw.task;
    job.classCount = static_cast<int>(metadata.classes.size());
    job.train = MakePatternSet(metadata, raw, trainRows);
    job.validation = MakePatternSet(metadata, raw, validationRows);
    job.seed = options.seed;
    job.progress = &progress;
    job.curve = &model.curve;
    model.slot = std::make_unique<NetSlot>();
    auto start = std::chrono::steady_clock::now();
    metadata.state = paradigm.Train(*model.slot, *settings, job);
    model.seconds = SecondsSince(start);
    model.stopSignal = StopSignal();
    Predictor predictor(model.slot->Net(), metadata);
    auto scoring = std::chrono::steady_clock::now();
    model.training = MeasureRows(predictor, metadata, raw, trainRows);
    if (!validationRows.empty()) {
        model.validation = MeasureRows(predictor, metadata, raw, validationRows);
    }
    model.scoringSeconds = SecondsSince(scoring);
    return model;
}

}  // namespace koru_cli
