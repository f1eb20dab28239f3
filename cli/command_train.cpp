// command_train.cpp - `koru train DATA.csv -o MODEL.net [options]`.
#include "cli_error.h"
#include "commands.h"
#include "file_roles.h"
#include "model_file.h"
#include "pending_file.h"
#include "training_curve.h"

#include <csignal>
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

const char* SignalName(int signal) {
    return signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "a signal";
}

// The summary of a finished (or interrupted) run.
void Report(const TrainCommand& command, const TrainedModel& model, std::ostream& out) {
    const TrainOptions& options = command.options;
    char seconds[64];
    std::snprintf(seconds, sizeof seconds, "training %.3g s, scoring %.3g s", model.seconds, model.scoringSeconds);
    out << "trained " << options.paradigm->Name() << " (" << TaskName(model.metadata.task) << ") on "
        << options.dataFile << ": " << model.trainRows << " training rows, " << model.validationRows
        << " validation rows, " << seconds << "\n";
    out << "training: " << Measure(model.training) << "\n";
    if (model.validation) {
        out << "validation: " << Measure(*model.validation) << "\n";
    }
    if (model.stopSignal != 0) {
        out << "interrupted by " << SignalName(model.stopSignal) << ": saved the best net so far\n";
    }
    out << "saved " << command.output << "\n";
    if (!command.plot.empty()) {
        out << "plotted " << command.plot << "\n";
    }
}

}  // namespace

int RunTrain(const TrainCommand& command, std::ostream& out) {
    const TrainOptions& options = command.options;
    CheckFileRoles({{"DATA.csv", options.dataFile}}, {{"-o", command.output}, {"--plot", command.plot}});
    if (!command.plot.empty()) {
        std::string noCurve = options.paradigm->NoCurveReason(
            options.settings ? *options.settings : *options.paradigm->NewOptions());
        if (!noCurve.empty()) {
            throw CliError(noCurve);
        }
    }
    Progress progress(Progress::Detect(command.quiet), std::cerr);
    TrainedModel model;
    {
        StopWindow window;  // a signal after it closes ends the program, the save's temporary file removed
        model = TrainModel(options, progress);
    }
    if (model.stopSignal != 0 && !command.saveOnInterrupt) {
        throw CliError(std::string("interrupted by ") + SignalName(model.stopSignal) +
                           " during training; nothing saved (--save-on-interrupt saves the best net so far)",
                       128 + model.stopSignal);
    }
    SaveModel(*model.slot, model.metadata, command.output);
    if (!command.plot.empty()) {
        WriteCurveSvg(model.curve, "koru train: " + std::string(options.paradigm->Name()) + " on " + options.dataFile,
                      command.plot);
    }
    Report(command, model, out);
    return model.stopSignal != 0 ? 128 + model.stopSignal : 0;
}

}  // namespace koru_cli
