// Reading CSV text: rows, line numbers, and the exact file:line:column
// messages for each kind of bad input.
#include "cli_error_text.h"
#include "csv_table.h"

#include <gtest/gtest.h>

#include <string>

namespace koru_cli {
namespace {

std::string ErrorOf(const std::string& text) {
    return CliErrorText([&] { ParseCsv(text, "f.csv"); });
}

std::string NumberErrorOf(const CsvTable& table, size_t row, size_t column) {
    return CliErrorText([&] { table.Number(row, column); });
}

TEST(CsvTable, ReadsHeaderRowsAndTheLineOfEveryRow) {
    // Line 1 header, line 2 a row, line 3 blank, lines 4-5 one row with a
    // quoted line break, line 6 a row; CRLF line ends throughout.
    CsvTable table = ParseCsv("a,b\r\n1,2\r\n\r\n3,\"x\r\ny\"\r\n5,\"6,7\"\r\n", "f.csv");
    ASSERT_EQ(table.header, (std::vector<std::string>{"a", "b"}));
    ASSERT_EQ(table.rows.size(), 3u);
    EXPECT_EQ(table.lines, (std::vector<long>{2, 4, 6}));
    EXPECT_EQ(table.rows[1][1], "x\r\ny");
    EXPECT_EQ(table.rows[2][1], "6,7");
}

TEST(CsvTable, LastRowWithoutLineEndAndSpacesAroundNames) {
    CsvTable table = ParseCsv(" a , b\n1,2\n3,4", "f.csv");
    EXPECT_EQ(table.header, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(table.lines, (std::vector<long>{2, 3}));
    EXPECT_EQ(table.ColumnIndex("b"), 1);
    EXPECT_EQ(table.ColumnIndex("c"), -1);
}

TEST(CsvTable, NumbersAcceptTheUsualSpellings) {
    CsvTable table = ParseCsv("a,b,c,d\n 2.5 ,+1,-3e2,0.1\n", "f.csv");
    EXPECT_EQ(table.Number(0, 0), 2.5);
    EXPECT_EQ(table.Number(0, 1), 1.0);
    EXPECT_EQ(table.Number(0, 2), -300.0);
    EXPECT_EQ(table.Number(0, 3), 0.1);
}

TEST(CsvTable, RaggedRowsNameTheFirstMissingOrExtraField) {
    EXPECT_EQ(ErrorOf("a,b,c\n1,2,3\n\n4,5\n"), "f.csv:4:3: ragged row: 2 fields, the header has 3");
    EXPECT_EQ(ErrorOf("a,b\n1,2,3\n"), "f.csv:2:3: ragged row: 3 fields, the header has 2");
}

TEST(CsvTable, MissingAndNonNumericValuesNameLineAndColumn) {
    CsvTable table = ParseCsv("a,b\n1,2\n\n3,\nx1,NA\nnan,inf\n", "f.csv");
    EXPECT_EQ(NumberErrorOf(table, 1, 1), "f.csv:4:2: missing value in column 'b'");
    EXPECT_EQ(NumberErrorOf(table, 2, 0), "f.csv:5:1: non-numeric value 'x1' in column 'a'");
    EXPECT_EQ(NumberErrorOf(table, 2, 1), "f.csv:5:2: missing value in column 'b'");
    // Not-a-number and infinity are no measurements.
    EXPECT_EQ(NumberErrorOf(table, 3, 0), "f.csv:6:1: missing value in column 'a'");
    EXPECT_EQ(NumberErrorOf(table, 3, 1), "f.csv:6:2: non-numeric value 'inf' in column 'b'");
    EXPECT_EQ(NumberErrorOf(table, 0, 0), "no error");
}

TEST(CsvTable, MalformedFilesAreRefused) {
    EXPECT_EQ(ErrorOf("a,b\n1,2\n1,\"2\n3,4\n"), "f.csv:3: malformed CSV: a double quote that is never closed");
    EXPECT_EQ(ErrorOf("a,b\n1,2\n\n3,4\"x\n"),
              "f.csv:4: malformed CSV: a stray double quote (error parsing data while strict checking enabled)");
    EXPECT_EQ(ErrorOf(""), "f.csv: empty file: a header row with column names is needed");
    EXPECT_EQ(ErrorOf("a,b\n\n"), "f.csv: no data rows after the header");
    EXPECT_EQ(ErrorOf("a,b,a\n1,2,3\n"), "f.csv:1:3: duplicate column name 'a'");
    EXPECT_EQ(ErrorOf("a,,c\n1,2,3\n"), "f.csv:1:2: empty column name in the header");
}

TEST(CsvTable, UnknownColumnListsTheColumnsThereAre) {
    CsvTable table = ParseCsv("a,b\n1,2\n", "f.csv");
    try {
        table.RequireColumn("c");
        FAIL() << "no error";
    } catch (const CliError& error) {
        EXPECT_STREQ(error.what(), "f.csv: unknown column 'c' (the columns are: a, b)");
    }
    EXPECT_EQ(table.RequireColumn("b"), 1);
}

TEST(CsvTable, UnreadableFile) {
    try {
        ReadCsv("/nonexistent/f.csv");
        FAIL() << "no error";
    } catch (const CliError& error) {
        EXPECT_STREQ(error.what(), "/nonexistent/f.csv: cannot open the file");
    }
}

}  // namespace
}  // namespace koru_cli
