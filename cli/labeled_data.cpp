// labeled_data.cpp - turning CSV rows into inputs and targets.
#include "labeled_data.h"

#include "cli_error.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>

namespace koru_cli {

namespace {

std::string TrimmedField(const CsvTable& table, size_t row, int column) {
    const std::string& field = table.rows[row][static_cast<size_t>(column)];
    size_t begin = field.find_first_not_of(" \t");
    if (begin == std::string::npos) {
        return std::string();
    }
    return field.substr(begin, field.find_last_not_of(" \t") - begin + 1);
}

std::string Label(const CsvTable& table, size_t row, int column) {
    if (IsMissingValue(table.rows[row][static_cast<size_t>(column)])) {
        throw CliError(table.Where(row, static_cast<size_t>(column)) + "missing value in column " +
                       QuotedCell(table.header[static_cast<size_t>(column)]));
    }
    return TrimmedField(table, row, column);
}

}  // namespace

ColumnChoice ChooseColumns(const CsvTable& table, const std::vector<std::string>& inputNames,
                           const std::string& targetName) {
    ColumnChoice choice;
    choice.target = targetName.empty() ? static_cast<int>(table.header.size()) - 1
                                       : table.RequireColumn(targetName);
    if (inputNames.empty()) {
        for (int c = 0; c < static_cast<int>(table.header.size()); ++c) {
            if (c != choice.target) {
                choice.inputs.push_back(c);
            }
        }
    } else {
        std::vector<bool> chosen(table.header.size(), false);
        for (const std::string& name : inputNames) {
            int column = table.RequireColumn(name);
            if (column == choice.target) {
                throw CliError(table.fileName + ": column " + QuotedCell(name) + " is the target; it cannot be an input too");
            }
            if (chosen[static_cast<size_t>(column)]) {
                throw CliError(table.fileName + ": input column " + QuotedCell(name) + " is named twice");
            }
            chosen[static_cast<size_t>(column)] = true;
            choice.inputs.push_back(column);
        }
    }
    if (choice.inputs.empty()) {
        throw CliError(table.fileName + ": no input columns: the file needs at least two columns");
    }
    return choice;
}

std::vector<std::vector<double>> ReadInputs(const CsvTable& table, const std::vector<int>& columns) {
    std::vector<std::vector<double>> inputs(table.rows.size());
    for (size_t row = 0; row < table.rows.size(); ++row) {
        inputs[row].reserve(columns.size());
        for (int column : columns) {
            inputs[row].push_back(table.Number(row, static_cast<size_t>(column)));
        }
    }
    return inputs;
}

std::vector<std::string> CollectClasses(const CsvTable& table, int column) {
    std::set<std::string> seen;
    for (size_t row = 0; row < table.rows.size(); ++row) {
        seen.insert(Label(table, row, column));
    }
    std::vector<std::string> classes(seen.begin(), seen.end());
    // Labels that are all numbers sort by value (2 before 10); others stay in
    // byte order. Either way the order depends on the labels alone, never on
    // the order of the rows.
    std::vector<double> values;
    for (const std::string& label : classes) {
        char* end = nullptr;
        double value = std::strtod(label.c_str(), &end);
        if (end == label.c_str() || *end != '\0' || !std::isfinite(value)) {
            return classes;
        }
        values.push_back(value);
    }
    std::vector<size_t> order(classes.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return values[a] < values[b]; });
    std::vector<std::string> sorted;
    for (size_t i : order) sorted.push_back(classes[i]);
    return sorted;
}

std::vector<int> ReadClasses(const CsvTable& table, int column, const std::vector<std::string>& classes) {
    std::vector<int> indices(table.rows.size());
    for (size_t row = 0; row < table.rows.size(); ++row) {
        std::string label = Label(table, row, column);
        auto found = std::find(classes.begin(), classes.end(), label);
        if (found == classes.end()) {
            throw CliError(table.Where(row, static_cast<size_t>(column)) + "class " + QuotedCell(label) +
                           " is not one the model knows");
        }
        indices[row] = static_cast<int>(found - classes.begin());
    }
    return indices;
}

std::vector<double> ReadTargets(const CsvTable& table, int column) {
    std::vector<double> targets(table.rows.size());
    for (size_t row = 0; row < table.rows.size(); ++row) {
        targets[row] = table.Number(row, static_cast<size_t>(column));
    }
    return targets;
}

bool LooksCategorical(const CsvTable& table, int column, size_t maxClasses) {
    std::set<std::string> distinct;
    for (size_t row = 0; row < table.rows.size(); ++row) {
        try {
            table.Number(row, static_cast<size_t>(column));
        } catch (const CliError&) {
            return true;
        }
        distinct.insert(TrimmedField(table, row, column));
    }
    return distinct.size() <= maxClasses;
}

LabeledData ReadForModel(const CsvTable& table, const ModelMetadata& metadata, bool needTargets) {
    LabeledData data;
    std::vector<int> columns;
    for (const std::string& name : metadata.inputColumns) {
        columns.push_back(table.RequireColumn(name));
    }
    data.inputs = ReadInputs(table, columns);
    data.lines = table.lines;
    int target = table.ColumnIndex(metadata.targetColumn);
    if (target < 0 && needTargets) {
        table.RequireColumn(metadata.targetColumn);  // throws the unknown-column message
    }
    if (target >= 0) {
        data.hasTargets = true;
        if (metadata.task == Task::Classify) {
            data.classes = ReadClasses(table, target, metadata.classes);
        } else {
            data.targets = ReadTargets(table, target);
        }
    }
    return data;
}

}  // namespace koru_cli
