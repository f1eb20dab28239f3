// scaling.cpp - fitting and applying the per-column input scaling.
#include "scaling.h"

#include "cli_error.h"

#include <cmath>

namespace koru_cli {

const char* ScalingName(ScalingMethod method) {
    return method == ScalingMethod::Standard ? "standard" : "minmax";
}

ScalingMethod ParseScalingName(const std::string& name) {
    if (name == "minmax") {
        return ScalingMethod::MinMax;
    }
    if (name == "standard") {
        return ScalingMethod::Standard;
    }
    throw CliError("unknown scaling '" + name + "' (use minmax or standard)");
}

Scaling Scaling::Fit(ScalingMethod method, const std::vector<std::vector<double>>& rows) {
    Scaling scaling;
    scaling.method = method;
    size_t columns = rows.empty() ? 0 : rows[0].size();
    scaling.offset.assign(columns, 0.0);
    scaling.scale.assign(columns, 1.0);
    if (rows.empty()) {
        return scaling;
    }
    for (size_t c = 0; c < columns; ++c) {
        double spread = 0.0;
        if (method == ScalingMethod::MinMax) {
            double low = rows[0][c];
            double high = rows[0][c];
            for (const auto& row : rows) {
                low = std::fmin(low, row[c]);
                high = std::fmax(high, row[c]);
            }
            scaling.offset[c] = low;
            spread = high - low;
        } else {
            double sum = 0.0;
            for (const auto& row : rows) {
                sum += row[c];
            }
            double mean = sum / static_cast<double>(rows.size());
            double squares = 0.0;
            for (const auto& row : rows) {
                squares += (row[c] - mean) * (row[c] - mean);
            }
            scaling.offset[c] = mean;
            spread = std::sqrt(squares / static_cast<double>(rows.size()));
        }
        scaling.scale[c] = spread > 0.0 ? spread : 1.0;
    }
    return scaling;
}

std::vector<float> Scaling::ApplyRow(const std::vector<double>& row) const {
    std::vector<float> scaled(row.size());
    for (size_t c = 0; c < row.size(); ++c) {
        scaled[c] = static_cast<float>(Apply(c, row[c]));
    }
    return scaled;
}

void ScaleToUnitLength(std::vector<float>& values) {
    double squares = 0.0;
    for (float value : values) {
        squares += static_cast<double>(value) * value;
    }
    if (squares > 0.0) {
        double length = std::sqrt(squares);
        for (float& value : values) {
            value = static_cast<float>(value / length);
        }
    }
}

}  // namespace koru_cli
