// command_predict.cpp - `koru predict MODEL.net DATA.csv [-o OUT.csv]`.
//
// One output row per data row: the data row's line in its file, the columns
// copied through (--id, or every column with --keep-inputs), the prediction
// (a class label, or a value in the target's units) and, for backpropagation
// and PNN classifiers, the score of each class. Fields are quoted by libcsv
// where they need it.
//
// --proba writes instead one column "p:CLASS" per class that sums to 1:
// backpropagation's outputs (negative ones taken as 0) and PNN's kernel sums,
// each divided by their total (equal shares when the total is 0); LVQ has no
// graded scores, so its winning class gets 1 and the others 0.
#include "cli_error.h"
#include "commands.h"
#include "csv_table.h"
#include "file_roles.h"
#include "labeled_data.h"
#include "model_file.h"
#include "pending_file.h"
#include "predictor.h"

#include <csv.h>

#include <cstdio>
#include <sstream>

namespace koru_cli {

namespace {

std::string Quoted(const std::string& field) {
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        return field;
    }
    // csv_write quotes the field and doubles its quotes: at most two bytes
    // per byte plus the two enclosing quotes.
    std::string out(2 * field.size() + 2, '\0');
    out.resize(csv_write(out.data(), out.size(), field.data(), field.size()));
    return out;
}

std::string Real(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

// Each class's share of the non-negative scores; equal shares when they are
// all zero.
std::vector<double> Probabilities(const Prediction& prediction, size_t classes) {
    std::vector<double> shares(classes, 0.0);
    if (prediction.scores.empty()) {
        shares[static_cast<size_t>(prediction.classIndex)] = 1.0;
        return shares;
    }
    double total = 0.0;
    for (size_t c = 0; c < classes; ++c) {
        shares[c] = prediction.scores[c] > 0.0f ? prediction.scores[c] : 0.0;
        total += shares[c];
    }
    for (double& share : shares) {
        share = total > 0.0 ? share / total : 1.0 / static_cast<double>(classes);
    }
    return shares;
}

// The header: line, copied columns, prediction, then scores or probabilities.
std::string HeaderRow(const ModelMetadata& metadata, const CsvTable& table, const std::vector<int>& copied,
                      bool withScores, bool proba) {
    std::string text = "line";
    bool clash = false;
    for (int column : copied) {
        text += ',';
        text += Quoted(table.header[static_cast<size_t>(column)]);
        clash = clash || table.header[static_cast<size_t>(column)] == metadata.targetColumn;
    }
    // A copied target column keeps its name; the prediction is then marked.
    text += ',';
    text += Quoted(std::string(clash ? "predicted:" : "") + metadata.targetColumn);
    if (withScores || proba) {
        for (const std::string& name : metadata.classes) {
            text += ',';
            text += Quoted(std::string(proba ? "p:" : "score:") + name);
        }
    }
    text += '\n';
    return text;
}

}  // namespace

int RunPredict(const PredictCommand& command, std::ostream& out) {
    CheckFileRoles({{"MODEL.net", command.modelFile}, {"DATA.csv", command.dataFile}}, {{"-o", command.output}});
    CheckModelAndData(command.modelFile, command.dataFile, "predict");
    Model model = LoadModel(command.modelFile, true);
    const ModelMetadata& metadata = model.metadata;
    if (command.proba && metadata.task != Task::Classify) {
        throw CliError("--proba applies to classifiers; " + command.modelFile + " is a regressor");
    }
    CsvTable table = ReadCsv(command.dataFile);
    LabeledData data = ReadForModel(table, metadata, false);
    std::vector<int> copied;
    if (command.keepInputs) {
        for (size_t c = 0; c < table.header.size(); ++c) copied.push_back(static_cast<int>(c));
    } else {
        for (const std::string& id : command.ids) copied.push_back(table.RequireColumn(id));
    }
    Predictor predictor(model.slot->Net(), metadata);
    bool withScores = metadata.task == Task::Classify && metadata.paradigm->GradedScores();

    std::ostringstream text;
    text << HeaderRow(metadata, table, copied, withScores, command.proba);
    for (size_t row = 0; row < data.inputs.size(); ++row) {
        Prediction prediction = predictor.Predict(data.inputs[row]);
        text << data.lines[row];
        for (int column : copied) {
            text << "," << Quoted(table.rows[row][static_cast<size_t>(column)]);
        }
        text << ",";
        if (metadata.task == Task::Regress) {
            text << Real(prediction.value);
        } else {
            text << Quoted(metadata.classes[static_cast<size_t>(prediction.classIndex)]);
            if (command.proba) {
                for (double share : Probabilities(prediction, metadata.classes.size())) text << "," << Real(share);
            } else if (withScores) {
                for (float score : prediction.scores) text << "," << Real(score);
            }
        }
        text << "\n";
    }

    if (command.output.empty()) {
        out << text.str();
        return 0;
    }
    WritePendingFile(command.output, text.str());
    return 0;
}

}  // namespace koru_cli
