// train_flags.cpp - the options of `koru train` and `koru cv`.
#include "train_flags.h"

#include "cli_error.h"

#include <CLI/CLI.hpp>

namespace koru_cli {

namespace {

void AddCommon(CLI::App* command, TrainOptions& options) {
    command->add_option("--target", options.target, "target column (default: the last column)");
    command
        ->add_option("--inputs", options.inputs,
                     "input columns as one comma-separated value, e.g. a,b (default: all others)")
        ->delimiter(',')
        ->allow_extra_args(false);
    command
        ->add_option("--task", options.task,
                     "classify or regress; auto: pnn and lvq classify, grnn regresses, bp classifies a "
                     "target with text or at most 10 distinct values")
        ->check(CLI::IsMember({"auto", "classify", "regress"}))
        ->capture_default_str();
    command->add_option("--scaling", options.scaling, "input scaling: minmax or standard")
        ->check(CLI::IsMember({"minmax", "standard"}))
        ->capture_default_str();
    command->add_option("--seed", options.seed, "seed of the weights, the split and the order")
        ->capture_default_str();
    command
        ->add_option("--sample", options.sample,
                     "train on this many rows drawn at random with --seed (0: every row); pnn and grnn "
                     "hold at most 32767 training rows")
        ->check(CLI::Range(size_t{0}, size_t{100000000}));
}

}  // namespace

void TrainFlags::Add(CLI::App* command) {
    std::vector<std::string> names;
    for (const ParadigmModule* paradigm : Paradigms()) {
        names.push_back(paradigm->Name());
    }
    command->add_option("--paradigm", paradigm_, ParadigmNames())->check(CLI::IsMember(names))->capture_default_str();
    AddCommon(command, options);
    validationOption_ = command->add_option(
        "--validation", validation_,
        "fraction of rows held out for validation, 0 to 0.9 (default 0.2; pnn and grnn: 0 unless "
        "--pick-sigma validation, as leave-one-out needs no held-out rows)");
    flags_ = std::make_unique<ParadigmFlags>(command);
    for (const ParadigmModule* paradigm : Paradigms()) {
        perParadigm_.push_back(paradigm->NewOptions());
        paradigm->AddFlags(*flags_, *perParadigm_.back());
    }
}

void TrainFlags::Finish() {
    size_t index = 0;
    while (Paradigms()[index]->Name() != paradigm_) {
        ++index;  // --paradigm is checked to be one of them
    }
    const ParadigmModule& paradigm = *Paradigms()[index];
    flags_->Apply(paradigm_);
    paradigm.FinishFlags(*flags_, *perParadigm_[index]);
    if (validationOption_->count() > 0) {
        if (!std::isfinite(validation_)) {
            throw CLI::ValidationError("--validation must be finite");
        }
        if (!(validation_ >= 0.0 && validation_ <= 0.9)) {
            throw CLI::ValidationError("--validation must be at least 0 and at most 0.9, not " +
                                       validationOption_->as<std::string>());
        }
        options.validation = validation_;
    }
    options.paradigm = &paradigm;
    options.settings = perParadigm_[index];
}

TrainOptions ParseTrainOptions(const std::string& dataFile, const std::vector<std::string>& words) {
    CLI::App command;
    TrainFlags flags;
    flags.Add(&command);
    std::vector<std::string> reversed(words.rbegin(), words.rend());  // CLI11 takes them last first
    try {
        command.parse(reversed);
        flags.Finish();
    } catch (const CLI::Error& error) {
        throw CliError(error.what());
    }
    flags.options.dataFile = dataFile;
    return flags.options;
}

}  // namespace koru_cli
