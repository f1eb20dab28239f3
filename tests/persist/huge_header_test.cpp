// A header alone must not make the library allocate what the header
// announces: a network file or shell file too short for its own header is
// refused before any slab or link is made. Each case runs in a child process
// whose address space is limited to 1 GiB, where the four-gigabyte links the
// headers announce cannot be had: a reader that made them first would
// answer 1 (no memory) instead of its file code.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstdlib>
#include <string>

#include "persist/persist_test_support.h"

namespace koru_test {
namespace {

#if defined(__SANITIZE_ADDRESS__)
#define KORU32_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KORU32_UNDER_ASAN 1
#endif
#endif

// Runs `call` in a child with its address space limited, and exits with its code.
template <typename Call>
void ExitWithCodeUnderLimit(Call call) {
    const rlim_t limit = rlim_t{1} << 30;
    const rlimit space{limit, limit};
    if (setrlimit(RLIMIT_AS, &space) != 0) std::_Exit(99);
    std::_Exit(call());
}

class HugeHeader : public ::testing::Test {
protected:
    void SetUp() override {
#ifdef KORU32_UNDER_ASAN
        GTEST_SKIP() << "the sanitizer's own reservations do not fit a limited address space";
#endif
        GTEST_FLAG_SET(death_test_style, "threadsafe");
    }
    std::string Path(const char* name) { return (fs::temp_directory_path() / name).string() + std::to_string(getpid()); }
};

TEST_F(HugeHeader, NetworkFileAnnouncingAFourGigabyteLinkGives41) {
    Bytes header(530, 0);
    SetU16(header, 0, 32);
    SetU16(header, 2, 32);
    SetU16(header, 4, KORU32_NET_BP_PLAIN);
    SetU16(header, 6, KORU32_PARADIGM_BACKPROP);
    SetU16(header, 10, 3);
    SetU16(header, 16, 32767);  // slab 0, input
    SetU16(header, 18, 32767);  // slab 1, output
    SetU16(header, 80 + 2, KORU32_SLAB_OUTPUT);
    SetU16(header, 208, KORU32_LINK_TRAINED);  // link 0 from slab 0 to slab 1
    SetU16(header, 336, 1);
    SetU32(header, 400, 32768u * 32767u);
    const std::string path = Path("huge.net");
    WriteWholeFile(path, header);
    EXPECT_EXIT(ExitWithCodeUnderLimit([&] {
                    const int16_t net = 4;
                    int32_t none = 0;
                    const int16_t code = RestoreNet(&net, path.c_str(), &none, nullptr);
                    uint16_t next = 99;
                    // The slot is free again.
                    return code == KORU32_ERR_RESTORE_FILE && GetNextNet(&next) == 0 && next == 0 ? 41 : 100 + code;
                }),
                ::testing::ExitedWithCode(41), "");
    std::remove(path.c_str());
}

TEST_F(HugeHeader, ShellFileOfHeaderAloneAnnouncingLayersOf32767NeuronsGives25) {
    Bytes header;
    for (int k = 0; k < 3; ++k) AppendU16(header, 32768);
    const std::string path = Path("huge.shl");
    WriteWholeFile(path, header);
    EXPECT_EXIT(ExitWithCodeUnderLimit([&] {
                    const int16_t net = 2, slab = 0, neuron = 1;
                    const uint16_t type = KORU32_NET_BP_MOMENTUM;
                    if (MakeNet(&net, &type) != 0) return 98;
                    const int16_t code = LoadShell(&net, path.c_str());
                    float value;
                    // Nothing was made: slab 0 does not exist.
                    return code == KORU32_ERR_SHELL_FILE && GetNeuron(&net, &slab, &neuron, &value) == 9 ? 25
                                                                                                       : 100 + code;
                }),
                ::testing::ExitedWithCode(25), "");
    std::remove(path.c_str());
}

}  // namespace
}  // namespace koru_test
