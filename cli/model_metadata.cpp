// model_metadata.cpp - the text form of the front end's model metadata.
#include "model_metadata.h"

#include "cli_error.h"
#include "paradigm.h"

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

bool ParseDouble(const std::string& text, double& value) {
    auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && stop == text.data() + text.size() && std::isfinite(value);
}

std::string FileOf(const std::string& source) {
    return source.empty() ? std::string() : source + ": damaged model metadata: ";
}

// The keys of the common fields, in the order the text form has them.
constexpr const char* kFieldKeys[] = {"paradigm", "task", "inputs", "target", "classes", "scaling",
                                      "scaling.offset", "scaling.scale", "unit_length", "target.offset",
                                      "target.scale"};
constexpr size_t kFieldCount = sizeof kFieldKeys / sizeof kFieldKeys[0];

// Reads the text form line by line into a ModelMetadata.
class MetadataReader {
public:
    explicit MetadataReader(const std::string& source) : source_(source), entries_(source) {
        metadata_.source = source;
    }
    CliError Fail(const std::string& what) const { return CliError(source_ + ": damaged model metadata: " + what); }
    void Line(const std::string& line);
    ModelMetadata Finish(const std::function<void(const ParadigmModule&)>& checkParadigm);

private:
    void Field(size_t index, const std::string& raw);
    std::vector<std::string> Names(const std::string& key, const std::string& raw) const;
    std::vector<double> Numbers(const std::string& key, const std::string& raw) const;
    double OneNumber(const std::string& key, const std::string& raw) const;
    void CheckFields() const;
    void ReadRecord();

    std::string source_;
    ModelMetadata metadata_;
    MetadataEntries entries_;
    bool seen_[kFieldCount] = {};
};

void MetadataReader::Line(const std::string& line) {
    size_t equals = line.find('=');
    if (equals == std::string::npos) {
        throw Fail("line " + QuotedCell(line) + " has no '='");
    }
    std::string key = line.substr(0, equals);
    std::string raw = line.substr(equals + 1);
    if (key.rfind("set.", 0) == 0) {
        std::string value;
        if (!Unescape(raw, value)) {
            throw Fail("bad escape in '" + key + "'");
        }
        entries_.Put(key.substr(4), value);
        return;
    }
    for (size_t index = 0; index < kFieldCount; ++index) {
        if (key == kFieldKeys[index]) {
            seen_[index] = true;
            Field(index, raw);
        }
    }
    // Any other key is an entry of a later version: skipped, not fatal.
}

std::vector<std::string> MetadataReader::Names(const std::string& key, const std::string& raw) const {
    std::vector<std::string> items;
    for (const std::string& item : SplitList(raw)) {
        std::string name;
        if (!Unescape(item, name)) {
            throw Fail("bad escape in '" + key + "'");
        }
        items.push_back(name);
    }
    return items;
}

std::vector<double> MetadataReader::Numbers(const std::string& key, const std::string& raw) const {
    std::vector<double> out;
    for (const std::string& item : SplitList(raw)) {
        double number = 0.0;
        if (!ParseDouble(item, number)) {
            throw Fail("'" + key + "' holds " + QuotedCell(item) + ", not a number");
        }
        out.push_back(number);
    }
    return out;
}

double MetadataReader::OneNumber(const std::string& key, const std::string& raw) const {
    std::vector<double> one = Numbers(key, raw);
    if (one.size() != 1) {
        throw Fail("'" + key + "' must hold one number");
    }
    return one[0];
}

void MetadataReader::Field(size_t index, const std::string& raw) {
    const std::string key = kFieldKeys[index];
    ModelMetadata& m = metadata_;
    switch (index) {
        case 0:
            try {
                m.paradigm = &FindParadigm(raw);
            } catch (const CliError&) {
                throw Fail("unknown paradigm '" + raw + "'");
            }
            break;
        case 1:
            if (raw != "classify" && raw != "regress") {
                throw Fail("unknown task '" + raw + "'");
            }
            m.task = raw == "classify" ? Task::Classify : Task::Regress;
            break;
        case 2: m.inputColumns = Names(key, raw); break;
        case 3:
            if (!Unescape(raw, m.targetColumn)) {
                throw Fail("bad escape in 'target'");
            }
            break;
        case 4: m.classes = Names(key, raw); break;
        case 5:
            try {
                m.inputScaling.method = ParseScalingName(raw);
            } catch (const CliError&) {
                throw Fail("unknown scaling '" + raw + "'");
            }
            break;
        case 6: m.inputScaling.offset = Numbers(key, raw); break;
        case 7: m.inputScaling.scale = Numbers(key, raw); break;
        case 8: m.unitLength = raw == "1"; break;
        case 9: m.targetOffset = OneNumber(key, raw); break;
        case 10: m.targetScale = OneNumber(key, raw); break;
    }
}

void MetadataReader::CheckFields() const {
    for (size_t i = 0; i < kFieldCount; ++i) {
        if (!seen_[i]) {
            throw Fail(std::string("the '") + kFieldKeys[i] + "' entry is missing");
        }
    }
    size_t inputs = metadata_.inputColumns.size();
    if (inputs == 0 || metadata_.inputScaling.offset.size() != inputs ||
        metadata_.inputScaling.scale.size() != inputs) {
        throw Fail("the input columns and their scaling do not match");
    }
    for (double scale : metadata_.inputScaling.scale) {
        if (scale == 0.0) {
            throw Fail("an input scale of 0");
        }
    }
    if (metadata_.task == Task::Classify && metadata_.classes.empty()) {
        throw Fail("a classifier without classes");
    }
}

void MetadataReader::ReadRecord() {
    TrainingRecord& record = metadata_.record;
    if (entries_.Has("fallback")) {
        record.fallback = entries_.Number("fallback");
    }
    record.dataFile = entries_.TextOr("data", "");
    record.seed = static_cast<uint32_t>(entries_.IntegerOr("seed", 1));
    record.sample = static_cast<size_t>(entries_.IntegerOr("rows.sample", 0));
    record.trainRows = static_cast<size_t>(entries_.IntegerOr("rows.train", 0));
    record.validationRows = static_cast<size_t>(entries_.IntegerOr("rows.validation", 0));
}

ModelMetadata MetadataReader::Finish(const std::function<void(const ParadigmModule&)>& checkParadigm) {
    CheckFields();
    if (checkParadigm) {
        checkParadigm(*metadata_.paradigm);
    }
    ReadRecord();
    metadata_.state = metadata_.paradigm->ReadState(entries_);
    metadata_.laterEntries = entries_.Unread();
    return std::move(metadata_);
}

}  // namespace

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

void MetadataEntries::Put(const std::string& key, const std::string& value) {
    for (auto& entry : items_) {
        if (entry.first == key) {
            entry.second = value;
            return;
        }
    }
    items_.emplace_back(key, value);
    read_.push_back(false);
}

void MetadataEntries::Put(const std::string& key, double value) {
    Put(key, FormatNumber(value));
}

void MetadataEntries::PutInteger(const std::string& key, long long value) {
    Put(key, std::to_string(value));
}

void MetadataEntries::PutIntegers(const std::string& key, const std::vector<int>& values) {
    Put(key, JoinWithCommas(values, [](int value) { return std::to_string(value); }));
}

bool MetadataEntries::Has(const std::string& key) const {
    for (const auto& entry : items_) {
        if (entry.first == key) {
            return true;
        }
    }
    return false;
}

const std::string& MetadataEntries::Text(const std::string& key) const {
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].first == key) {
            read_[i] = true;
            return items_[i].second;
        }
    }
    throw CliError(FileOf(source_) + "the model's metadata has no '" + key + "' entry");
}

double MetadataEntries::Number(const std::string& key) const {
    double value = 0.0;
    if (!ParseDouble(Text(key), value)) {
        throw CliError(FileOf(source_) + "the model's metadata entry '" + key + "' is not a number");
    }
    return value;
}

long long MetadataEntries::Integer(const std::string& key) const {
    double value = Number(key);
    if (value != std::floor(value) || std::fabs(value) > 9e15) {
        throw CliError(FileOf(source_) + "the model's metadata entry '" + key + "' is not an integer");
    }
    return static_cast<long long>(value);
}

std::vector<int> MetadataEntries::Integers(const std::string& key) const {
    std::vector<int> values;
    for (const std::string& item : SplitList(Text(key))) {
        double value = 0.0;
        if (!ParseDouble(item, value) || value != std::floor(value) || std::fabs(value) > 1e9) {
            throw CliError(FileOf(source_) + "the model's metadata entry '" + key + "' is not a list of integers");
        }
        values.push_back(static_cast<int>(value));
    }
    return values;
}

std::string MetadataEntries::TextOr(const std::string& key, const std::string& otherwise) const {
    return Has(key) ? Text(key) : otherwise;
}

double MetadataEntries::NumberOr(const std::string& key, double otherwise) const {
    // A recorded measure may be "nan" or "inf" (a net that diverged): read
    // as it was written, unlike the numbers a recall needs.
    if (!Has(key)) {
        return otherwise;
    }
    const std::string& text = Text(key);
    double value = 0.0;
    auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || stop != text.data() + text.size()) {
        throw CliError(FileOf(source_) + "the model's metadata entry '" + key + "' is not a number");
    }
    return value;
}

long long MetadataEntries::IntegerOr(const std::string& key, long long otherwise) const {
    return Has(key) ? Integer(key) : otherwise;
}

std::vector<std::pair<std::string, std::string>> MetadataEntries::Unread() const {
    std::vector<std::pair<std::string, std::string>> left;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (!read_[i]) {
            left.push_back(items_[i]);
        }
    }
    return left;
}

MetadataEntries SettingsOf(const ModelMetadata& metadata) {
    MetadataEntries entries;
    const TrainingRecord& record = metadata.record;
    if (record.fallback) {
        entries.Put("fallback", *record.fallback);
    }
    entries.Put("data", record.dataFile);
    entries.PutInteger("seed", record.seed);
    if (record.sample > 0) {
        entries.PutInteger("rows.sample", static_cast<long long>(record.sample));
    }
    entries.PutInteger("rows.train", static_cast<long long>(record.trainRows));
    entries.PutInteger("rows.validation", static_cast<long long>(record.validationRows));
    if (metadata.state) {
        metadata.state->Write(entries);
    }
    for (const auto& [key, value] : metadata.laterEntries) {
        entries.Put(key, value);
    }
    return entries;
}

std::string EncodeMetadata(const ModelMetadata& metadata) {
    std::ostringstream out;
    out << kFirstLine << "\n";
    out << "paradigm=" << metadata.paradigm->Name() << "\n";
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
    const MetadataEntries settings = SettingsOf(metadata);
    for (const auto& [key, value] : settings.Items()) {
        out << "set." << key << "=" << Escape(value) << "\n";
    }
    return out.str();
}

ModelMetadata DecodeMetadata(const std::string& text, const std::string& source,
                             const std::function<void(const ParadigmModule&)>& checkParadigm) {
    std::istringstream in(text);
    std::string line;
    MetadataReader reader(source);
    if (!std::getline(in, line) || line != kFirstLine) {
        throw reader.Fail("it does not start with '" + std::string(kFirstLine) + "'");
    }
    while (std::getline(in, line)) {
        reader.Line(line);
    }
    return reader.Finish(checkParadigm);
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
