// command_cv.cpp - `koru cv DATA.csv --folds K [train options]`: stratified
// K-fold cross validation of any paradigm.
//
// The rows are shuffled with --seed and, for a classifier, ordered by class,
// then dealt to the folds in turn, so every fold holds each class in about
// its share of the file. Each fold is scored by a model trained, exactly as
// `koru train` would train it (its own validation split, early stop and
// sigma search included), on the other folds' rows only.
#include "cli_error.h"
#include "commands.h"
#include "csv_table.h"
#include "labeled_data.h"
#include "predictor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <numeric>

namespace koru_cli {

std::vector<int> CrossValidationFolds(const CsvTable& table, const TrainOptions& options, int folds, Task& task) {
    ColumnChoice columns = ChooseColumns(table, options.inputs, options.target);
    task = ResolveTask(options.task, *options.paradigm, [&] { return LooksCategorical(table, columns.target, 10); });
    std::vector<size_t> order(table.rows.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::mt19937 random(options.seed);
    ShuffleOrder(order, random);
    if (task == Task::Classify) {
        std::vector<int> classes = ReadClasses(table, columns.target, CollectClasses(table, columns.target));
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return classes[a] < classes[b]; });
    }
    std::vector<int> fold(table.rows.size());
    for (size_t i = 0; i < order.size(); ++i) {
        fold[order[i]] = static_cast<int>(i % static_cast<size_t>(folds));
    }
    return fold;
}

namespace {

// The fold's score: accuracy, or RMSE in the target's units.
double ScoreFold(const CsvTable& table, const std::vector<size_t>& rows, const TrainedModel& model) {
    CsvTable test = table;
    KeepRows(test, rows);
    LabeledData data = ReadForModel(test, model.metadata, true);
    Predictor predictor(model.slot->Net(), model.metadata);
    Evaluation evaluation = Evaluate(predictor, model.metadata, data);
    return model.metadata.task == Task::Classify ? evaluation.Accuracy() : evaluation.Rmse();
}

}  // namespace

int RunCv(const CvCommand& command, std::ostream& out) {
    CsvTable table = ReadCsv(command.options.dataFile);
    SampleRows(table, command.options.sample, command.options.seed);
    if (command.folds < 2 || static_cast<size_t>(command.folds) > table.rows.size()) {
        throw CliError("--folds must be at least 2 and at most the " + std::to_string(table.rows.size()) +
                       " rows of " + command.options.dataFile);
    }
    Task task = Task::Classify;
    std::vector<int> fold = CrossValidationFolds(table, command.options, command.folds, task);
    const char* metric = task == Task::Classify ? "accuracy" : "RMSE";
    Progress progress(Progress::Detect(command.quiet), std::cerr);
    std::vector<double> scores;
    for (int k = 0; k < command.folds; ++k) {
        TrainOptions options = command.options;
        std::vector<size_t> testRows;
        for (size_t row = 0; row < fold.size(); ++row) {
            (fold[row] == k ? testRows : options.rows).push_back(row);
        }
        TrainedModel model = TrainModel(options, progress);
        scores.push_back(ScoreFold(table, testRows, model));
        char line[160];
        std::snprintf(line, sizeof line, "fold %d/%d: %zu training rows, %zu test rows, %s %.4g\n", k + 1,
                      command.folds, options.rows.size(), testRows.size(), metric, scores.back());
        out << line << std::flush;
    }
    double mean = std::accumulate(scores.begin(), scores.end(), 0.0) / static_cast<double>(scores.size());
    double squares = 0.0;
    for (double score : scores) squares += (score - mean) * (score - mean);
    double deviation = std::sqrt(squares / static_cast<double>(scores.size() - 1));
    char line[160];
    std::snprintf(line, sizeof line, "%s: %.4g +- %.4g (mean +- standard deviation over %d folds)\n", metric, mean,
                  deviation, command.folds);
    out << "cross validation of " << command.options.paradigm->Name() << " on " << command.options.dataFile << "\n" << line;
    return 0;
}

}  // namespace koru_cli
