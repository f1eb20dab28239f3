// A header alone must not make the library allocate what it announces: a
// network or shell file too short for its own header is refused before any
// slab or link is made. Each case runs in a child limited to 1 GiB of address
// space, where the four-gigabyte links announced cannot be had: a reader that
// made them first would answer 1 (no memory) instead of its file code. The
// build leaves the test out under the address sanitizer, whose own
// reservations do not fit a limited address space.
#include <sys/resource.h>

#include <cstdlib>

#include "exports/net_fixture.h"

namespace koru_test {
namespace {

// Runs `call` in a child limited to 1 GiB and expects it to exit with `code`.
template <typename Call>
void ExitUnderLimit(Call call) {
    const rlimit space{rlim_t{1} << 30, rlim_t{1} << 30};
    std::_Exit(setrlimit(RLIMIT_AS, &space) != 0 ? 99 : call());
}
template <typename Call>
void ExpectExitUnderLimit(Call call, int code) { EXPECT_EXIT(ExitUnderLimit(call), ::testing::ExitedWithCode(code), ""); }

class HugeHeader : public NetTest {
protected:
    void SetUp() override { NetTest::SetUp(), GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(HugeHeader, NetworkAndShellFilesAnnouncingFourGigabyteLinksGiveTheirFileCodes) {
    Bytes header(530, 0);
    const std::pair<size_t, uint16_t> fields[] = {{0, 32}, {2, 32}, {4, KORU32_NET_BP_PLAIN}, {6, KORU32_PARADIGM_BACKPROP},
                                                  {10, 3}, {16, 32767}, {18, 32767}, {82, KORU32_SLAB_OUTPUT},
                                                  {208, KORU32_LINK_TRAINED}, {336, 1}};  // link 0: slab 0 to 1
    for (const auto& [at, value] : fields) header = With16(header, at, value);
    WriteWholeFile(Path("huge.net"), With32(header, 400, 32768u * 32767u));
    WriteWholeFile(Path("huge.shl"), Bytes{0, 0x80, 0, 0x80, 0, 0x80});  // three layers of 32768 units
    ExpectExitUnderLimit([this] {
        const int16_t code = Restore(4, Path("huge.net"));
        fs::remove_all(dir_);  // the child ends without TearDown
        return code == KORU32_ERR_RESTORE_FILE && !SlotInUse(4) ? 41 : 100 + code;
    }, 41);
    ExpectExitUnderLimit([this] {
        const int16_t net = 2, slab = 0, neuron = 1;
        float value;  // nothing made: slab 0 does not exist
        const int16_t code = All({Net(net, KORU32_NET_BP_MOMENTUM), LoadShell(&net, Path("huge.shl").c_str())});
        fs::remove_all(dir_);
        return code == KORU32_ERR_SHELL_FILE && GetNeuron(&net, &slab, &neuron, &value) == KORU32_ERR_NO_SLAB ? 25 : 100 + code;
    }, 25);
}

}  // namespace
}  // namespace koru_test
