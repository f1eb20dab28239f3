// training_curve.cpp - drawing the training curve as SVG.
#include "training_curve.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <tuple>

#include "cli_error.h"
#include "pending_file.h"

namespace koru_cli {

namespace {

constexpr double kWidth = 640, kHeight = 400;
constexpr double kLeft = 84, kRight = 20, kTop = 40, kBottom = 50;

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

// Round values within [low, high]: steps of 1, 2 or 5 times a power of ten,
// about five of them; on a log axis the powers of ten (with 2 and 5 times
// them when the range spans fewer than three decades).
std::vector<double> Ticks(const Axis& axis) {
    std::vector<double> ticks;
    if (axis.log) {
        const bool fine = std::log10(axis.high / axis.low) < 3.0;
        for (double decade = std::pow(10.0, std::floor(std::log10(axis.low))); decade <= axis.high;
             decade *= 10) {
            for (double factor : {1.0, 2.0, 5.0}) {
                double value = decade * factor;
                if ((factor == 1.0 || fine) && value >= axis.low * (1 - 1e-9) &&
                    value <= axis.high * (1 + 1e-9)) {
                    ticks.push_back(value);
                }
            }
        }
        return ticks;
    }
    double raw = (axis.high - axis.low) / 5;
    double power = std::pow(10.0, std::floor(std::log10(raw > 0 ? raw : 1.0)));
    double step = power * (raw / power < 1.5 ? 1 : raw / power < 3.5 ? 2 : raw / power < 7.5 ? 5 : 10);
    for (double value = std::ceil(axis.low / step - 1e-9) * step; value <= axis.high + step * 1e-9;
         value += step) {
        ticks.push_back(std::fabs(value) < step * 1e-9 ? 0.0 : value);
    }
    return ticks;
}

std::string Polyline(const std::vector<double>& xs, const std::vector<double>& ys, const Axis& x,
                     const Axis& y, const char* colour) {
    std::ostringstream points;
    for (size_t i = 0; i < xs.size() && i < ys.size(); ++i) {
        if (!std::isfinite(ys[i]) || (y.log && !(ys[i] > 0))) {
            continue;
        }
        points << Number(x.Map(xs[i], kLeft, kWidth - kRight)) << ","
               << Number(y.Map(ys[i], kHeight - kBottom, kTop)) << " ";
    }
    return "<polyline fill=\"none\" stroke=\"" + std::string(colour) + "\" stroke-width=\"2\" points=\"" +
           points.str() + "\"/>\n";
}

// The y axis: 0 to a little above the largest value, or on a log scale from
// the smallest to the largest value when the curve asks for one and every
// value is above 0.
Axis YAxis(const TrainingCurve& curve) {
    double low = INFINITY, high = 0.0;
    for (const auto* series : {&curve.training, &curve.validation}) {
        for (double value : *series) {
            if (std::isfinite(value)) {
                low = std::min(low, value);
                high = std::max(high, value);
            }
        }
    }
    if (curve.logY && low > 0.0 && high > low) {
        return Axis{std::pow(10.0, std::floor(std::log10(low))), std::pow(10.0, std::ceil(std::log10(high))),
                    true};
    }
    return Axis{0.0, high > 0.0 ? high * 1.05 : 1.0, false};
}

void DrawAxes(std::ostringstream& svg, const TrainingCurve& curve, const Axis& x, const Axis& y) {
    svg << "<path d=\"M" << kLeft << "," << kTop << " V" << kHeight - kBottom << " H" << kWidth - kRight
        << "\" stroke=\"black\" fill=\"none\"/>\n";
    for (double value : Ticks(y)) {
        double py = y.Map(value, kHeight - kBottom, kTop);
        svg << "<line x1=\"" << kLeft - 4 << "\" y1=\"" << Number(py) << "\" x2=\"" << kWidth - kRight
            << "\" y2=\"" << Number(py) << "\" stroke=\"#ddd\"/>\n";
        svg << "<text class=\"y-tick\" x=\"" << kLeft - 8 << "\" y=\"" << Number(py + 4)
            << "\" text-anchor=\"end\">" << Number(value) << "</text>\n";
    }
    for (double value : Ticks(x)) {
        double px = x.Map(value, kLeft, kWidth - kRight);
        svg << "<line x1=\"" << Number(px) << "\" y1=\"" << kHeight - kBottom << "\" x2=\"" << Number(px)
            << "\" y2=\"" << kHeight - kBottom + 4 << "\" stroke=\"black\"/>\n";
        svg << "<text class=\"x-tick\" x=\"" << Number(px) << "\" y=\"" << kHeight - kBottom + 18
            << "\" text-anchor=\"middle\">" << Number(value) << "</text>\n";
    }
    // Axis titles: the x title below its tick labels, the y title at the
    // left edge, left of the widest tick label (7 characters at 12 px).
    svg << "<text class=\"x-title\" x=\"" << (kLeft + kWidth - kRight) / 2 << "\" y=\"" << kHeight - 12
        << "\" text-anchor=\"middle\">" << Xml(curve.xLabel) << "</text>\n";
    svg << "<text class=\"y-title\" x=\"14\" y=\"" << (kTop + kHeight - kBottom) / 2
        << "\" transform=\"rotate(-90 14," << (kTop + kHeight - kBottom) / 2 << ")\" text-anchor=\"middle\">"
        << Xml(curve.yLabel + (y.log ? " (log scale)" : "")) << "</text>\n";
}

}  // namespace

std::string CurveSvg(const TrainingCurve& curve, const std::string& title) {
    Axis x{curve.x.empty() ? 0.0 : curve.x.front(), curve.x.empty() ? 1.0 : curve.x.back(), curve.logX};
    if (x.high < x.low) {
        std::swap(x.low, x.high);
    }
    Axis y = YAxis(curve);

    std::ostringstream svg;
    svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth << "\" height=\"" << kHeight
        << "\" viewBox=\"0 0 " << kWidth << " " << kHeight
        << "\" font-family=\"sans-serif\" font-size=\"12\">\n";
    svg << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
    svg << "<text x=\"" << kWidth / 2 << "\" y=\"22\" text-anchor=\"middle\" font-size=\"15\">" << Xml(title)
        << "</text>\n";
    DrawAxes(svg, curve, x, y);
    if (!curve.training.empty()) {
        svg << Polyline(curve.x, curve.training, x, y, "#1f77b4");
    }
    if (!curve.validation.empty()) {
        svg << Polyline(curve.x, curve.validation, x, y, "#ff7f0e");
    }
    double legendY = kTop + 10;
    for (auto [name, colour, present] :
         {std::tuple{&curve.trainingName, "#1f77b4", !curve.training.empty()},
          std::tuple{&curve.validationName, "#ff7f0e", !curve.validation.empty()}}) {
        if (!present) {
            continue;
        }
        svg << "<line x1=\"" << kWidth - kRight - 190 << "\" y1=\"" << legendY << "\" x2=\""
            << kWidth - kRight - 165 << "\" y2=\"" << legendY << "\" stroke=\"" << colour
            << "\" stroke-width=\"2\"/>\n";
        svg << "<text class=\"legend\" x=\"" << kWidth - kRight - 160 << "\" y=\"" << legendY + 4 << "\">"
            << Xml(*name) << "</text>\n";
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
