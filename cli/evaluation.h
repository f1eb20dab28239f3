// evaluation.h - how well a model does on labelled rows: accuracy and a
// confusion matrix for classifiers, RMSE and MAE for regressors.
#ifndef KORU_CLI_EVALUATION_H
#define KORU_CLI_EVALUATION_H

#include "labeled_data.h"
#include "model_metadata.h"
#include "predictor.h"

#include <ostream>
#include <vector>

namespace koru_cli {

struct Evaluation {
    Task task = Task::Classify;
    size_t rows = 0;
    size_t undefined = 0;                         // rows the model could not decide
    size_t correct = 0;                           // classifiers
    std::vector<std::vector<size_t>> confusion;  // [true class][predicted class]
    double squares = 0.0;                         // regressors: sum of squared errors
    double absolutes = 0.0;                       // and of absolute errors

    double Accuracy() const { return rows ? static_cast<double>(correct) / rows : 0.0; }
    double Rmse() const;
    double Mae() const { return rows ? absolutes / rows : 0.0; }
    // Accuracy for classifiers, RMSE for regressors.
    double Headline() const { return task == Task::Classify ? Accuracy() : Rmse(); }
};

// Predicts every row of `data` (which must have targets) and tallies the results.
Evaluation Evaluate(const Predictor& predictor, const ModelMetadata& metadata, const LabeledData& data);

// The report of `koru eval`. Its last line is "accuracy: 0.9667" or
// "rmse: 12.3456" (four decimals).
void PrintEvaluation(std::ostream& out, const Evaluation& evaluation, const ModelMetadata& metadata);

}  // namespace koru_cli

#endif
