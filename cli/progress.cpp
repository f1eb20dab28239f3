// progress.cpp - the progress bar and the plain progress lines.
#include "progress.h"

#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace koru_cli {

namespace {

constexpr int kBarWidth = 24;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

}  // namespace

Progress::Mode Progress::Detect(bool quiet) {
    if (quiet) {
        return Mode::Quiet;
    }
    return isatty(STDERR_FILENO) ? Mode::Bar : Mode::Plain;
}

Progress::Progress(Mode mode, std::ostream& out) : mode_(mode), out_(out) {}

std::string Progress::FormatDuration(double seconds) {
    char text[32];
    if (!(seconds >= 0.0) || seconds > 359999.0) {
        return "?";
    }
    if (seconds < 10.0) {
        std::snprintf(text, sizeof text, "%.1fs", seconds);
    } else if (seconds < 60.0) {
        std::snprintf(text, sizeof text, "%.0fs", seconds);
    } else {
        long whole = std::lround(seconds);
        std::snprintf(text, sizeof text, "%ldm%02lds", whole / 60, whole % 60);
    }
    return text;
}

void Progress::Start(const std::string& what, int totalSteps, const std::string& metric) {
    what_ = what;
    metric_ = metric;
    total_ = totalSteps > 0 ? totalSteps : 1;
    nextPlainStep_ = 0;
    open_ = true;
    start_ = std::chrono::steady_clock::now();
    lastDraw_ = start_ - kRedrawInterval;
}

std::string Progress::Line(int step, double error, double validationError, bool withBar) const {
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    double left = step > 0 ? elapsed / step * (total_ - step) : NAN;
    std::string line = what_ + " ";
    if (withBar) {
        int filled = static_cast<int>(static_cast<long long>(kBarWidth) * step / total_);
        line += '[';
        line.append(static_cast<size_t>(filled), '#');
        line.append(static_cast<size_t>(kBarWidth - filled), '.');
        line += "] ";
    }
    char text[160];
    std::snprintf(text, sizeof text, "epoch %d/%d  %s %.4g", step, total_, metric_.c_str(), error);
    line += text;
    if (!std::isnan(validationError)) {
        std::snprintf(text, sizeof text, "  validation %s %.4g", metric_.c_str(), validationError);
        line += text;
    }
    line += "  ETA ";
    line += step >= total_ ? std::string("0.0s") : FormatDuration(left);
    return line;
}

void Progress::Update(int step, double error, double validationError) {
    if (mode_ == Mode::Quiet || !open_) {
        return;
    }
    auto now = std::chrono::steady_clock::now();
    if (mode_ == Mode::Bar) {
        if (now - lastDraw_ >= kRedrawInterval || step >= total_) {
            out_ << "\r" << Line(step, error, validationError, true) << "\x1b[K" << std::flush;
            lastDraw_ = now;
        }
        return;
    }
    if (step >= nextPlainStep_ || step >= total_) {
        out_ << Line(step, error, validationError, false) << "\n" << std::flush;
        // The next line at the next tenth of the run (every step for short runs).
        int tenth = total_ / 10 > 0 ? total_ / 10 : 1;
        nextPlainStep_ = (step / tenth + 1) * tenth;
    }
}

void Progress::Finish() {
    if (open_ && mode_ == Mode::Bar) {
        out_ << "\n" << std::flush;
    }
    open_ = false;
}

void Progress::Note(const std::string& text) {
    if (mode_ != Mode::Quiet) {
        out_ << text << "\n" << std::flush;
    }
}

}  // namespace koru_cli
