#include "data_sets.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace bench {

namespace {

std::string EnvOr(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

bool FileExists(const std::string& path) {
    std::ifstream file(path);
    return file.good();
}

// The whole text of a file, through gzip for a .gz name.
bool ReadText(const std::string& path, std::string& text) {
    if (!FileExists(path)) return false;
    if (path.size() > 3 && path.compare(path.size() - 3, 3, ".gz") == 0) {
        const std::string command = "gzip -dc '" + path + "'";
        FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr) return false;
        char buffer[65536];
        size_t got;
        while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, got);
        return pclose(pipe) == 0 && !text.empty();
    }
    std::ifstream file(path);
    std::ostringstream all;
    all << file.rdbuf();
    text = all.str();
    return !text.empty();
}

// Rows of numbers separated by commas or blanks.
std::vector<std::vector<double>> ParseRows(const std::string& text) {
    std::vector<std::vector<double>> rows;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        for (char& c : line) {
            if (c == ',') c = ' ';
        }
        std::istringstream fields(line);
        std::vector<double> row;
        double value;
        while (fields >> value) row.push_back(value);
        if (!row.empty()) rows.push_back(std::move(row));
    }
    return rows;
}

bool LoadFann(const std::string& path, DataSet& set) {
    std::ifstream file(path);
    if (!file) return false;
    uint32_t count = 0, inputs = 0, outputs = 0;
    if (!(file >> count >> inputs >> outputs) || count == 0 || inputs == 0 || outputs == 0) return false;
    set.count = count;
    set.inputs = inputs;
    set.outputs = outputs;
    set.x.resize(size_t{count} * inputs);
    set.y.resize(size_t{count} * outputs);
    for (uint32_t p = 0; p < count; ++p) {
        for (uint32_t i = 0; i < inputs; ++i) {
            if (!(file >> set.x[size_t{p} * inputs + i])) return false;
        }
        for (uint32_t o = 0; o < outputs; ++o) {
            if (!(file >> set.y[size_t{p} * outputs + o])) return false;
        }
    }
    return true;
}

// A classification CSV: `features` columns, then the class label.
bool LoadClasses(const std::vector<std::vector<double>>& rows, uint32_t features, uint32_t classes,
                 double scale, DataSet& set) {
    set.inputs = features;
    set.outputs = classes;
    for (const auto& row : rows) {
        if (row.size() != features + 1) continue;  // header lines
        const int label = static_cast<int>(row[features]);
        if (label < 0 || label >= static_cast<int>(classes)) return false;
        for (uint32_t i = 0; i < features; ++i) set.x.push_back(static_cast<float>(row[i] * scale));
        for (uint32_t c = 0; c < classes; ++c) set.y.push_back(c == static_cast<uint32_t>(label) ? 1.0f : 0.0f);
        ++set.count;
    }
    return set.count > 0;
}

bool LoadSklearn(const std::string& name, DataSet& set) {
    const std::string dir = SklearnDataDir();
    std::string text;
    if (name == "iris") {
        // The four measurements are in centimetres, below 8.
        return ReadText(dir + "/iris.csv", text) && LoadClasses(ParseRows(text), 4, 3, 1.0 / 8.0, set);
    }
    if (name == "digits") {
        // 8 x 8 grey levels 0..16.
        return ReadText(dir + "/digits.csv.gz", text) && LoadClasses(ParseRows(text), 64, 10, 1.0 / 16.0, set);
    }
    if (name == "breast_cancer") {
        // Thirty measurements of very different sizes, each column scaled by
        // its largest value; the label 0 or 1 after them.
        if (!ReadText(dir + "/breast_cancer.csv", text)) return false;
        auto rows = ParseRows(text);
        std::erase_if(rows, [](const std::vector<double>& row) { return row.size() != 31; });
        std::vector<double> largest(30, 0.0);
        for (const auto& row : rows) {
            for (int i = 0; i < 30; ++i) largest[i] = std::max(largest[i], std::abs(row[i]));
        }
        for (auto& row : rows) {
            for (int i = 0; i < 30; ++i) row[i] = largest[i] > 0 ? row[i] / largest[i] : 0.0;
        }
        return LoadClasses(rows, 30, 2, 1.0, set);
    }
    if (name == "diabetes") {
        std::string targets;
        if (!ReadText(dir + "/diabetes_data_raw.csv.gz", text) ||
            !ReadText(dir + "/diabetes_target.csv.gz", targets)) {
            return false;
        }
        const auto rows = ParseRows(text);
        const auto ys = ParseRows(targets);
        if (rows.empty() || rows.size() != ys.size()) return false;
        // Each of the ten columns scaled by its largest value.
        std::vector<double> largest(10, 0.0);
        for (const auto& row : rows) {
            if (row.size() != 10) return false;
            for (int i = 0; i < 10; ++i) largest[i] = std::max(largest[i], std::abs(row[i]));
        }
        set.inputs = 10;
        set.outputs = 1;
        for (size_t p = 0; p < rows.size(); ++p) {
            for (int i = 0; i < 10; ++i) {
                set.x.push_back(static_cast<float>(largest[i] > 0 ? rows[p][i] / largest[i] : 0.0));
            }
            set.y.push_back(static_cast<float>(ys[p][0] / 350.0));
            ++set.count;
        }
        return true;
    }
    return false;
}

}  // namespace

std::string FannDataDir() {
    return EnvOr("KORU32_FANN_DATA", "/usr/share/doc/libfann-dev/examples/datasets");
}

std::string SklearnDataDir() {
    return EnvOr("KORU32_SKLEARN_DATA", "/usr/lib/python3/dist-packages/sklearn/datasets/data");
}

bool LoadDataSet(const std::string& name, DataSet& set) {
    set = DataSet{};
    set.name = name;
    bool ok = false;
    if (name == "thyroid" || name == "mushroom" || name == "building") {
        ok = LoadFann(FannDataDir() + "/" + name + ".train", set);
    } else {
        ok = LoadSklearn(name, set);
    }
    if (!ok) {
        set = DataSet{};
        set.name = name;
    }
    return ok;
}

DataSet RandomDataSet(uint32_t inputs, uint32_t outputs, uint32_t count, uint32_t seed) {
    DataSet set;
    set.name = "random";
    set.inputs = inputs;
    set.outputs = outputs;
    set.count = count;
    uint32_t state = seed * 2654435761u + 1u;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(state >> 8) / 16777216.0f;
    };
    set.x.resize(size_t{count} * inputs);
    for (float& v : set.x) v = next();
    set.y.assign(size_t{count} * outputs, 0.0f);
    for (uint32_t p = 0; p < count; ++p) set.y[size_t{p} * outputs + p % outputs] = 1.0f;
    return set;
}

DataSet Resized(const DataSet& set, uint32_t count) {
    DataSet out = set;
    out.count = count;
    out.x.resize(size_t{count} * set.inputs);
    out.y.resize(size_t{count} * set.outputs);
    for (uint32_t p = set.count; p < count; ++p) {
        const uint32_t from = p % set.count;
        const float jitter = static_cast<float>((p / set.count) % 7) * 0.001f;
        for (uint32_t i = 0; i < set.inputs; ++i) {
            out.x[size_t{p} * set.inputs + i] = set.x[size_t{from} * set.inputs + i] + jitter;
        }
        for (uint32_t o = 0; o < set.outputs; ++o) {
            out.y[size_t{p} * set.outputs + o] = set.y[size_t{from} * set.outputs + o];
        }
    }
    return out;
}

}  // namespace bench
