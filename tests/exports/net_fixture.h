// Helpers for the tests that drive the library through its exports: value-
// taking wrappers (the exports take every argument by address), byte access
// to files, a net of every type spread over the tables, and a fixture that
// gives each test a directory and leaves the process-wide state as it found it.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "common/export_readers.h"
#include "common/first_refusal.h"
#include "common/fixed_point.h"
#include "common/float_bits.h"
#include "koru32.h"

namespace koru_test {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

inline int16_t Math(uint16_t mode) { return SetMath(&mode); }
inline int16_t Net(int16_t net, uint16_t type) { return MakeNet(&net, &type); }
inline int16_t Kill(int16_t net) { return KillNet(&net); }
inline int16_t Slab(int16_t net, int16_t slab, int16_t n, int16_t kind) { return MakeSlab(&net, &slab, &n, &kind); }
inline int16_t Link(int16_t net, int16_t link, float range, int16_t source, int16_t dest) { return MakeLink(&net, &link, &range, &source, &dest); }
inline int16_t Seed(int16_t seed) { return SetSeed(&seed); }
inline int16_t Save(int16_t net, const std::string& path, int32_t length = 0, const void* bytes = nullptr) {
    return SaveNet(&net, path.c_str(), &length, bytes);
}
inline int16_t Restore(int16_t net, const std::string& path, int32_t length = 0, void* bytes = nullptr) {
    return RestoreNet(&net, path.c_str(), &length, bytes);
}
inline void KillAllNets() { for (int16_t n = 0; n < 128; ++n) Kill(n); }
// MakeNet answers 4 for a slot in use before it looks at the type.
inline bool SlotInUse(int16_t net) { return Net(net, 0) == KORU32_ERR_NET_IN_USE; }

inline void SetValues(int16_t net, int16_t slab, const std::vector<float>& values) { EXPECT_EQ(PutSlab(&net, &slab, values.data()), 0); }

// The math mode, seen through a scratch net made in it: 0.1 reads back as
// itself only in float32.
inline bool MathModeIsFixed() {
    uint16_t free = 0;
    EXPECT_EQ(GetNextNet(&free), KORU32_OK);
    const int16_t net = int16_t(free), slab = 0, neuron = 1;
    const float tenth = 0.1f;
    float back = 0.0f;
    EXPECT_EQ(All({Net(net, KORU32_NET_BP_PLAIN), Slab(net, 0, 1, 0), PutNeuron(&net, &slab, &neuron, &tenth),
                   GetNeuron(&net, &slab, &neuron, &back), Kill(net)}), KORU32_OK);
    return back != tenth;
}

// Net 0 of `type`: input slab 0 of `inputs` neurons feeds output slab 1 of
// `dests` neurons through link 0.
inline void MakeLinkedPair(uint16_t type, int16_t inputs, int16_t dests) {
    ASSERT_EQ(All({Net(0, type), Slab(0, 0, inputs, KORU32_SLAB_INPUT), Slab(0, 1, dests, KORU32_SLAB_OUTPUT),
                   Link(0, 0, 0.5f, 0, 1)}), KORU32_OK);
}

inline Bytes ReadWholeFile(const std::string& path) { std::ifstream in(path, std::ios::binary); return Bytes(std::istreambuf_iterator<char>(in), {}); }
inline void WriteWholeFile(const std::string& path, const Bytes& bytes, size_t length = SIZE_MAX) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(std::min(length, bytes.size())));
}
inline uint16_t U16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }
inline uint32_t U32(const Bytes& b, size_t at) { return U16(b, at) | (uint32_t{U16(b, at + 2)} << 16); }
inline Bytes With16(Bytes b, size_t at, uint16_t v) { b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8); return b; }
inline Bytes With32(Bytes b, size_t at, uint32_t v) { return With16(With16(b, at, uint16_t(v)), at + 2, uint16_t(v >> 16)); }
inline void Append32(Bytes& b, uint32_t v, int bytes = 4) { for (int i = 0; i < bytes; ++i) b.push_back(uint8_t(v >> (8 * i))); }
inline void AppendBits(Bytes& b, const std::vector<float>& values) { for (float v : values) Append32(b, BitsOf(v)); }
// A link's changes and a slab's counts, read as Values and Weights read the rest, the export
// answering `code`.
inline std::vector<float> Changes(int16_t net, int16_t link, size_t count, int16_t code = KORU32_OK) {
    return ReadFloats(count, [&](float* changes) { return GetLinkChanges(&net, &link, changes); }, code);
}
inline std::vector<float> Counts(int16_t net, int16_t slab, size_t count) {
    return ReadFloats(count, [&](float* counts) { return GetCounts(&net, &slab, counts); });
}
inline std::vector<float> Record(int16_t net, int16_t store, uint32_t record, size_t width) {
    return ReadFloats(width, [&](float* values) { return GetStore(&net, &store, &record, values); });
}

// The 8.24 element of a value: x 2^24, plus one half, truncated toward zero.
inline uint32_t FixedBits(double value) { return static_cast<uint32_t>(FixedFromReal(value)); }
inline float FloatOfFixed(uint32_t bits) { return static_cast<float>(static_cast<int32_t>(bits) / 16777216.0); }

// Open descriptors (on Windows, handles) of this process.
inline int OpenDescriptors() {
#ifdef _WIN32
    DWORD handles = 0;
    return GetProcessHandleCount(GetCurrentProcess(), &handles) ? static_cast<int>(handles) : -1;
#else
    return static_cast<int>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
#endif
}

// A net of any type with slabs and links spread over the tables (slabs 3
// and 4 and link 2 left free), every weight, change and count different, and
// for backpropagation every link status.
struct SlabPlan { int16_t slab, neurons, kind, transfer; };
struct LinkPlan { int16_t link, source, dest; };
inline constexpr SlabPlan kSlabs[] = {{0, 3, 0, 3}, {1, 4, 1, 2}, {2, 2, 2, 6}, {5, 2, 1, 7}};
inline constexpr LinkPlan kLinks[] = {{0, 0, 1}, {1, 1, 2}, {3, 0, 5}, {4, 5, 2}};

inline bool IsBackprop(uint16_t type) { return type <= 3 || type == KORU32_NET_BP_ADAPTIVE; }
inline bool KeepsChanges(uint16_t type) { return type == 2 || type == 3 || type == 11; }
// PNN output slabs and GRNN hidden slabs keep counts.
inline bool Counted(uint16_t type, const SlabPlan& s) {
    return (type == 6 || type == 7 || type == 10) ? s.kind == 2 : (type == 8 || type == 9) && s.kind == 1;
}
inline size_t WeightCount(uint16_t type, const LinkPlan& l) {
    int16_t rows = IsBackprop(type), cols = 0;
    for (const SlabPlan& s : kSlabs) rows += s.slab == l.source ? s.neurons : 0, cols += s.slab == l.dest ? s.neurons : 0;
    return size_t(rows) * size_t(cols);
}

inline void BuildNet(int16_t net, uint16_t type) {
    ASSERT_EQ(MakeNet(&net, &type), 0);
    for (const SlabPlan& s : kSlabs) ASSERT_EQ(All({Slab(net, s.slab, s.neurons, s.kind), IsBackprop(type) ? Transfer(&net, &s.slab, &s.transfer) : int16_t{0}}), 0);
    int index = 0;
    for (const LinkPlan& l : kLinks) {
        ASSERT_EQ(Link(net, l.link, 0.5f, l.source, l.dest), 0);
        std::vector<float> w(WeightCount(type, l)), c(w.size());
        for (size_t i = 0; i < w.size(); ++i) w[i] = float(std::sin(1.0 + 0.7 * double(i) + 3.1 * index) * 1.7), c[i] = float(std::cos(0.3 + 0.9 * double(i) + 2.3 * index) * 0.3);
        ASSERT_EQ(PutLink(&net, &l.link, w.data()), 0);
        if (KeepsChanges(type)) { ASSERT_EQ(PutLinkChanges(&net, &l.link, c.data()), 0); }
        const int16_t status = static_cast<int16_t>(index++);  // links 0 and 1 ignored and propagated only
        if (IsBackprop(type) && status < 2) { ASSERT_EQ(SetStatus(&net, &l.link, &status), 0); }
    }
    for (const SlabPlan& s : kSlabs) {
        std::vector<float> counts(1 + size_t(s.neurons), 5.0f);  // 5 pattern units in use
        for (int16_t i = 1; i <= s.neurons; ++i) counts[size_t(i)] = float((i * s.slab) % 3);
        if (Counted(type, s)) { ASSERT_EQ(PutCounts(&net, &s.slab, counts.data()), 0); }
    }
}

// Every weight, change (when asked) and count of a BuildNet net, as bits.
inline Bytes Snapshot(int16_t net, uint16_t type, bool withChanges) {
    Bytes bits;
    for (const LinkPlan& l : kLinks) {
        AppendBits(bits, Weights(net, l.link, WeightCount(type, l)));
        if (withChanges) AppendBits(bits, Changes(net, l.link, WeightCount(type, l)));
    }
    for (const SlabPlan& s : kSlabs) {
        if (Counted(type, s)) AppendBits(bits, Counts(net, s.slab, 1 + size_t(s.neurons)));
    }
    return bits;
}

// Each test gets a fresh directory for its files, float32 math, no nets.
class NetTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        dir_ = fs::temp_directory_path() / ("koru32_" + name + "_" + std::to_string(getpid()));
        fs::remove_all(dir_), fs::create_directories(dir_), KillAllNets(), Math(KORU32_MATH_FLOAT);
    }
    void TearDown() override { KillAllNets(), Math(KORU32_MATH_FLOAT), Seed(1), fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    // The file SaveNet writes for `net`: every array and table entry a caller can restore.
    Bytes Saved(int16_t net) { EXPECT_EQ(Save(net, Path("saved.bin")), KORU32_OK); return ReadWholeFile(Path("saved.bin")); }
    fs::path dir_;
};

}  // namespace koru_test
