// model_metadata.cpp - the text form of the front end's model metadata.
#include "model_metadata.h"

#include "cli_error.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace koru_cli {

namespace {

constexpr const char* kFirstLine = "koru-model 1";

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '%': out += "%25"; break;
            case ',': out += "%2C"; break;
            case '\r': out += "%0D"; break;
            case '\n': out += "%0A"; break;
            default: out += c;
        }
    }
    return out;
}

bool Unescape(const std::string& text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) {
            return false;
        }
        std::string code = text.substr(i + 1, 2);
        if (code == "25") out += '%';
        else if (code == "2C") out += ',';
        else if (code == "0D") out += '\r';
        else if (code == "0A") out += '\n';
        else return false;
        i += 2;
    }
    return true;
}

// The items joined with commas, each written by `write`.
template <typename Item, typename Write>
std::string JoinWithCommas(const std::vector<Item>& items, Write write) {
    std::string out;
    for (size_t i = 0; i < items.size(); ++i) {
        out += i ? "," : "";
        out += write(items[i]);
    }
    return out;
}

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> items;
    if (text.empty()) {
        return items;
    }
    size_t start = 0;
    while (true) {
        size_t comma = text.find(',', start);
        items.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) {
            return items;
        }
        start = comma + 1;
    }
}

// The setting named `key`, or the end of `settings`.
template <typename Settings>
auto FindSetting(Settings& settings, const std::string& key) {
    return std::find_if(settings.begin(), settings.end(), [&](const auto& entry) { return entry.first == key; });
}

bool ParseDouble(const std::string& text, double& value) {
    auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && stop == text.data() + text.size() && std::isfinite(value);
}

std::string FileOf(const std::string& source) {
    return source.empty() ? std::string() : source + ": damaged model metadata: ";
}

}  // namespace

const char* ParadigmName(Paradigm paradigm) {
    switch (paradigm) {
        case Paradigm::Backprop: return "bp";
        case Paradigm::Pnn: return "pnn";
        case Paradigm::Grnn: return "grnn";
        case Paradigm::Lvq: return "lvq";
    }
    return "?";
}

Paradigm ParseParadigmName(const std::string& name) {
    if (name == "bp") return Paradigm::Backprop;
    if (name == "pnn") return Paradigm::Pnn;
    if (name == "grnn") return Paradigm::Grnn;
    if (name == "lvq") return Paradigm::Lvq;
    throw CliError("unknown paradigm '" + name + "' (use bp, pnn, grnn or lvq)");
}

const char* TaskName(Task task) {
    return task == Task::Classify ? "classify" : "regress";
}

std::string FormatNumber(double value) {
    // The shortest of %.15g .. %.17g that reads back to the same double, so
    // the text stays readable and the value exact.
    char buffer[40];
    for (int digits = 15; digits <= 17; ++digits) {
        std::snprintf(buffer, sizeof buffer, "%.*g", digits, value);
        double back = 0.0;
        std::from_chars(buffer, buffer + std::strlen(buffer), back);
        if (back == value) {
            break;
        }
    }
    return buffer;
}

void ModelMetadata::Set(const std::string& key, const std::string& value) {
    auto found = FindSetting(settings, key);
    if (found != settings.end()) {
        found->second = value;
        return;
    }
    settings.emplace_back(key, value);
}

void ModelMetadata::Set(const std::string& key, double value) {
    Set(key, FormatNumber(value));
}

bool ModelMetadata::Has(const std::string& key) const {
    return FindSetting(settings, key) != settings.end();
}

const std::string& ModelMetadata::Get(const std::string& key) const {
    auto found = FindSetting(settings, key);
    if (found == settings.end()) {
        throw CliError(FileOf(source) + "the model's metadata has no '" + key + "' entry");
    }
    return found->second;
}

void ModelMetadata::SetIntegers(const std::string& key, const std::vector<int>& values) {
    Set(key, JoinWithCommas(values, [](int value) { return std::to_string(value); }));
}

double ModelMetadata::GetNumber(const std::string& key) const {
    double value = 0.0;
    if (!ParseDouble(Get(key), value)) {
        throw CliError(FileOf(source) + "the model's metadata entry '" + key + "' is not a number");
    }
    return value;
}

std::vector<int> ModelMetadata::GetIntegers(const std::string& key) const {
    std::vector<int> values;
    for (const std::string& item : SplitList(Get(key))) {
        double value = 0.0;
        if (!ParseDouble(item, value) || value != std::floor(value) || std::fabs(value) > 1e9) {
            throw CliError(FileOf(source) + "the model's metadata entry '" + key + "' is not a list of integers");
        }
        values.push_back(static_cast<int>(value));
    }
    return values;
}

std::string EncodeMetadata(const ModelMetadata& metadata) {
    std::ostringstream out;
    out << kFirstLine << "\n";
    out << "paradigm=" << ParadigmName(metadata.paradigm) << "\n";
    out << "task=" << TaskName(metadata.task) << "\n";
    out << "inputs=" << JoinWithCommas(metadata.inputColumns, Escape) << "\n";
    out << "target=" << Escape(metadata.targetColumn) << "\n";
    out << "classes=" << JoinWithCommas(metadata.classes, Escape) << "\n";
    out << "scaling=" << ScalingName(metadata.inputScaling.method) << "\n";
    out << "scaling.offset=" << JoinWithCommas(metadata.inputScaling.offset, FormatNumber) << "\n";
    out << "scaling.scale=" << JoinWithCommas(metadata.inputScaling.scale, FormatNumber) << "\n";
    out << "unit_length=" << (metadata.unitLength ? 1 : 0) << "\n";
    out << "target.offset=" << FormatNumber(metadata.targetOffset) << "\n";
    out << "target.scale=" << FormatNumber(metadata.targetScale) << "\n";
    for (const auto& [key, value] : metadata.settings) {
        out << "set." << key << "=" << Escape(value) << "\n";
    }
    return out.str();
}

ModelMetadata DecodeMetadata(const std::string& text, const std::string& source) {
    auto fail = [&](const std::string& what) {
        return CliError(source + ": damaged model metadata: " + what);
    };
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != kFirstLine) {
        throw fail("it does not start with '" + std::string(kFirstLine) + "'");
    }
    ModelMetadata metadata;
    metadata.source = source;
    bool seen[12] = {};
    const char* required[] = {"paradigm", "task", "inputs", "target", "classes", "scaling",
                              "scaling.offset", "scaling.scale", "unit_length", "target.offset",
                              "target.scale"};
    auto numbers = [&](const std::string& key, const std::string& value) {
        std::vector<double> out;
        for (const std::string& item : SplitList(value)) {
            double number = 0.0;
            if (!ParseDouble(item, number)) {
                throw fail("'" + key + "' holds " + QuotedCell(item) + ", not a number");
            }
            out.push_back(number);
        }
        return out;
    };
    while (std::getline(in, line)) {
        size_t equals = line.find('=');
        if (equals == std::string::npos) {
            throw fail("line " + QuotedCell(line) + " has no '='");
        }
        std::string key = line.substr(0, equals);
        std::string raw = line.substr(equals + 1);
        std::string value;
        if (key.rfind("set.", 0) == 0) {
            if (!Unescape(raw, value)) {
                throw fail("bad escape in '" + key + "'");
            }
            metadata.Set(key.substr(4), value);
            continue;
        }
        size_t index = 0;
        while (index < 11 && key != required[index]) {
            ++index;
        }
        if (index == 11) {
            continue;  // an entry of a later version: skipped, not fatal
        }
        seen[index] = true;
        auto list = [&]() {
            std::vector<std::string> items;
            for (const std::string& item : SplitList(raw)) {
                std::string name;
                if (!Unescape(item, name)) {
                    throw fail("bad escape in '" + key + "'");
                }
                items.push_back(name);
            }
            return items;
        };
        if (key == "paradigm") {
            try {
                metadata.paradigm = ParseParadigmName(raw);
            } catch (const CliError&) {
                throw fail("unknown paradigm '" + raw + "'");
            }
        } else if (key == "task") {
            if (raw != "classify" && raw != "regress") {
                throw fail("unknown task '" + raw + "'");
            }
            metadata.task = raw == "classify" ? Task::Classify : Task::Regress;
        } else if (key == "inputs") {
            metadata.inputColumns = list();
        } else if (key == "target") {
            if (!Unescape(raw, metadata.targetColumn)) {
                throw fail("bad escape in 'target'");
            }
        } else if (key == "classes") {
            metadata.classes = list();
        } else if (key == "scaling") {
            try {
                metadata.inputScaling.method = ParseScalingName(raw);
            } catch (const CliError&) {
                throw fail("unknown scaling '" + raw + "'");
            }
        } else if (key == "scaling.offset") {
            metadata.inputScaling.offset = numbers(key, raw);
        } else if (key == "scaling.scale") {
            metadata.inputScaling.scale = numbers(key, raw);
        } else if (key == "unit_length") {
            metadata.unitLength = raw == "1";
        } else if (key == "target.offset" || key == "target.scale") {
            std::vector<double> one = numbers(key, raw);
            if (one.size() != 1) {
                throw fail("'" + key + "' must hold one number");
            }
            (key == "target.offset" ? metadata.targetOffset : metadata.targetScale) = one[0];
        }
    }
    for (size_t i = 0; i < 11; ++i) {
        if (!seen[i]) {
            throw fail(std::string("the '") + required[i] + "' entry is missing");
        }
    }
    size_t inputs = metadata.inputColumns.size();
    if (inputs == 0 || metadata.inputScaling.offset.size() != inputs ||
        metadata.inputScaling.scale.size() != inputs) {
        throw fail("the input columns and their scaling do not match");
    }
    for (double scale : metadata.inputScaling.scale) {
        if (scale == 0.0) {
            throw fail("an input scale of 0");
        }
    }
    if (metadata.task == Task::Classify && metadata.classes.empty()) {
        throw fail("a classifier without classes");
    }
    return metadata;
}

std::string PackCallerBytes(const std::string& text) {
    std::string bytes = text;
    uint32_t length = static_cast<uint32_t>(text.size());
    for (int i = 0; i < 4; ++i) {
        bytes += static_cast<char>((length >> (8 * i)) & 0xFF);
    }
    bytes.append(kTrailerMagic, 8);
    return bytes;
}

int64_t ReadTrailer(const unsigned char* trailer) {
    if (std::memcmp(trailer + 4, kTrailerMagic, 8) != 0) {
        return -1;
    }
    return static_cast<int64_t>(trailer[0]) | (static_cast<int64_t>(trailer[1]) << 8) |
           (static_cast<int64_t>(trailer[2]) << 16) | (static_cast<int64_t>(trailer[3]) << 24);
}

}  // namespace koru_cli
