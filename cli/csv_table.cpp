// csv_table.cpp - reading CSV files through libcsv, keeping line numbers.
//
// libcsv splits fields and handles quoting; this file adds what the messages
// need: the line on which each record starts. The parser runs with
// CSV_REPALL_NL so that every unquoted line end is reported, also for blank
// lines (reported as records of no fields), and the line count advances on
// each LF and on each LF inside a quoted field. A CR ends a record without
// advancing the count, so CRLF files count their lines once.
#include "csv_table.h"

#include "cli_error.h"

#include <csv.h>

#include <algorithm>
#include <charconv>
#include <cfloat>
#include <cmath>
#include <fstream>
#include <sstream>

namespace koru_cli {

namespace {

struct ParseState {
    const std::string* fileName = nullptr;
    std::vector<std::string> record;
    long line = 1;          // line on which the current record started
    long pendingLines = 0;  // LFs seen inside quoted fields of the record
    CsvTable* table = nullptr;
    bool haveHeader = false;
    std::string error;      // the first error met; parsing stops reporting
};

std::string Trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) {
        return std::string();
    }
    size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

void OnField(void* data, size_t length, void* user) {
    ParseState& state = *static_cast<ParseState*>(user);
    std::string field(static_cast<const char*>(data), length);
    state.pendingLines += std::count(field.begin(), field.end(), '\n');
    state.record.push_back(std::move(field));
}

void OnRecordEnd(int terminator, void* user) {
    ParseState& state = *static_cast<ParseState*>(user);
    long recordLine = state.line;
    state.line += state.pendingLines + (terminator == '\n' ? 1 : 0);
    state.pendingLines = 0;
    std::vector<std::string> record;
    record.swap(state.record);
    if (!state.error.empty()) {
        return;
    }
    // A blank line, or a line of spaces only, holds no record.
    if (record.empty() || (record.size() == 1 && Trim(record[0]).empty())) {
        return;
    }
    CsvTable& table = *state.table;
    if (!state.haveHeader) {
        for (size_t i = 0; i < record.size(); ++i) {
            std::string name = Trim(record[i]);
            if (name.empty()) {
                state.error = *state.fileName + ":" + std::to_string(recordLine) + ":" +
                              std::to_string(i + 1) + ": empty column name in the header";
                return;
            }
            // One hash lookup per name: a header of 100,000 columns is
            // checked in linear time.
            if (!table.index.emplace(name, static_cast<int>(i)).second) {
                state.error = *state.fileName + ":" + std::to_string(recordLine) + ":" +
                              std::to_string(i + 1) + ": duplicate column name " + QuotedCell(name);
                return;
            }
            table.header.push_back(name);
        }
        state.haveHeader = true;
        return;
    }
    if (record.size() != table.header.size()) {
        // The column named is the first field that is missing or extra.
        size_t column = std::min(record.size(), table.header.size()) + 1;
        state.error = *state.fileName + ":" + std::to_string(recordLine) + ":" + std::to_string(column) +
                      ": ragged row: " + std::to_string(record.size()) + " fields, the header has " +
                      std::to_string(table.header.size());
        return;
    }
    table.rows.push_back(std::move(record));
    table.lines.push_back(recordLine);
}

}  // namespace

int CsvTable::ColumnIndex(const std::string& name) const {
    auto found = index.find(name);
    return found == index.end() ? -1 : found->second;
}

std::string ColumnList(const std::vector<std::string>& names) {
    constexpr size_t kShown = 10;
    std::string list;
    for (size_t i = 0; i < names.size() && i < kShown; ++i) {
        list += i ? ", " : "";
        list += names[i].size() > 60 ? QuotedCell(names[i]) : names[i];
    }
    if (names.size() > kShown) {
        list += " and " + std::to_string(names.size() - kShown) + " more";
    }
    return list;
}

int CsvTable::RequireColumn(const std::string& name) const {
    int found = ColumnIndex(name);
    if (found < 0) {
        throw CliError(fileName + ": unknown column " + QuotedCell(name) + " (the columns are: " + ColumnList(header) +
                       ")");
    }
    return found;
}

std::string CsvTable::Where(size_t row, size_t column) const {
    return fileName + ":" + std::to_string(lines[row]) + ":" + std::to_string(column + 1) + ": ";
}

bool IsMissingValue(const std::string& field) {
    std::string text = Trim(field);
    return text.empty() || text == "NA" || text == "N/A" || text == "NaN" || text == "nan" ||
           text == "null" || text == "?";
}

double CsvTable::Number(size_t row, size_t column) const {
    const std::string& field = rows[row][column];
    if (IsMissingValue(field)) {
        throw CliError(Where(row, column) + "missing value in column " + QuotedCell(header[column]));
    }
    std::string text = Trim(field);
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+') {
        ++begin;  // from_chars takes no leading plus sign; a CSV field may have one
    }
    double value = 0.0;
    auto [stop, error] = std::from_chars(begin, end, value);
    if (error == std::errc::result_out_of_range ||
        (error == std::errc() && stop == end && std::isfinite(value) && std::fabs(value) > FLT_MAX)) {
        // The nets compute in 32-bit floats: such a value would scale the rest
        // of its column to nothing, or overflow.
        throw CliError(Where(row, column) + "value " + QuotedCell(text) + " in column " + QuotedCell(header[column]) +
                       " is outside the range of 32-bit floats (about -3.4e38 to 3.4e38)");
    }
    if (error != std::errc() || stop != end || !std::isfinite(value)) {
        throw CliError(Where(row, column) + "non-numeric value " + QuotedCell(text) + " in column " +
                       QuotedCell(header[column]));
    }
    return value;
}

CsvTable ParseCsv(const std::string& text, const std::string& fileName) {
    CsvTable table;
    table.fileName = fileName;
    ParseState state;
    state.fileName = &fileName;
    state.table = &table;

    // A byte-order mark, as some spreadsheet programs write one, is not part
    // of the first column's name.
    const size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    const char* bytes = text.data() + start;
    const size_t size = text.size() - start;

    csv_parser parser;
    if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI | CSV_REPALL_NL) != 0) {
        throw CliError(fileName + ": cannot start the CSV parser");
    }
    size_t parsed = csv_parse(&parser, bytes, size, OnField, OnRecordEnd, &state);
    int finish = (parsed == size) ? csv_fini(&parser, OnField, OnRecordEnd, &state) : -1;
    int status = csv_error(&parser);
    csv_free(&parser);
    if (parsed != size) {
        // libcsv stops at the byte that breaks the quoting rules; its line is
        // the number of line feeds before it, plus one.
        long line = 1 + static_cast<long>(std::count(bytes, bytes + parsed, '\n'));
        throw CliError(fileName + ":" + std::to_string(line) + ": malformed CSV: a stray double quote (" +
                       csv_strerror(status) + ")");
    }
    if (finish != 0) {
        // The file ended inside a quoted field: name the line it started on.
        throw CliError(fileName + ":" + std::to_string(state.line) +
                       ": malformed CSV: a double quote that is never closed");
    }
    if (!state.error.empty()) {
        throw CliError(state.error);
    }
    if (table.header.empty()) {
        throw CliError(fileName + ": empty file: a header row with column names is needed");
    }
    if (table.rows.empty()) {
        throw CliError(fileName + ": no data rows after the header");
    }
    return table;
}

CsvTable ReadCsv(const std::string& fileName) {
    std::ifstream file(fileName, std::ios::binary);
    if (!file) {
        throw CliError(fileName + ": cannot open the file");
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) {
        throw CliError(fileName + ": cannot read the file");
    }
    return ParseCsv(text.str(), fileName);
}

}  // namespace koru_cli
