// The data sets the benchmarks run on, read at run time from where Debian's
// packages install them (nothing of them is kept in the project):
//   FANN's text format (libfann-doc): a header line "patterns inputs outputs",
//   then alternating lines of inputs and outputs;
//   scikit-learn's bundled CSV files (python3-sklearn): iris, digits,
//   breast_cancer, diabetes.
// Both the engine's benchmark and the peer programs load the same sets through
// this code, so both sides see the very same numbers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

struct DataSet {
    std::string name;
    uint32_t inputs = 0;
    uint32_t outputs = 0;
    uint32_t count = 0;
    std::vector<float> x;  // count x inputs, row by row
    std::vector<float> y;  // count x outputs, row by row

    const float* Input(uint32_t p) const { return x.data() + size_t{p} * inputs; }
    const float* Target(uint32_t p) const { return y.data() + size_t{p} * outputs; }
};

// Where the packages put the files; overridable by the environment
// (KORU32_FANN_DATA, KORU32_SKLEARN_DATA).
std::string FannDataDir();
std::string SklearnDataDir();

// Reads a set by name: "thyroid", "mushroom", "building" (FANN's .train files),
// "iris", "digits", "breast_cancer",
// "diabetes" (scikit-learn's). Inputs of the scikit-learn
// sets are scaled to about [0, 1] and class labels become one-hot targets;
// the diabetes target is scaled by 1/350. Returns false (and leaves `set`
// empty) when the file is missing or malformed.
bool LoadDataSet(const std::string& name, DataSet& set);

// A set of `count` patterns of uniform random values in [0, 1) (inputs) and
// one-hot targets, from a fixed seed: for sizes no real set has.
DataSet RandomDataSet(uint32_t inputs, uint32_t outputs, uint32_t count, uint32_t seed);

// The first `count` patterns of `set`, repeated with a small deterministic
// jitter when `count` exceeds the set: for stores larger than the set.
DataSet Resized(const DataSet& set, uint32_t count);

}  // namespace bench
