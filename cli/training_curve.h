// training_curve.h - the error of a training run, step by step, and its
// picture as an SVG file.
#ifndef KORU_CLI_TRAINING_CURVE_H
#define KORU_CLI_TRAINING_CURVE_H

#include <string>
#include <vector>

namespace koru_cli {

struct TrainingCurve {
    std::string xLabel = "epoch";   // or "smoothing factor" for a sigma search
    std::string yLabel = "error";
    bool logX = false;
    // A log scale shows the long tail of a falling error; it is used only
    // when every value drawn is above 0.
    bool logY = false;
    std::string trainingName = "training";      // legend names
    std::string validationName = "validation";
    std::vector<double> x;
    std::vector<double> training;    // may be empty (a sigma search has no training error)
    std::vector<double> validation;  // may be empty (no validation set)

    bool Empty() const { return x.empty(); }
};

// The SVG text of a curve: axes with ticks at round values (1, 2 and 5 times
// a power of ten), axis titles clear of the tick labels, the training error
// in blue, the validation error in orange, a legend and a title.
std::string CurveSvg(const TrainingCurve& curve, const std::string& title);

// Writes CurveSvg to `fileName` (through a temporary file, so a failure leaves
// nothing); throws CliError when the curve is empty or the file cannot be written.
void WriteCurveSvg(const TrainingCurve& curve, const std::string& title, const std::string& fileName);

}  // namespace koru_cli

#endif
