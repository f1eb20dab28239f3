// command_predict.cpp - `koru predict MODEL.net DATA.csv [-o OUT.csv]`.
//
// One output row per data row: the data row's line in its file, the
// prediction (a class label, or a value in the target's units) and, for
// backpropagation and PNN classifiers, the score of each class. Fields are
// quoted by libcsv where they need it.
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

}  // namespace

int RunPredict(const std::string& modelFile, const std::string& dataFile, const std::string& outputFile,
               std::ostream& out) {
    CheckFileRoles({{"MODEL.net", modelFile}, {"DATA.csv", dataFile}}, {{"-o", outputFile}});
    CheckModelAndData(modelFile, dataFile, "predict");
    Model model = LoadModel(modelFile, true);
    const ModelMetadata& metadata = model.metadata;
    CsvTable table = ReadCsv(dataFile);
    LabeledData data = ReadForModel(table, metadata, false);
    Predictor predictor(model.slot->Net(), metadata);
    bool withScores = metadata.task == Task::Classify &&
                      (metadata.paradigm == Paradigm::Backprop || metadata.paradigm == Paradigm::Pnn);

    std::ostringstream text;
    text << "line," << Quoted(metadata.targetColumn);
    if (withScores) {
        for (const std::string& name : metadata.classes) {
            text << "," << Quoted("score:" + name);
        }
    }
    text << "\n";
    for (size_t row = 0; row < data.inputs.size(); ++row) {
        Prediction prediction = predictor.Predict(data.inputs[row]);
        text << data.lines[row] << ",";
        if (metadata.task == Task::Classify) {
            text << Quoted(metadata.classes[static_cast<size_t>(prediction.classIndex)]);
            if (withScores) {
                for (float score : prediction.scores) {
                    text << "," << Real(score);
                }
            }
        } else {
            text << Real(prediction.value);
        }
        text << "\n";
    }

    if (outputFile.empty()) {
        out << text.str();
        return 0;
    }
    WritePendingFile(outputFile, text.str());
    return 0;
}

}  // namespace koru_cli
