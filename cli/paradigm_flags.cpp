// paradigm_flags.cpp - options shared out among the paradigms.
#include "paradigm_flags.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <stdexcept>

namespace koru_cli {

// One option of the command: where CLI11 parses it to, and per paradigm
// taking it, how its value reaches that paradigm's options.
struct ParadigmFlags::Entry {
    CLI::Option* option = nullptr;
    const char* type = "";
    std::shared_ptr<void> parsed;
    std::string help, group;
    std::vector<std::pair<std::string, std::string>> parts;  // paradigms, their help
    std::set<std::string> paradigms;
    std::map<std::string, std::function<void()>> handOver;
};

namespace {

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// The value an option parses into, shared by the entry and its hand-overs.
template <typename T>
std::shared_ptr<T> Parsed(const std::shared_ptr<void>& parsed) {
    return std::static_pointer_cast<T>(parsed);
}

}  // namespace

ParadigmFlags::Entry& ParadigmFlags::Join(const std::string& name, const std::string& paradigm,
                                          const std::string& help, const char* type) {
    std::shared_ptr<Entry>& entry = entries_[name];
    if (!entry) {
        entry = std::make_shared<Entry>();
        entry->type = type;
    } else if (std::string(entry->type) != type) {
        throw std::logic_error("option " + name + " added with two types");
    }
    entry->paradigms.insert(paradigm);
    // One help text per distinct text, led by the paradigms that share it
    // once the option belongs to more than one.
    auto same = std::find_if(entry->parts.begin(), entry->parts.end(), [&](const auto& part) { return part.second == help; });
    if (same != entry->parts.end()) {
        same->first += ", " + paradigm;
    } else {
        entry->parts.emplace_back(paradigm, help);
    }
    entry->help.clear();
    for (const auto& [owners, text] : entry->parts) {
        entry->help += (entry->help.empty() ? "" : "; ") + (entry->paradigms.size() > 1 ? owners + ": " : "") + text;
    }
    std::set<std::string> groups;
    for (const std::string& owner : entry->paradigms) groups.insert(groups_[owner]);
    entry->group = groups.size() == 1 ? *groups.begin() : std::string("Options of several paradigms");
    if (entry->option) {
        entry->option->description(entry->help);
        entry->option->group(entry->group);
    }
    return *entry;
}

void ParadigmFlags::Add(const std::string& name, const std::string& paradigm, double& target,
                        const std::string& help) {
    Entry& entry = Join(name, paradigm, help, "real");
    if (!entry.option) {
        auto parsed = std::make_shared<double>(target);
        entry.parsed = parsed;
        entry.option = command_->add_option(name, *parsed, entry.help)->group(entry.group);
    }
    auto parsed = Parsed<double>(entry.parsed);
    entry.handOver[paradigm] = [parsed, &target] { target = *parsed; };
}

void ParadigmFlags::Add(const std::string& name, const std::string& paradigm, int& target, const std::string& help,
                        int low, int high) {
    Entry& entry = Join(name, paradigm, help, "integer");
    if (!entry.option) {
        auto parsed = std::make_shared<int>(target);
        entry.parsed = parsed;
        entry.option =
            command_->add_option(name, *parsed, entry.help)->check(CLI::Range(low, high))->group(entry.group);
    }
    auto parsed = Parsed<int>(entry.parsed);
    entry.handOver[paradigm] = [parsed, &target] { target = *parsed; };
}

void ParadigmFlags::Add(const std::string& name, const std::string& paradigm, std::vector<int>& target,
                        const std::string& help, int low, int high) {
    Entry& entry = Join(name, paradigm, help, "integers");
    if (!entry.option) {
        auto parsed = std::make_shared<std::vector<int>>(target);
        entry.parsed = parsed;
        entry.option = command_->add_option(name, *parsed, entry.help)
                           ->delimiter(',')
                           ->allow_extra_args(false)
                           ->check(CLI::Range(low, high))
                           ->group(entry.group);
    }
    auto parsed = Parsed<std::vector<int>>(entry.parsed);
    entry.handOver[paradigm] = [parsed, &target] { target = *parsed; };
}

void ParadigmFlags::Add(const std::string& name, const std::string& paradigm, std::string& target,
                        const std::string& help, const std::vector<std::string>& choices) {
    Entry& entry = Join(name, paradigm, help, "choice");
    if (!entry.option) {
        auto parsed = std::make_shared<std::string>(target);
        entry.parsed = parsed;
        entry.option = command_->add_option(name, *parsed, entry.help)->group(entry.group);
    }
    auto parsed = Parsed<std::string>(entry.parsed);
    std::set<std::string> allowed(choices.begin(), choices.end());
    entry.handOver[paradigm] = [parsed, &target, allowed, name, paradigm, choices] {
        if (allowed.count(*parsed) == 0) {
            std::string list;
            for (size_t i = 0; i < choices.size(); ++i) {
                list += (i == 0 ? "" : (i + 1 == choices.size() ? " or " : ", ")) + choices[i];
            }
            throw CLI::ValidationError(name + " " + *parsed + ": --paradigm " + paradigm + " takes " + list);
        }
        target = *parsed;
    };
}

bool ParadigmFlags::Given(const std::string& name) const {
    auto found = entries_.find(name);
    return found != entries_.end() && found->second->option->count() > 0;
}

std::string ParadigmFlags::GivenText(const std::string& name) const {
    return Given(name) ? entries_.at(name)->option->as<std::string>() : std::string();
}

void ParadigmFlags::Apply(const std::string& paradigm) const {
    for (const auto& [name, entry] : entries_) {
        if (entry->option->count() == 0) {
            continue;
        }
        if (entry->paradigms.count(paradigm) == 0) {
            std::string allowed;
            for (const std::string& owner : entry->paradigms) {
                allowed += (allowed.empty() ? "" : " or ") + owner;
            }
            throw CLI::ValidationError(name + " applies to --paradigm " + allowed + ", not " + paradigm);
        }
        entry->handOver.at(paradigm)();
    }
}

void ParadigmFlags::Refuse(const std::string& message) {
    throw CLI::ValidationError(message);
}

void ParadigmFlags::CheckReal(const std::string& name, double value, double low, bool lowIncluded, double high,
                              bool highIncluded) const {
    if (!Given(name)) {
        return;
    }
    if (!std::isfinite(value)) {
        throw CLI::ValidationError(name + " must be finite");
    }
    bool aboveLow = lowIncluded ? value >= low : value > low;
    bool belowHigh = highIncluded ? value <= high : value < high;
    if (!aboveLow || !belowHigh) {
        throw CLI::ValidationError(name + " must be " + (lowIncluded ? "at least " : "above ") + Number(low) +
                                   " and " + (highIncluded ? "at most " : "below ") + Number(high) + ", not " +
                                   GivenText(name));
    }
}

}  // namespace koru_cli
