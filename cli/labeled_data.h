// labeled_data.h - the rows of a CSV table as input vectors and targets.
#ifndef KORU_CLI_LABELED_DATA_H
#define KORU_CLI_LABELED_DATA_H

#include "csv_table.h"
#include "model_metadata.h"

#include <string>
#include <vector>

namespace koru_cli {

struct LabeledData {
    std::vector<std::vector<double>> inputs;  // raw values, one vector per row
    std::vector<int> classes;                 // classifiers: class index per row
    std::vector<double> targets;              // regressors: target per row
    std::vector<long> lines;                  // file line of each row
    bool hasTargets = false;
};

// Column indices of the named input columns (all but the target when none
// are named) and of the target column (the last column when none is named).
// Throws CliError for an unknown column, or a target among the inputs.
struct ColumnChoice {
    std::vector<int> inputs;
    int target = -1;
};
ColumnChoice ChooseColumns(const CsvTable& table, const std::vector<std::string>& inputNames,
                           const std::string& targetName);

// Numeric input values of the chosen columns, with file:line:column errors.
std::vector<std::vector<double>> ReadInputs(const CsvTable& table, const std::vector<int>& columns);

// The class labels of a target column, sorted: by value when every label is
// a number, else in byte order, so shuffled rows give the same model.
std::vector<std::string> CollectClasses(const CsvTable& table, int column);

// Class indices of a target column against known labels; a label the model
// does not know is an error naming file, line and column.
std::vector<int> ReadClasses(const CsvTable& table, int column, const std::vector<std::string>& classes);

// Numeric targets of a target column.
std::vector<double> ReadTargets(const CsvTable& table, int column);

// Whether a target column looks like a class label column rather than a
// quantity: any non-numeric value, or at most `maxClasses` distinct values.
bool LooksCategorical(const CsvTable& table, int column, size_t maxClasses);

// The rows of a table for an existing model: its input columns by name, and
// its target column when the table has one (required when `needTargets`).
LabeledData ReadForModel(const CsvTable& table, const ModelMetadata& metadata, bool needTargets);

}  // namespace koru_cli

#endif
