// scaling.h - per-column input scaling, fitted on training data and stored
// with the model.
//
// Each column c is mapped to (x - offset[c]) / scale[c]:
//   min-max:      offset = the column's minimum, scale = maximum - minimum,
//                 so training values fall in [0, 1];
//   standardised: offset = the column's mean, scale = its standard deviation
//                 (population form, dividing by n).
// A constant column gets scale 1, so it maps to 0 instead of dividing by 0.
#ifndef KORU_CLI_SCALING_H
#define KORU_CLI_SCALING_H

#include <string>
#include <vector>

namespace koru_cli {

enum class ScalingMethod { MinMax, Standard };

const char* ScalingName(ScalingMethod method);
// "minmax" or "standard"; throws CliError for anything else.
ScalingMethod ParseScalingName(const std::string& name);

struct Scaling {
    ScalingMethod method = ScalingMethod::MinMax;
    std::vector<double> offset;
    std::vector<double> scale;

    // Fits one offset and scale per column of `rows` (all rows the same width).
    static Scaling Fit(ScalingMethod method, const std::vector<std::vector<double>>& rows);

    double Apply(size_t column, double value) const { return (value - offset[column]) / scale[column]; }
    double Invert(size_t column, double value) const { return value * scale[column] + offset[column]; }
    // The scaled row, rounded to the library's 32-bit floats.
    std::vector<float> ApplyRow(const std::vector<double>& row) const;
};

// Scales a vector to unit Euclidean length (a zero vector is left as it is);
// the dot-product kernels compare directions only.
void ScaleToUnitLength(std::vector<float>& values);

}  // namespace koru_cli

#endif
