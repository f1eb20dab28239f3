// command_eval.cpp - `koru eval MODEL.net DATA.csv`.
#include "commands.h"
#include "csv_table.h"
#include "evaluation.h"
#include "labeled_data.h"
#include "model_file.h"
#include "predictor.h"

namespace koru_cli {

int RunEval(const std::string& modelFile, const std::string& dataFile, std::ostream& out) {
    CheckModelAndData(modelFile, dataFile, "eval");
    Model model = LoadModel(modelFile, true);
    CsvTable table = ReadCsv(dataFile);
    LabeledData data = ReadForModel(table, model.metadata, true);
    Predictor predictor(model.slot->Net(), model.metadata);
    Evaluation evaluation = Evaluate(predictor, model.metadata, data);
    out << "model: " << modelFile << " (" << model.metadata.paradigm->Name() << ", "
        << TaskName(model.metadata.task) << ")\n";
    out << "data: " << dataFile << "\n";
    PrintEvaluation(out, evaluation, model.metadata);
    return 0;
}

}  // namespace koru_cli
