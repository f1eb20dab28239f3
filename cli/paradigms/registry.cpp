// paradigms/registry.cpp - the paradigms of paradigms/list.h, found by name.
#include "cli_error.h"
#include "paradigm.h"

namespace koru_cli {

#define KORU_PARADIGM(function) const ParadigmModule& function();
#include "list.h"
#undef KORU_PARADIGM

const std::vector<const ParadigmModule*>& Paradigms() {
#define KORU_PARADIGM(function) &function(),
    static const std::vector<const ParadigmModule*> all = {
#include "list.h"
    };
#undef KORU_PARADIGM
    return all;
}

std::string ParadigmNames(const Task* task) {
    std::vector<std::string> names;
    for (const ParadigmModule* paradigm : Paradigms()) {
        if (!task || paradigm->Supports(*task)) {
            names.push_back(paradigm->Name());
        }
    }
    std::string text;
    for (size_t i = 0; i < names.size(); ++i) {
        text += i == 0 ? "" : (i + 1 == names.size() ? " or " : ", ");
        text += names[i];
    }
    return text;
}

const ParadigmModule& FindParadigm(const std::string& name) {
    for (const ParadigmModule* paradigm : Paradigms()) {
        if (name == paradigm->Name()) {
            return *paradigm;
        }
    }
    throw CliError("unknown paradigm '" + name + "' (use " + ParadigmNames() + ")");
}

}  // namespace koru_cli
