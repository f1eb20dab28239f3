// csv_table.h - a CSV file read into memory, with the line of every row.
//
// The first record is the header (column names); every later record is a data
// row and must have as many fields as the header. Blank lines are skipped.
// Every error names the file, the line and, where there is one, the column
// (the field number, counted from 1), as "FILE:LINE:COLUMN: what".
#ifndef KORU_CLI_CSV_TABLE_H
#define KORU_CLI_CSV_TABLE_H

#include <string>
#include <unordered_map>
#include <vector>

namespace koru_cli {

struct CsvTable {
    std::string fileName;
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
    std::vector<long> lines;  // the file line on which each row starts
    std::unordered_map<std::string, int> index;  // column name -> column

    // Index of the column called `name`, or -1.
    int ColumnIndex(const std::string& name) const;
    // Index of the column called `name`; a CliError naming the file and the
    // columns it does have otherwise.
    int RequireColumn(const std::string& name) const;
    // "FILE:LINE:COLUMN: " for field `column` (from 0) of row `row`.
    std::string Where(size_t row, size_t column) const;
    // Field `column` of row `row` as a number; a CliError for a missing value,
    // a field that is not a finite number, or one beyond the range of 32-bit
    // floats (1e300).
    double Number(size_t row, size_t column) const;
};

// Reads a whole CSV file (a UTF-8 byte-order mark is skipped; comma separated, double quotes, LF or CRLF line
// ends). Throws CliError for an unreadable file, a malformed quote, a header
// without columns, a duplicate column name, a ragged row or no data row.
CsvTable ReadCsv(const std::string& fileName);

// Parses a CSV text as ReadCsv does; `fileName` is used in the messages.
CsvTable ParseCsv(const std::string& text, const std::string& fileName);

// The names for a message: the first 10, then "and N more".
std::string ColumnList(const std::vector<std::string>& names);

// True for the spellings that stand for "no value" in data files: an empty
// field (after trimming spaces), "NA", "N/A", "NaN", "null" and "?".
bool IsMissingValue(const std::string& field);

}  // namespace koru_cli

#endif
