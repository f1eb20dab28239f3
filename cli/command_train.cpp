// command_train.cpp - `koru train DATA.csv -o MODEL.net [options]`.
#include "cli_error.h"
#include "commands.h"
#include "file_roles.h"
#include "model_file.h"
#include "training_curve.h"

#include <cstdio>
#include <iostream>

namespace koru_cli {

namespace {

std::string Measure(const Evaluation& evaluation) {
    char text[80];
    if (evaluation.task == Task::Classify) {
        std::snprintf(text, sizeof text, "accuracy %.4g", evaluation.Accuracy());
    } else {
        std::snprintf(text, sizeof text, "RMSE %.4g, MAE %.4g", evaluation.Rmse(), evaluation.Mae());
    }
    return text;
}

}  // namespace

int RunTrain(const TrainCommand& command, std::ostream& out) {
    const TrainOptions& options = command.options;
    CheckFileRoles({{"DATA.csv", options.dataFile}}, {{"-o", command.output}, {"--plot", command.plot}});
    bool kernelNet = options.paradigm == "pnn" || options.paradigm == "grnn";
    if (!command.plot.empty() && kernelNet && options.kernel.pickSigma == "none") {
        throw CliError("--plot needs a training curve: pnn and grnn have one only with --pick-sigma loo or validation");
    }
    Progress progress(Progress::Detect(command.quiet), std::cerr);
    TrainedModel model = TrainModel(options, progress);
    SaveModel(*model.slot, model.metadata, command.output);
    if (!command.plot.empty()) {
        WriteCurveSvg(model.curve, "koru train: " + options.paradigm + " on " + options.dataFile, command.plot);
    }
    char seconds[64];
    std::snprintf(seconds, sizeof seconds, "training %.3g s, scoring %.3g s", model.seconds, model.scoringSeconds);
    out << "trained " << options.paradigm << " (" << TaskName(model.metadata.task) << ") on "
        << options.dataFile << ": " << model.trainRows << " training rows, " << model.validationRows
        << " validation rows, " << seconds << "\n";
    out << "training: " << Measure(model.training) << "\n";
    if (model.validation) {
        out << "validation: " << Measure(*model.validation) << "\n";
    }
    out << "saved " << command.output << "\n";
    if (!command.plot.empty()) {
        out << "plotted " << command.plot << "\n";
    }
    return 0;
}

}  // namespace koru_cli
