// bp_options.cpp - the backpropagation settings: training rules, transfer
// function names and their checks. Kept apart from the trainer, which alone
// calls the library's backpropagation exports.
#include "paradigms/bp_options.h"

#include "cli_error.h"

#include <koru32.h>

namespace koru_cli {

namespace {

struct RuleInfo {
    const char* name;
    uint16_t netType;
    bool batch;  // steps applied once per epoch
};

constexpr RuleInfo kRules[] = {
    {"plain", KORU32_NET_BP_PLAIN, false},
    {"momentum", KORU32_NET_BP_MOMENTUM, false},
    {"batch", KORU32_NET_BP_BATCH, true},
    {"adaptive", KORU32_NET_BP_ADAPTIVE, true},
};

const RuleInfo& FindRuleInfo(const std::string& name) {
    for (const RuleInfo& rule : kRules) {
        if (name == rule.name) {
            return rule;
        }
    }
    throw CliError("unknown training rule '" + name + "' (use plain, momentum, batch or adaptive)");
}

}  // namespace

uint16_t RuleNetType(const std::string& rule) {
    return FindRuleInfo(rule).netType;
}

bool RuleIsBatch(const std::string& rule) {
    return FindRuleInfo(rule).batch;
}

const std::vector<std::string>& TransferNames() {
    static const std::vector<std::string> names = {"logistic", "linear", "tanh", "gaussian", "sine",
                                                   "tanh15", "symmetric-logistic", "gaussian-complement"};
    return names;
}

int TransferCode(const std::string& name) {
    const auto& names = TransferNames();
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i] == name) {
            return static_cast<int>(i);
        }
    }
    throw CliError("unknown transfer function '" + name +
                   "' (use logistic, linear, tanh, gaussian, sine, tanh15, symmetric-logistic or "
                   "gaussian-complement)");
}

const char* TransferName(int code) {
    const auto& names = TransferNames();
    return code >= 0 && code < static_cast<int>(names.size()) ? names[static_cast<size_t>(code)].c_str()
                                                              : "unknown";
}

void ValidateBpOptions(const BpOptions& options) {
    FindRuleInfo(options.rule);
    TransferCode(options.transfer);
    if (!options.outputTransfer.empty()) {
        TransferCode(options.outputTransfer);
    }
    if (options.format != "float" && options.format != "fixed") {
        throw CliError("unknown number format '" + options.format + "' (use float or fixed)");
    }
    if (options.hidden.size() > 29) {
        throw CliError("--hidden: at most 29 hidden layers (a net has 32 slabs)");
    }
    for (int size : options.hidden) {
        if (size < 1 || size > 32767) {
            throw CliError("--hidden: a hidden layer needs 1 to 32767 neurons, not " + std::to_string(size));
        }
    }
    if (options.epochs < 1) {
        throw CliError("--epochs must be at least 1");
    }
}

}  // namespace koru_cli
