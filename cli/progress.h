// progress.h - showing how training goes.
//
// On a terminal: one line redrawn in place with a bar, the epoch, the error,
// the validation error and the time left. Elsewhere (a log, a pipe): a plain
// line at every tenth of the run. With --quiet: nothing. Progress goes to
// standard error, so standard output carries only results.
#ifndef KORU_CLI_PROGRESS_H
#define KORU_CLI_PROGRESS_H

#include <chrono>
#include <ostream>
#include <string>

namespace koru_cli {

class Progress {
public:
    enum class Mode { Quiet, Plain, Bar };

    // Bar when standard error is a terminal, Plain otherwise, Quiet if asked.
    static Mode Detect(bool quiet);

    Progress(Mode mode, std::ostream& out);

    // `metric` names the errors Update shows ("mse", "error rate"); they are
    // shown with 4 significant digits.
    void Start(const std::string& what, int totalSteps, const std::string& metric = "error");
    // `validationError` is NaN when there is no validation set.
    void Update(int step, double error, double validationError);
    void Finish();
    // A one-off message, unless quiet.
    void Note(const std::string& text);

    Mode GetMode() const { return mode_; }

    // "1m05s", "12s", "0.4s": the time left as the bar shows it.
    static std::string FormatDuration(double seconds);

private:
    std::string Line(int step, double error, double validationError, bool withBar) const;

    Mode mode_;
    std::ostream& out_;
    std::string what_;
    std::string metric_ = "error";
    int total_ = 0;
    int nextPlainStep_ = 0;
    bool open_ = false;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDraw_;
};

}  // namespace koru_cli

#endif
