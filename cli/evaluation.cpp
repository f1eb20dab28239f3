// evaluation.cpp - tallying predictions against known targets.
#include "evaluation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace koru_cli {

double Evaluation::Rmse() const {
    return rows ? std::sqrt(squares / rows) : 0.0;
}

Evaluation Evaluate(const Predictor& predictor, const ModelMetadata& metadata, const LabeledData& data) {
    Evaluation evaluation;
    evaluation.task = metadata.task;
    size_t classes = metadata.classes.size();
    evaluation.confusion.assign(classes, std::vector<size_t>(classes, 0));
    for (size_t row = 0; row < data.inputs.size(); ++row) {
        Prediction prediction = predictor.Predict(data.inputs[row]);
        ++evaluation.rows;
        if (prediction.undefined) {
            ++evaluation.undefined;
        }
        if (metadata.task == Task::Classify) {
            size_t truth = static_cast<size_t>(data.classes[row]);
            size_t guess = static_cast<size_t>(prediction.classIndex);
            ++evaluation.confusion[truth][guess];
            if (truth == guess) {
                ++evaluation.correct;
            }
        } else {
            double error = prediction.value - data.targets[row];
            evaluation.squares += error * error;
            evaluation.absolutes += std::fabs(error);
        }
    }
    return evaluation;
}

void PrintEvaluation(std::ostream& out, const Evaluation& evaluation, const ModelMetadata& metadata) {
    char text[64];
    out << "rows: " << evaluation.rows << "\n";
    if (evaluation.undefined > 0) {
        out << "undecided: " << evaluation.undefined
            << " (no stored pattern near enough; the fallback was predicted)\n";
    }
    if (evaluation.task == Task::Classify) {
        // Confusion matrix: one row per true class, one column per predicted class.
        size_t width = 9;
        for (const std::string& name : metadata.classes) {
            width = std::max(width, name.size() + 2);
        }
        out << "confusion matrix (rows: true class, columns: predicted class):\n";
        out << std::string(width, ' ');
        for (const std::string& name : metadata.classes) {
            out << std::string(width - name.size(), ' ') << name;
        }
        out << "\n";
        for (size_t t = 0; t < metadata.classes.size(); ++t) {
            const std::string& name = metadata.classes[t];
            out << name << std::string(width - name.size(), ' ');
            for (size_t p = 0; p < metadata.classes.size(); ++p) {
                std::string count = std::to_string(evaluation.confusion[t][p]);
                out << std::string(width - std::min(width, count.size()), ' ') << count;
            }
            out << "\n";
        }
        std::snprintf(text, sizeof text, "accuracy: %.4f\n", evaluation.Accuracy());
        out << text;
    } else {
        std::snprintf(text, sizeof text, "mae: %.4f\n", evaluation.Mae());
        out << text;
        std::snprintf(text, sizeof text, "rmse: %.4f\n", evaluation.Rmse());
        out << text;
    }
}

}  // namespace koru_cli
