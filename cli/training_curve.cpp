// training_curve.cpp - drawing the training curve as SVG.
#include "training_curve.h"

#include "cli_error.h"
#include "pending_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <tuple>

namespace koru_cli {

namespace {

constexpr double kWidth = 640, kHeight = 400;
constexpr double kLeft = 70, kRight = 20, kTop = 40, kBottom = 50;

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", value);
    return text;
}

std::string Xml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

struct Axis {
    double low, high;
    bool log;
    double Map(double value, double from, double to) const {
        double v = log ? std::log10(value) : value;
        double a = log ? std::log10(low) : low;
        double b = log ? std::log10(high) : high;
        return b > a ? from + (v - a) / (b - a) * (to - from) : (from + to) / 2;
    }
};

std::string Polyline(const std::vector<double>& xs, const std::vector<double>& ys, const Axis& x,
                     const Axis& y, const char* colour) {
    std::ostringstream points;
    for (size_t i = 0; i < xs.size() && i < ys.size(); ++i) {
        if (!std::isfinite(ys[i])) {
            continue;
        }
        points << Number(x.Map(xs[i], kLeft, kWidth - kRight)) << ","
               << Number(y.Map(ys[i], kHeight - kBottom, kTop)) << " ";
    }
    return "<polyline fill=\"none\" stroke=\"" + std::string(colour) + "\" stroke-width=\"2\" points=\"" +
           points.str() + "\"/>\n";
}

}  // namespace

std::string CurveSvg(const TrainingCurve& curve, const std::string& title) {
    Axis x{curve.x.empty() ? 0.0 : curve.x.front(), curve.x.empty() ? 1.0 : curve.x.back(), curve.logX};
    if (x.high < x.low) {
        std::swap(x.low, x.high);
    }
    double top = 0.0;
    for (const auto* series : {&curve.training, &curve.validation}) {
        for (double value : *series) {
            if (std::isfinite(value)) {
                top = std::max(top, value);
            }
        }
    }
    Axis y{0.0, top > 0.0 ? top * 1.05 : 1.0, false};

    std::ostringstream svg;
    svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth << "\" height=\"" << kHeight
        << "\" viewBox=\"0 0 " << kWidth << " " << kHeight << "\" font-family=\"sans-serif\" font-size=\"12\">\n";
    svg << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    svg << "<text x=\"" << kWidth / 2 << "\" y=\"22\" text-anchor=\"middle\" font-size=\"15\">" << Xml(title)
        << "</text>\n";
    // Axes and five ticks on each.
    svg << "<path d=\"M" << kLeft << "," << kTop << " V" << kHeight - kBottom << " H" << kWidth - kRight
        << "\" stroke=\"black\" fill=\"none\"/>\n";
    for (int i = 0; i <= 4; ++i) {
        double yValue = y.low + (y.high - y.low) * i / 4;
        double py = y.Map(yValue, kHeight - kBottom, kTop);
        svg << "<line x1=\"" << kLeft - 4 << "\" y1=\"" << Number(py) << "\" x2=\"" << kWidth - kRight
            << "\" y2=\"" << Number(py) << "\" stroke=\"#ddd\"/>\n";
        svg << "<text x=\"" << kLeft - 8 << "\" y=\"" << Number(py + 4) << "\" text-anchor=\"end\">"
            << Number(yValue) << "</text>\n";
        double xValue = x.log ? std::pow(10.0, std::log10(x.low) + (std::log10(x.high) - std::log10(x.low)) * i / 4)
                              : x.low + (x.high - x.low) * i / 4;
        double px = x.Map(xValue, kLeft, kWidth - kRight);
        svg << "<text x=\"" << Number(px) << "\" y=\"" << kHeight - kBottom + 18
            << "\" text-anchor=\"middle\">" << Number(xValue) << "</text>\n";
    }
    svg << "<text x=\"" << (kLeft + kWidth - kRight) / 2 << "\" y=\"" << kHeight - 12
        << "\" text-anchor=\"middle\">" << Xml(curve.xLabel) << "</text>\n";
    svg << "<text transform=\"translate(16," << (kTop + kHeight - kBottom) / 2
        << ") rotate(-90)\" text-anchor=\"middle\">" << Xml(curve.yLabel) << "</text>\n";
    if (!curve.training.empty()) {
        svg << Polyline(curve.x, curve.training, x, y, "#1f77b4");
    }
    if (!curve.validation.empty()) {
        svg << Polyline(curve.x, curve.validation, x, y, "#ff7f0e");
    }
    double legendY = kTop + 10;
    for (auto [name, colour, present] : {std::tuple{"training", "#1f77b4", !curve.training.empty()},
                                         std::tuple{"validation", "#ff7f0e", !curve.validation.empty()}}) {
        if (!present) {
            continue;
        }
        svg << "<line x1=\"" << kWidth - kRight - 110 << "\" y1=\"" << legendY << "\" x2=\""
            << kWidth - kRight - 85 << "\" y2=\"" << legendY << "\" stroke=\"" << colour
            << "\" stroke-width=\"2\"/>\n";
        svg << "<text x=\"" << kWidth - kRight - 80 << "\" y=\"" << legendY + 4 << "\">" << name << "</text>\n";
        legendY += 18;
    }
    svg << "</svg>\n";
    return svg.str();
}

void WriteCurveSvg(const TrainingCurve& curve, const std::string& title, const std::string& fileName) {
    if (curve.Empty()) {
        throw CliError(fileName + ": nothing to plot: this run has no training curve");
    }
    WritePendingFile(fileName, CurveSvg(curve, title));
}

}  // namespace koru_cli
