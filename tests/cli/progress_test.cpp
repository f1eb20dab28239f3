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

TEST(Progress, QuietShowsNothing) {
    std::ostringstream out;
    Progress progress(Progress::Mode::Quiet, out);
    progress.Start("bp", 5);
    progress.Update(5, 0.1, NAN);
    progress.Note("note");
    progress.Finish();
    EXPECT_EQ(out.str(), "");
}

TEST(Progress, PlainWritesALineAtEveryTenthAndAtTheEnd) {
    std::ostringstream out;
    Progress progress(Progress::Mode::Plain, out);
    progress.Start("bp", 20);
    for (int epoch = 1; epoch <= 20; ++epoch) {
        progress.Update(epoch, 0.5 / epoch, NAN);
    }
    progress.Finish();
    // Epoch 1, then every second epoch from 2 to 20.
    EXPECT_EQ(Lines(out.str()), 11u);
    EXPECT_EQ(out.str().find('\r'), std::string::npos);
    EXPECT_EQ(out.str().rfind("bp epoch 1/20  error 0.500000  ETA ", 0), 0u);
    EXPECT_NE(out.str().find("bp epoch 20/20  error 0.025000  ETA 0.0s\n"), std::string::npos);
}

TEST(Progress, PlainShowsTheValidationErrorWhenThereIsOne) {
    std::ostringstream out;
    Progress progress(Progress::Mode::Plain, out);
    progress.Start("lvq", 1);
    progress.Update(1, 0.25, 0.125);
    EXPECT_EQ(out.str(), "lvq epoch 1/1  error 0.250000  validation 0.125000  ETA 0.0s\n");
}

TEST(Progress, BarRedrawsOneLine) {
    std::ostringstream out;
    Progress progress(Progress::Mode::Bar, out);
    progress.Start("bp", 4);
    progress.Update(4, 0.5, NAN);
    progress.Finish();
    EXPECT_EQ(out.str(), "\rbp [########################] epoch 4/4  error 0.500000  ETA 0.0s\x1b[K\n");
}

TEST(Progress, DurationsAsTheBarShowsThem) {
    EXPECT_EQ(Progress::FormatDuration(0.44), "0.4s");
    EXPECT_EQ(Progress::FormatDuration(12.4), "12s");
    EXPECT_EQ(Progress::FormatDuration(75.0), "1m15s");
    EXPECT_EQ(Progress::FormatDuration(NAN), "?");
}

}  // namespace
}  // namespace koru_cli
