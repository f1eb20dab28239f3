// native.cpp - the compiled core of the koru32 Python package.
//
// Every function here takes whole numpy matrices and runs its per-pattern
// loop (training epochs, recall over the rows, the smoothing-factor search)
// inside the engine's C interface with the interpreter's lock released. The
// engine serves one call at a time, so one process-wide mutex is held for the
// whole of each function.
//
// A fitted model never keeps a net slot: its net travels as the bytes of a
// network file (as SaveNet writes it, with no caller's bytes). A call restores
// the bytes into the lowest free slot through a temporary file, works, and
// releases the slot before it returns.
#include <koru32.h>
#include <koru32_result_codes.h>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace py = pybind11;

namespace {

using Matrix = py::array_t<float, py::array::c_style | py::array::forcecast>;

std::mutex engineLock;

// A failed engine call: its result code and the export that returned it.
struct EngineFailure {
    int16_t code;
    std::string call;
};

// A caller's mistake found here (a file that is not a model, and the like).
struct FormatFailure {
    std::string what;
};

void Check(int16_t code, const char* call) {
    if (code != KORU32_OK) {
        throw EngineFailure{code, call};
    }
}

const char* CodeName(int code) {
#define KORU32_NAME_OF(name, value, text) \
    case value:                           \
        return "KORU32_" #name;
    switch (code) { KORU32_RESULT_CODES(KORU32_NAME_OF) }
#undef KORU32_NAME_OF
    return "KORU32_UNKNOWN";
}

// The one temporary file of this process; the engine lock guards it.
std::string TempPath() {
    // A child made by fork has its own process id and so its own file.
    return (std::filesystem::temp_directory_path() / ("koru32-py-" + std::to_string(getpid()) + ".net")).string();
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw FormatFailure{path + ": cannot be read"};
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        throw FormatFailure{path + ": cannot be written"};
    }
}

// A net slot held for one call; released (KillNet) whatever happens.
class Slot {
public:
    Slot() {
        uint16_t free = 0;
        Check(GetNextNet(&free), "GetNextNet");
        net_ = static_cast<int16_t>(free);
    }
    explicit Slot(const std::string& bytes) : Slot() {
        const std::string path = TempPath();
        WriteFile(path, bytes);
        int32_t length = 0;
        int16_t code = RestoreNet(&net_, path.c_str(), &length, nullptr);
        std::remove(path.c_str());
        Check(code, "RestoreNet");
    }
    ~Slot() { KillNet(&net_); }  // 5 when nothing was made: nothing to release
    Slot(const Slot&) = delete;
    Slot& operator=(const Slot&) = delete;

    const int16_t* Net() const { return &net_; }

    // The net as network-file bytes, with `extra` as the caller's bytes.
    std::string Save(const std::string& extra = std::string()) const {
        const std::string path = TempPath();
        int32_t length = static_cast<int32_t>(extra.size());
        int16_t code = SaveNet(&net_, path.c_str(), &length, extra.empty() ? nullptr : extra.data());
        if (code != KORU32_OK) {
            std::remove(path.c_str());
            Check(code, "SaveNet");
        }
        std::string bytes = ReadFile(path);
        std::remove(path.c_str());
        return bytes;
    }

private:
    int16_t net_ = -1;
};

// The shape of a net as the header of its network-file bytes records it
// (the layout is public: the table sizes, net type and paradigm at bytes 0-7,
// then from byte 16 the neuron counts and from byte 80 the kinds of the 32
// slabs). The engine offers no call that tells a restored net's shape, so
// every call that hands it rows checks the bytes first: a net whose slabs are
// not the size of the caller's arrays would make PutSlab read, or GetSlab
// write, outside them.
struct NetShape {
    uint16_t type = 0;
    uint16_t paradigm = 0;
    int neurons[32] = {};  // 0 for a slab not in use
    int kinds[32] = {};
};

constexpr size_t kHeaderBytes = 530;

NetShape ShapeOf(const std::string& bytes) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    auto u16 = [&](size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); };
    if (bytes.size() < kHeaderBytes || u16(0) != 32 || u16(2) != 32) {
        throw FormatFailure{bytes.empty() ? "no net: the model bytes are empty"
                                          : "the model bytes are not a network file"};
    }
    NetShape shape;
    shape.type = u16(4);
    shape.paradigm = u16(6);
    for (size_t i = 0; i < 32; ++i) {
        const auto neurons = static_cast<int16_t>(u16(16 + 2 * i));
        shape.neurons[i] = neurons > 0 ? neurons : 0;
        shape.kinds[i] = static_cast<int16_t>(u16(80 + 2 * i));
    }
    return shape;
}

// Throws unless slab `slab` is in use, of `kind`, with `neurons` neurons
// (any positive count when `neurons` is -1).
void RequireSlab(const NetShape& shape, int slab, int neurons, int kind) {
    const int has = shape.neurons[slab];
    if (has == 0 || shape.kinds[slab] != kind || (neurons >= 0 && has != neurons)) {
        throw FormatFailure{"the net does not fit the call: slab " + std::to_string(slab) + " holds " +
                            std::to_string(has) + " neurons of kind " + std::to_string(shape.kinds[slab]) +
                            ", expected " + (neurons >= 0 ? std::to_string(neurons) : "some") +
                            " of kind " + std::to_string(kind)};
    }
}

void RequireParadigm(const NetShape& shape, uint16_t paradigm) {
    if (shape.paradigm != paradigm) {
        throw FormatFailure{"the net is of paradigm " + std::to_string(shape.paradigm) + ", expected " +
                            std::to_string(paradigm)};
    }
}

// Rows of a C-ordered float32 matrix, checked against the expected width.
struct Rows {
    const float* data;
    size_t count;
    size_t width;
    const float* Row(size_t r) const { return data + r * width; }
};

Rows RowsOf(const Matrix& m, size_t width, const char* what) {
    if (m.ndim() != 2 || (width != 0 && static_cast<size_t>(m.shape(1)) != width)) {
        throw FormatFailure{std::string(what) + " has the wrong shape"};
    }
    return Rows{m.data(), static_cast<size_t>(m.shape(0)), static_cast<size_t>(m.shape(1))};
}

Matrix NewMatrix(size_t rows, size_t columns) {
    return Matrix({static_cast<py::ssize_t>(rows), static_cast<py::ssize_t>(columns)});
}

void MakeSeeded(const int16_t* net, uint16_t type, bool fixed, uint32_t seed) {
    const uint16_t math = fixed ? KORU32_MATH_FIXED : KORU32_MATH_FLOAT;
    Check(SetMath(&math), "SetMath");
    const auto librarySeed = static_cast<int16_t>(seed & 0x7FFF);
    Check(SetSeed(&librarySeed), "SetSeed");
    Check(MakeNet(net, &type), "MakeNet");
}

void Shuffle(std::vector<size_t>& order, std::mt19937& random) {
    for (size_t i = order.size(); i > 1; --i) {
        std::swap(order[i - 1], order[static_cast<size_t>(random() % i)]);
    }
}

// ---- Backpropagation -------------------------------------------------------

void Forward(const int16_t* net, int16_t last) {
    for (int16_t slab = 1; slab <= last; ++slab) {
        Check(BpPropagate(net, &slab), "BpPropagate");
    }
}

double SetError(const int16_t* net, int16_t outputSlab, const Rows& x, const Rows& t) {
    const int16_t input = 0;
    double total = 0.0;
    for (size_t p = 0; p < x.count; ++p) {
        Check(PutSlab(net, &input, x.Row(p)), "PutSlab");
        Forward(net, outputSlab);
        float sum = 0.0f;
        Check(BpEvaluate(net, &outputSlab, t.Row(p), &sum), "BpEvaluate");
        total += sum;
    }
    return total / static_cast<double>(x.count * t.width);
}

struct BpSettings {
    std::vector<int> sizes;      // inputs, hidden layers, outputs
    std::vector<int> transfers;  // one per slab after the input slab
    int netType = KORU32_NET_BP_MOMENTUM;
    bool fixed = false;
    uint32_t seed = 0;
    float rate = 0.2f;
    float momentum = 0.5f;
    float weightRange = 0.5f;
    int maxIter = 200;
    double tol = 1e-4;
    int noChange = 10;
};

// Trains a backpropagation net; with a validation set the kept net is the
// epoch of the lowest validation error, otherwise the last one. Returns the
// net's bytes, the training errors, the validation errors and the epochs run.
py::tuple BpFit(const BpSettings& s, const Matrix& xm, const Matrix& tm, const Matrix& xvm, const Matrix& tvm) {
    if (s.sizes.size() < 2 || s.sizes.size() > 32 || s.transfers.size() + 1 != s.sizes.size()) {
        throw FormatFailure{"between 0 and 30 hidden layers, one transfer function per layer"};
    }
    const Rows x = RowsOf(xm, static_cast<size_t>(s.sizes.front()), "X");
    const Rows t = RowsOf(tm, static_cast<size_t>(s.sizes.back()), "the targets");
    const Rows xv = RowsOf(xvm, x.width, "the validation X");
    const Rows tv = RowsOf(tvm, t.width, "the validation targets");
    if (x.count != t.count || xv.count != tv.count || x.count == 0) {
        throw FormatFailure{"inputs and targets differ in rows"};
    }
    std::string best;
    std::vector<double> losses;
    std::vector<double> validation;
    {
        py::gil_scoped_release released;
        std::lock_guard<std::mutex> held(engineLock);
        Slot slot;
        const int16_t* net = slot.Net();
        MakeSeeded(net, static_cast<uint16_t>(s.netType), s.fixed, s.seed);
        const auto outputSlab = static_cast<int16_t>(s.sizes.size() - 1);
        for (int16_t slab = 0; slab <= outputSlab; ++slab) {
            auto neurons = static_cast<int16_t>(s.sizes[static_cast<size_t>(slab)]);
            int16_t kind = slab == 0 ? KORU32_SLAB_INPUT
                                     : (slab == outputSlab ? KORU32_SLAB_OUTPUT : KORU32_SLAB_HIDDEN);
            Check(MakeSlab(net, &slab, &neurons, &kind), "MakeSlab");
            if (slab > 0) {
                auto code = static_cast<int16_t>(s.transfers[static_cast<size_t>(slab - 1)]);
                Check(Transfer(net, &slab, &code), "Transfer");
            }
        }
        for (int16_t link = 0; link < outputSlab; ++link) {
            int16_t source = link;
            auto dest = static_cast<int16_t>(link + 1);
            Check(MakeLink(net, &link, &s.weightRange, &source, &dest), "MakeLink");
        }
        const bool batch = s.netType == KORU32_NET_BP_BATCH || s.netType == KORU32_NET_BP_ADAPTIVE;
        const int16_t inputSlab = 0;
        std::vector<size_t> order(x.count);
        std::iota(order.begin(), order.end(), size_t{0});
        std::mt19937 random(s.seed);
        double bestScore = INFINITY;
        int stale = 0;
        for (int epoch = 1; epoch <= s.maxIter; ++epoch) {
            Shuffle(order, random);
            double total = 0.0;
            for (size_t i = 0; i < x.count; ++i) {
                const size_t p = order[i];
                Check(PutSlab(net, &inputSlab, x.Row(p)), "PutSlab");
                Forward(net, outputSlab);
                float sum = 0.0f;
                Check(BpEvaluate(net, &outputSlab, t.Row(p), &sum), "BpEvaluate");
                total += sum;
                const uint16_t apply = (batch && i + 1 == x.count) ? 1 : 0;
                for (auto slab = static_cast<int16_t>(outputSlab - 1); slab >= 0; --slab) {
                    Check(BpTrain(net, &slab, &s.rate, &s.momentum, &apply), "BpTrain");
                }
            }
            losses.push_back(total / static_cast<double>(x.count * t.width));
            double score = losses.back();
            if (xv.count > 0) {
                score = SetError(net, outputSlab, xv, tv);
                validation.push_back(score);
            }
            // As scikit-learn's networks do: stop after `noChange` epochs in
            // a row that did not improve on the best by more than `tol`.
            if (score < bestScore - s.tol) {
                stale = 0;
            } else {
                ++stale;
            }
            if (score < bestScore) {
                bestScore = score;
                if (xv.count > 0) {
                    best = slot.Save();
                }
            }
            if (stale >= s.noChange) {
                break;
            }
        }
        if (xv.count == 0) {
            best = slot.Save();
        }
    }
    return py::make_tuple(py::bytes(best), losses, validation);
}

// The output slab's values for every row of `xm`.
Matrix BpPredict(const std::string& bytes, const Matrix& xm, int inputs, int outputs, int16_t outputSlab) {
    const Rows x = RowsOf(xm, static_cast<size_t>(inputs), "X");
    const NetShape shape = ShapeOf(bytes);
    RequireParadigm(shape, KORU32_PARADIGM_BACKPROP);
    if (outputSlab < 1 || outputSlab > 31) {
        throw FormatFailure{"the output slab must be 1 to 31"};
    }
    RequireSlab(shape, 0, inputs, KORU32_SLAB_INPUT);
    for (int slab = 1; slab < outputSlab; ++slab) {
        RequireSlab(shape, slab, -1, KORU32_SLAB_HIDDEN);
    }
    RequireSlab(shape, outputSlab, outputs, KORU32_SLAB_OUTPUT);
    Matrix out = NewMatrix(x.count, static_cast<size_t>(outputs));
    float* values = out.mutable_data();
    {
        py::gil_scoped_release released;
        std::lock_guard<std::mutex> held(engineLock);
        Slot slot(bytes);
        const int16_t* net = slot.Net();
        const int16_t inputSlab = 0;
        for (size_t p = 0; p < x.count; ++p) {
            Check(PutSlab(net, &inputSlab, x.Row(p)), "PutSlab");
            Forward(net, outputSlab);
            Check(GetSlab(net, &outputSlab, values + p * static_cast<size_t>(outputs)), "GetSlab");
        }
    }
    return out;
}

// ---- Probabilistic and general regression nets -------------------------------

constexpr int16_t kInputSlab = 0;
constexpr int16_t kPatternSlab = 1;
constexpr int16_t kOutputSlab = 2;

void MakeKernelNet(const int16_t* net, uint16_t type, size_t inputs, size_t patterns, size_t outputs) {
    // These nets compute in 32-bit floats whatever the math mode.
    const uint16_t math = KORU32_MATH_FLOAT;
    Check(SetMath(&math), "SetMath");
    Check(MakeNet(net, &type), "MakeNet");
    const int16_t sizes[3] = {static_cast<int16_t>(inputs), static_cast<int16_t>(patterns),
                              static_cast<int16_t>(outputs)};
    const int16_t kinds[3] = {KORU32_SLAB_INPUT, KORU32_SLAB_HIDDEN, KORU32_SLAB_OUTPUT};
    for (int16_t slab = 0; slab < 3; ++slab) {
        Check(MakeSlab(net, &slab, &sizes[slab], &kinds[slab]), "MakeSlab");
    }
    const float range = 0.0f;
    for (int16_t link = 0; link < 2; ++link) {
        const int16_t source = link;
        const auto dest = static_cast<int16_t>(link + 1);
        Check(MakeLink(net, &link, &range, &source, &dest), "MakeLink");
    }
}

bool IsPnn(int type) {
    return type == KORU32_NET_PNN_DISTANCE || type == KORU32_NET_PNN_DOT || type == KORU32_NET_PNN_CITY_BLOCK;
}

// Stores every row of `xm` with its target row (a class vector for a PNN,
// the target for a GRNN) in a pattern unit of a new net.
py::bytes KernelFit(int type, const Matrix& xm, const Matrix& tm) {
    const Rows x = RowsOf(xm, 0, "X");
    const Rows t = RowsOf(tm, 0, "the targets");
    if (x.count != t.count || x.count == 0 || x.count > 32767 || x.width > 32767 || t.width > 32767) {
        throw FormatFailure{"a pattern net holds 1 to 32767 patterns of at most 32767 values"};
    }
    std::string bytes;
    {
        py::gil_scoped_release released;
        std::lock_guard<std::mutex> held(engineLock);
        Slot slot;
        const int16_t* net = slot.Net();
        MakeKernelNet(net, static_cast<uint16_t>(type), x.width, x.count, t.width);
        const bool pnn = IsPnn(type);
        const int16_t newUnit = 0;
        for (size_t p = 0; p < x.count; ++p) {
            Check(PutSlab(net, &kInputSlab, x.Row(p)), "PutSlab");
            if (pnn) {
                Check(PnnEvaluate(net, &kOutputSlab, t.Row(p), &newUnit), "PnnEvaluate");
                Check(PnnTrain(net, &kInputSlab, &newUnit), "PnnTrain");
                Check(PnnTrain(net, &kPatternSlab, &newUnit), "PnnTrain");
            } else {
                Check(GrnnEvaluate(net, &kOutputSlab, t.Row(p), &newUnit), "GrnnEvaluate");
                Check(GrnnTrain(net, &kInputSlab, &newUnit), "GrnnTrain");
                Check(GrnnTrain(net, &kPatternSlab, &newUnit), "GrnnTrain");
            }
        }
        bytes = slot.Save();
    }
    return py::bytes(bytes);
}

// Outputs for the input now in the input slab; false when they are undefined
// (a PNN whose scores are all 0, a GRNN whose denominator is 0).
bool KernelRecall(const int16_t* net, bool pnn, float sigma, float* out, size_t outputs) {
    if (pnn) {
        Check(PnnPropagate(net, &kPatternSlab, &sigma), "PnnPropagate");
        Check(PnnPropagate(net, &kOutputSlab, &sigma), "PnnPropagate");
        Check(GetSlab(net, &kOutputSlab, out), "GetSlab");
        for (size_t i = 0; i < outputs; ++i) {
            if (out[i] != 0.0f) {
                return true;
            }
        }
        return false;
    }
    Check(GrnnPropagate(net, &kPatternSlab, &sigma), "GrnnPropagate");
    const int16_t code = GrnnPropagate(net, &kOutputSlab, &sigma);
    if (code != KORU32_ERR_ZERO_DENOMINATOR) {
        Check(code, "GrnnPropagate");
    }
    Check(GetSlab(net, &kOutputSlab, out), "GetSlab");
    return code == KORU32_OK;
}

// Throws unless `bytes` hold a pattern net of `type` with `inputs` inputs,
// `patterns` pattern units (any number when -1) and `outputs` outputs.
void RequireKernelNet(const std::string& bytes, int type, int inputs, int patterns, int outputs) {
    const NetShape shape = ShapeOf(bytes);
    if (shape.type != type) {
        throw FormatFailure{"the net is of type " + std::to_string(shape.type) + ", expected " +
                            std::to_string(type)};
    }
    RequireSlab(shape, kInputSlab, inputs, KORU32_SLAB_INPUT);
    RequireSlab(shape, kPatternSlab, patterns, KORU32_SLAB_HIDDEN);
    RequireSlab(shape, kOutputSlab, outputs, KORU32_SLAB_OUTPUT);
}

// The output slab for every row; a second result flags the undefined rows.
py::tuple KernelPredict(const std::string& bytes, int type, const Matrix& xm, int inputs, int outputs,
                        float sigma) {
    const Rows x = RowsOf(xm, static_cast<size_t>(inputs), "X");
    RequireKernelNet(bytes, type, inputs, -1, outputs);
    Matrix out = NewMatrix(x.count, static_cast<size_t>(outputs));
    py::array_t<bool> defined(static_cast<py::ssize_t>(x.count));
    float* values = out.mutable_data();
    bool* flags = defined.mutable_data();
    {
        py::gil_scoped_release released;
        std::lock_guard<std::mutex> held(engineLock);
        Slot slot(bytes);
        const bool pnn = IsPnn(type);
        for (size_t p = 0; p < x.count; ++p) {
            Check(PutSlab(slot.Net(), &kInputSlab, x.Row(p)), "PutSlab");
            flags[p] = KernelRecall(slot.Net(), pnn, sigma, values + p * static_cast<size_t>(outputs),
                                    static_cast<size_t>(outputs));
        }
    }
    return py::make_tuple(out, defined);
}

// Leave-one-out losses over `sigmas`: for a PNN the error count (targets are
// class vectors; an undefined recall counts as wrong), for a GRNN the sum of
// squared errors with `fallback` standing in for an undefined estimate.
// Unit u is taken out by re-presenting it with a zero target, which for a
// GRNN also needs its count set to 0, and is put back afterwards.
std::vector<double> KernelLeaveOneOut(const std::string& bytes, int type, const Matrix& xm, const Matrix& tm,
                                      const std::vector<double>& sigmas, double fallback) {
    const Rows x = RowsOf(xm, 0, "X");
    const Rows t = RowsOf(tm, 0, "the targets");
    if (x.count != t.count) {
        throw FormatFailure{"inputs and targets differ in rows"};
    }
    RequireKernelNet(bytes, type, static_cast<int>(x.width), static_cast<int>(x.count), static_cast<int>(t.width));
    std::vector<double> losses(sigmas.size(), 0.0);
    py::gil_scoped_release released;
    std::lock_guard<std::mutex> held(engineLock);
    Slot slot(bytes);
    const int16_t* net = slot.Net();
    const bool pnn = IsPnn(type);
    const std::vector<float> zeros(t.width, 0.0f);
    std::vector<float> out(t.width);
    std::vector<float> counts;
    std::vector<float> withdrawn;
    if (!pnn) {
        counts.resize(x.count + 1);
        Check(GetCounts(net, &kPatternSlab, counts.data()), "GetCounts");
        withdrawn = counts;
    }
    auto present = [&](size_t p, const float* target, bool back) {
        const auto unit = static_cast<int16_t>(p + 1);
        if (pnn) {
            Check(PnnEvaluate(net, &kOutputSlab, target, &unit), "PnnEvaluate");
            Check(PnnTrain(net, &kPatternSlab, &unit), "PnnTrain");
        } else {
            Check(GrnnEvaluate(net, &kOutputSlab, target, &unit), "GrnnEvaluate");
            Check(GrnnTrain(net, &kPatternSlab, &unit), "GrnnTrain");
            withdrawn[p + 1] = back ? counts[p + 1] : 0.0f;
            Check(PutCounts(net, &kPatternSlab, withdrawn.data()), "PutCounts");
        }
    };
    for (size_t p = 0; p < x.count; ++p) {
        present(p, zeros.data(), false);
        Check(PutSlab(net, &kInputSlab, x.Row(p)), "PutSlab");
        for (size_t s = 0; s < sigmas.size(); ++s) {
            const bool defined = KernelRecall(net, pnn, static_cast<float>(sigmas[s]), out.data(), t.width);
            if (pnn) {
                size_t best = 0;
                for (size_t i = 1; i < t.width; ++i) {
                    if (out[i] > out[best]) {
                        best = i;
                    }
                }
                losses[s] += (defined && t.Row(p)[best] > 0.5f) ? 0.0 : 1.0;
            } else {
                const double error = (defined ? out[0] : fallback) - static_cast<double>(t.Row(p)[0]);
                losses[s] += error * error;
            }
        }
        present(p, t.Row(p), true);
    }
    return losses;
}

// ---- Learning vector quantisation ---------------------------------------------

struct LvqSettings {
    int netType = KORU32_NET_LVQ_DISTANCE;
    bool fixed = false;
    uint32_t seed = 0;
    int classes = 2;
    int unitsPerClass = 1;
    double rate = 0.05;
    double finalRate = 0.0;
    int radius = 0;
    int gridWidth = 0;
    int epochs = 30;
};

int LvqWinner(const int16_t* net) {
    const int16_t units = 1;
    Check(LvqPropagate(net, &units), "LvqPropagate");
    uint16_t winner = 0;
    const uint16_t keepScores = 0;
    Check(LvqEvaluate(net, &units, &winner, &keepScores), "LvqEvaluate");
    return static_cast<int>(winner) - 1;
}

// Trains an LVQ net on rows `xm` of classes `labels` (0..classes-1): each unit
// starts on a training row of its class drawn with the seed; the rate falls
// linearly from `rate` to `finalRate` and the radius from `radius` to 0.
// Returns the net's bytes and the training error rate of every epoch.
py::tuple LvqFit(const LvqSettings& s, const Matrix& xm, const std::vector<int>& labels) {
    const Rows x = RowsOf(xm, 0, "X");
    const size_t classes = static_cast<size_t>(s.classes);
    const size_t units = classes * static_cast<size_t>(s.unitsPerClass);
    if (labels.size() != x.count || x.count == 0 || units > 32767 || x.width > 32767 || s.unitsPerClass < 1 ||
        s.epochs < 1 || s.radius < 0 || s.radius > 32767 || s.gridWidth < 0 || s.gridWidth > 32767) {
        throw FormatFailure{"LVQ settings out of range"};
    }
    std::string bytes;
    std::vector<double> errors;
    {
        py::gil_scoped_release released;
        std::lock_guard<std::mutex> held(engineLock);
        Slot slot;
        const int16_t* net = slot.Net();
        MakeSeeded(net, static_cast<uint16_t>(s.netType), s.fixed, s.seed);
        const int16_t inputSlab = 0;
        const int16_t unitSlab = 1;
        const int16_t link = 0;
        auto inputCount = static_cast<int16_t>(x.width);
        auto unitCount = static_cast<int16_t>(units);
        const int16_t inputKind = KORU32_SLAB_INPUT;
        const int16_t unitKind = KORU32_SLAB_OUTPUT;
        Check(MakeSlab(net, &inputSlab, &inputCount, &inputKind), "MakeSlab");
        Check(MakeSlab(net, &unitSlab, &unitCount, &unitKind), "MakeSlab");
        const float range = 0.5f;
        Check(MakeLink(net, &link, &range, &inputSlab, &unitSlab), "MakeLink");
        std::vector<std::vector<size_t>> byClass(classes);
        for (size_t p = 0; p < x.count; ++p) {
            byClass[static_cast<size_t>(labels[p])].push_back(p);
        }
        std::mt19937 random(s.seed);
        std::vector<int> unitClasses(units);
        std::vector<float> weights(x.width * units, 0.0f);  // row i: input i, column j: unit j
        for (size_t j = 0; j < units; ++j) {
            const size_t cls = j / static_cast<size_t>(s.unitsPerClass);
            unitClasses[j] = static_cast<int>(cls);
            if (byClass[cls].empty()) {
                continue;
            }
            const size_t p = byClass[cls][random() % byClass[cls].size()];
            for (size_t i = 0; i < x.width; ++i) {
                weights[i * units + j] = x.Row(p)[i];
            }
        }
        Check(PutLink(net, &link, weights.data()), "PutLink");
        std::vector<size_t> order(x.count);
        std::iota(order.begin(), order.end(), size_t{0});
        const auto width = static_cast<uint16_t>(s.gridWidth);
        for (int epoch = 1; epoch <= s.epochs; ++epoch) {
            const double done = s.epochs > 1 ? static_cast<double>(epoch - 1) / (s.epochs - 1) : 0.0;
            const auto rate = static_cast<float>(s.rate + (s.finalRate - s.rate) * done);
            const auto radius = static_cast<int16_t>(std::lround(s.radius * (1.0 - done)));
            Shuffle(order, random);
            size_t wrong = 0;
            for (size_t p : order) {
                Check(PutSlab(net, &inputSlab, x.Row(p)), "PutSlab");
                const int winner = LvqWinner(net);
                const bool right = unitClasses[static_cast<size_t>(winner)] == labels[p];
                wrong += right ? 0 : 1;
                const float signedRate = right ? rate : -rate;
                Check(LvqTrain(net, &inputSlab, &signedRate, &radius, &width), "LvqTrain");
            }
            errors.push_back(static_cast<double>(wrong) / static_cast<double>(x.count));
        }
        bytes = slot.Save();
    }
    return py::make_tuple(py::bytes(bytes), errors);
}

// The winning unit (from 0) for every row, and the units' scores.
py::tuple LvqPredict(const std::string& bytes, const Matrix& xm, int inputs, int units) {
    const Rows x = RowsOf(xm, static_cast<size_t>(inputs), "X");
    const NetShape shape = ShapeOf(bytes);
    RequireParadigm(shape, KORU32_PARADIGM_LVQ);
    RequireSlab(shape, 0, inputs, KORU32_SLAB_INPUT);
    RequireSlab(shape, 1, units, KORU32_SLAB_OUTPUT);
    py::array_t<int32_t> winners(static_cast<py::ssize_t>(x.count));
    Matrix scores = NewMatrix(x.count, static_cast<size_t>(units));
    int32_t* out = winners.mutable_data();
    float* values = scores.mutable_data();
    {
        py::gil_scoped_release released;
        std::lock_guard<std::mutex> held(engineLock);
        Slot slot(bytes);
        const int16_t inputSlab = 0;
        const int16_t unitSlab = 1;
        for (size_t p = 0; p < x.count; ++p) {
            Check(PutSlab(slot.Net(), &inputSlab, x.Row(p)), "PutSlab");
            Check(LvqPropagate(slot.Net(), &unitSlab), "LvqPropagate");
            Check(GetSlab(slot.Net(), &unitSlab, values + p * static_cast<size_t>(units)), "GetSlab");
            uint16_t winner = 0;
            const uint16_t keepScores = 0;
            Check(LvqEvaluate(slot.Net(), &unitSlab, &winner, &keepScores), "LvqEvaluate");
            out[p] = static_cast<int32_t>(winner) - 1;
        }
    }
    return py::make_tuple(winners, scores);
}

// ---- Model files ------------------------------------------------------------

constexpr char kTrailerMagic[8] = {'K', 'O', 'R', 'U', 'M', 'E', 'T', 'A'};

// A network file with caller's bytes: the net's own bytes and the caller's.
// The caller's bytes end in a 12-byte trailer: the length of the text before
// it (32-bit little-endian) and "KORUMETA"; a file without the trailer gives
// an empty text.
py::tuple ReadModelFile(const std::string& path) {
    std::string file = ReadFile(path);
    std::string text;
    size_t callerBytes = 0;
    if (file.size() >= 12 && std::equal(kTrailerMagic, kTrailerMagic + 8, file.end() - 8)) {
        const auto* t = reinterpret_cast<const unsigned char*>(file.data() + file.size() - 12);
        const size_t length = static_cast<size_t>(t[0]) | (static_cast<size_t>(t[1]) << 8) |
                              (static_cast<size_t>(t[2]) << 16) | (static_cast<size_t>(t[3]) << 24);
        if (length > file.size() - 12) {
            throw FormatFailure{path + ": a damaged model file (its metadata length is too large)"};
        }
        callerBytes = length + 12;
        text = file.substr(file.size() - 12 - length, length);
    }
    std::string net;
    {
        py::gil_scoped_release released;
        std::lock_guard<std::mutex> held(engineLock);
        Slot slot;
        std::string scratch(callerBytes, '\0');
        auto length = static_cast<int32_t>(callerBytes);
        Check(RestoreNet(slot.Net(), path.c_str(), &length, callerBytes ? scratch.data() : nullptr), "RestoreNet");
        net = slot.Save();
    }
    return py::make_tuple(py::bytes(net), py::bytes(text));
}

// Writes a model file: the net with `text` and the trailer as caller's bytes.
void WriteModelFile(const std::string& bytes, const std::string& path, const std::string& text) {
    ShapeOf(bytes);
    std::string extra = text;
    const auto length = static_cast<uint32_t>(text.size());
    for (int i = 0; i < 4; ++i) {
        extra += static_cast<char>((length >> (8 * i)) & 0xFF);
    }
    extra.append(kTrailerMagic, 8);
    std::string file;
    {
        py::gil_scoped_release released;
        std::lock_guard<std::mutex> held(engineLock);
        Slot slot(bytes);
        file = slot.Save(extra);
    }
    WriteFile(path, file);
}

int32_t LibraryVersion() {
    int32_t number = 0;
    std::lock_guard<std::mutex> held(engineLock);
    Check(GetLibraryVersion(&number), "GetLibraryVersion");
    return number;
}

}  // namespace

PYBIND11_MODULE(_native, m) {
    m.doc() = "The compiled core of koru32: whole-matrix loops over the engine's C interface.";
    // Failures become koru32.EngineError (code, name, text, call) and
    // ValueError; the Python side defines the class before importing us.
    static py::object engineError = py::module_::import("koru32._errors").attr("EngineError");
    py::register_exception_translator([](std::exception_ptr failure) {
        try {
            if (failure) {
                std::rethrow_exception(failure);
            }
        } catch (const EngineFailure& e) {
            const int16_t code = e.code;
            py::object error = engineError(code, CodeName(code), GetResultText(&code), e.call);
            PyErr_SetObject(engineError.ptr(), error.ptr());
        } catch (const FormatFailure& e) {
            PyErr_SetString(PyExc_ValueError, e.what.c_str());
        }
    });

    py::class_<BpSettings>(m, "BpSettings")
        .def(py::init<>())
        .def_readwrite("sizes", &BpSettings::sizes)
        .def_readwrite("transfers", &BpSettings::transfers)
        .def_readwrite("net_type", &BpSettings::netType)
        .def_readwrite("fixed", &BpSettings::fixed)
        .def_readwrite("seed", &BpSettings::seed)
        .def_readwrite("rate", &BpSettings::rate)
        .def_readwrite("momentum", &BpSettings::momentum)
        .def_readwrite("weight_range", &BpSettings::weightRange)
        .def_readwrite("max_iter", &BpSettings::maxIter)
        .def_readwrite("tol", &BpSettings::tol)
        .def_readwrite("n_iter_no_change", &BpSettings::noChange);
    py::class_<LvqSettings>(m, "LvqSettings")
        .def(py::init<>())
        .def_readwrite("net_type", &LvqSettings::netType)
        .def_readwrite("fixed", &LvqSettings::fixed)
        .def_readwrite("seed", &LvqSettings::seed)
        .def_readwrite("classes", &LvqSettings::classes)
        .def_readwrite("units_per_class", &LvqSettings::unitsPerClass)
        .def_readwrite("rate", &LvqSettings::rate)
        .def_readwrite("final_rate", &LvqSettings::finalRate)
        .def_readwrite("radius", &LvqSettings::radius)
        .def_readwrite("grid_width", &LvqSettings::gridWidth)
        .def_readwrite("epochs", &LvqSettings::epochs);

    m.def("net_shape", [](const std::string& bytes) {
        const NetShape shape = ShapeOf(bytes);
        py::list slabs;
        for (int i = 0; i < 32 && shape.neurons[i] > 0; ++i) {
            slabs.append(py::make_tuple(shape.neurons[i], shape.kinds[i]));
        }
        return py::make_tuple(shape.type, shape.paradigm, slabs);
    }, "The net type, paradigm and (neurons, kind) of the slabs in use from slab 0 of network-file bytes.");
    m.def("bp_fit", &BpFit);
    m.def("bp_predict", &BpPredict);
    m.def("kernel_fit", &KernelFit);
    m.def("kernel_predict", &KernelPredict);
    m.def("kernel_leave_one_out", &KernelLeaveOneOut);
    m.def("lvq_fit", &LvqFit);
    m.def("lvq_predict", &LvqPredict);
    m.def("read_model_file", &ReadModelFile);
    m.def("write_model_file", &WriteModelFile);
    m.def("library_version", &LibraryVersion);
    m.def("result_text", [](int code) { const auto c = static_cast<int16_t>(code); return std::string(GetResultText(&c)); });
    m.def("code_name", [](int code) { return std::string(CodeName(code)); });
    m.attr("HEADER_VERSION") = KORU32_VERSION_NUMBER;
}
