// The progress display in its three modes.
#include "progress.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace koru_cli {
namespace {

size_t Lines(const std::string& text) {
    size_t count = 0;
    for (char c : text) {
        count += c == '\n';
    }
    return count;
}

std::string Shown(Progress::Mode mode, int epochs, double validation) {
    std::ostringstream out;
    Progress progress(mode, out);
    progress.Start("bp", epochs);
    for (int epoch = 1; epoch <= epochs; ++epoch) progress.Update(epoch, 0.5 / epoch, validation);
    progress.Note("note");
    progress.Finish();
    return out.str();
}

TEST(Progress, QuietShowsNothingAndTheBarRedrawsOneLine) {
    EXPECT_EQ(Shown(Progress::Mode::Quiet, 5, NAN), "");
    const std::string bar = Shown(Progress::Mode::Bar, 1, NAN);
    EXPECT_EQ(bar, "\rbp [########################] epoch 1/1  error 0.5  ETA 0.0s\x1b[Knote\n\n");
}

TEST(Progress, PlainWritesALineAtEveryTenthAndAtTheEnd) {
    const std::string text = Shown(Progress::Mode::Plain, 20, NAN);
    // Epoch 1, then every second epoch from 2 to 20, and the note.
    EXPECT_EQ(Lines(text), 12u);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(text.rfind("bp epoch 1/20  error 0.5  ETA ", 0), 0u);
    EXPECT_NE(text.find("bp epoch 20/20  error 0.025  ETA 0.0s\n"), std::string::npos);
    EXPECT_EQ(Shown(Progress::Mode::Plain, 1, 0.125).rfind("bp epoch 1/1  error 0.5  validation error 0.125  ETA 0.0s\n", 0), 0u);
}

TEST(Progress, DurationsAsTheBarShowsThem) {
    EXPECT_EQ(Progress::FormatDuration(0.44), "0.4s");
    EXPECT_EQ(Progress::FormatDuration(12.4), "12s");
    EXPECT_EQ(Progress::FormatDuration(75.0), "1m15s");
    EXPECT_EQ(Progress::FormatDuration(NAN), "?");
}

}  // namespace
}  // namespace koru_cli
