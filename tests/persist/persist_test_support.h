// Shared pieces of the persistence tests: a directory of the test's own for
// its files, byte access to those files, a count of open descriptors, and
// reference conversions written from the element rule.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/float_bits.h"
#include "koru32.h"

namespace koru_test {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

inline Bytes ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteWholeFile(const std::string& path, const Bytes& bytes, size_t length) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(length));
}
inline void WriteWholeFile(const std::string& path, const Bytes& bytes) { WriteWholeFile(path, bytes, bytes.size()); }

inline uint16_t U16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }
inline uint32_t U32(const Bytes& b, size_t at) {
    return uint32_t{b[at]} | (uint32_t{b[at + 1]} << 8) | (uint32_t{b[at + 2]} << 16) | (uint32_t{b[at + 3]} << 24);
}
inline void SetU16(Bytes& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void SetU32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void AppendU16(Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void AppendF32(Bytes& b, float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// SaveNet and RestoreNet taking their arguments by value; no caller's bytes
// unless given.
inline int16_t Save(int16_t net, const std::string& path, int32_t length = 0, const void* bytes = nullptr) {
    return SaveNet(&net, path.c_str(), &length, bytes);
}
inline int16_t Restore(int16_t net, const std::string& path, int32_t length = 0, void* bytes = nullptr) {
    return RestoreNet(&net, path.c_str(), &length, bytes);
}

// The 8.24 element of a value: value x 2^24, plus one half, truncated toward
// zero (so negative values move toward zero), low 32 bits.
inline uint32_t FixedBits(double value) {
    return static_cast<uint32_t>(static_cast<int64_t>(std::trunc(value * 16777216.0 + 0.5)));
}
// What an 8.24 element reads back as through a float export.
inline float FloatOfFixed(uint32_t bits) {
    return static_cast<float>(static_cast<int32_t>(bits) / 16777216.0);
}

// Open descriptors (on Windows, handles) of this process, or -1 where they
// cannot be counted.
inline int OpenDescriptors() {
#ifdef _WIN32
    DWORD handles = 0;
    if (!GetProcessHandleCount(GetCurrentProcess(), &handles)) return -1;
    return static_cast<int>(handles);
#else
    std::error_code error;
    fs::directory_iterator it("/proc/self/fd", error);
    if (error) return -1;
    int n = 0;
    for (; it != fs::directory_iterator(); it.increment(error)) ++n;
    return n;
#endif
}

inline void KillAllNets() {
    for (int16_t n = 0; n < 128; ++n) KillNet(&n);
}

// True when the slot holds a net: MakeNet answers 4 for a slot in use before
// it looks at the type, and refuses type 0 on a free slot (leaving it free).
inline bool SlotInUse(int16_t net) {
    const uint16_t noType = 0;
    return MakeNet(&net, &noType) == KORU32_ERR_NET_IN_USE;
}

// The math mode, seen through a net made in it: 2900 / 10000 is held exactly
// in 8.24 but as 0.28999999 in float32, which reads back truncated as 2899.
inline bool MathModeIsFixed() {
    uint16_t free = 0;
    EXPECT_EQ(GetNextNet(&free), 0);
    const int16_t net = static_cast<int16_t>(free), slab = 0, one = 1, kind = 0;
    const uint16_t type = 1;
    EXPECT_EQ(MakeNet(&net, &type), 0);
    EXPECT_EQ(MakeSlab(&net, &slab, &one, &kind), 0);
    int16_t value = 2900;
    EXPECT_EQ(PutSlabInteger(&net, &slab, &value), 0);
    EXPECT_EQ(GetSlabInteger(&net, &slab, &value), 0);
    KillNet(&net);
    return value == 2900;
}

inline void SetMathMode(bool fixed) {
    const uint16_t mode = fixed ? KORU32_MATH_FIXED : KORU32_MATH_FLOAT;
    ASSERT_EQ(SetMath(&mode), 0);
}

// Every test gets a fresh directory for its files and leaves no nets behind.
class PersistTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "_" + info->name();
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        }
        dir_ = fs::temp_directory_path() / ("koru32_" + name + "_" + std::to_string(getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        KillAllNets();
    }
    void TearDown() override {
        KillAllNets();
        fs::remove_all(dir_);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

}  // namespace koru_test
