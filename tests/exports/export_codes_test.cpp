// Every export's bad arguments, each answered with its exact code, checked in
// the order the exports check them; and none of the refused calls changes a
// net, a slab, a link or a store.
#include "net_fixture.h"

namespace koru_test {
namespace {

// Addresses of values for the exports, valid until the end of the call.
const int16_t* In16(const int16_t& v) { return &v; }
const uint32_t* In32(const uint32_t& v) { return &v; }

class ExportCodes : public NetTest {
protected:
    // Net 0 backpropagation (slabs 0 input of 3, 1 output of 2, link 0,
    // store 0 of 3 records of 2), net 1 LVQ, net 2 PNN, net 3 GRNN, net 4
    // momentum, each with slabs 0 (input, 2), 1 (hidden, 2) and 2 (output, 2).
    void SetUp() override {
        NetTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(MakeLinkedPair(KORU32_NET_BP_PLAIN, 3, 2));
        const float record[2] = {1.5f, -2.5f};
        ASSERT_EQ(All({MakeStore(In16(0), In16(0), In16(2), In32(3)), PutStore(In16(0), In16(0), In32(1), record)}), 0);
        const uint16_t types[] = {KORU32_NET_LVQ_DISTANCE, KORU32_NET_PNN_DISTANCE, KORU32_NET_GRNN_DISTANCE, 2};
        for (int16_t net = 1; net <= 4; ++net) {
            ASSERT_EQ(All({Net(net, types[net - 1]), Slab(net, 0, 2, 0), Slab(net, 1, 2, 1), Slab(net, 2, 2, 2)}), 0);
            ASSERT_EQ(Link(net, 0, 0.5f, 0, 1), 0);
        }
        SetValues(0, 0, {1, 2, 3});
    }
    // Everything a caller can read back: each net's file, slab values and store records.
    std::vector<Bytes> State() {
        std::vector<Bytes> state;
        for (int16_t net = 0; net <= 4; ++net) {
            EXPECT_EQ(Save(net, Path("state.bin")), 0);
            state.push_back(ReadWholeFile(Path("state.bin")));
        }
        for (float v : Values(0, 0, 3)) Append32(state[0], BitsOf(v));
        float record[2];
        for (uint32_t r = 0; r < 3; ++r) {
            EXPECT_EQ(GetStore(In16(0), In16(0), &r, record), 0);
            for (float v : record) Append32(state[0], BitsOf(v));
        }
        return state;
    }
};

struct Case {
    const char* label;
    int16_t got, expected;
};
#define CASE(call, code) Case{#call, call, code}

TEST_F(ExportCodes, BadArgumentsGetTheirCodeInOrderAndChangeNothing) {
    const std::vector<Bytes> before = State();
    float out[64];
    const float some[64] = {};
    const Case cases[] = {
        CASE(Net(128, 1), KORU32_ERR_BAD_NET_NUMBER),
        CASE(Net(0, 99), KORU32_ERR_NET_IN_USE),
        CASE(Net(6, 0), KORU32_ERR_BAD_NET_TYPE),
        CASE(Net(6, 12), KORU32_ERR_BAD_NET_TYPE),
        CASE(Kill(6), KORU32_ERR_NET_NOT_IN_USE),  // the refused types left it free
        CASE(Kill(128), KORU32_ERR_BAD_NET_NUMBER),
        CASE(Math(2), KORU32_ERR_BAD_MATH_MODE),
        CASE(SetCPU(In16(123)), KORU32_ERR_NO_CPU_SELECTION),
        CASE(Slab(200, 40, 0, 9), KORU32_ERR_BAD_NET_NUMBER),
        CASE(Slab(0, 32, 0, 9), KORU32_ERR_BAD_SLAB_NUMBER),
        CASE(Slab(0, -1, 0, 9), KORU32_ERR_BAD_SLAB_NUMBER),
        CASE(Slab(6, 0, 0, 9), KORU32_ERR_NET_NOT_IN_USE),
        CASE(Slab(0, 2, 0, 3), KORU32_ERR_BAD_SLAB_KIND),
        CASE(Slab(0, 2, 0, 0), KORU32_ERR_BAD_SIZE),
        CASE(Slab(0, 2, -5, 2), KORU32_ERR_BAD_SIZE),
        CASE(Slab(0, 0, 0, 9), KORU32_ERR_BAD_SLAB_KIND),  // own arguments before existence
        CASE(Slab(0, 0, 5, 1), KORU32_ERR_SLAB_EXISTS),
        CASE(GetSlab(In16(128), In16(32), out), KORU32_ERR_BAD_NET_NUMBER),
        CASE(GetSlab(In16(0), In16(32), out), KORU32_ERR_BAD_SLAB_NUMBER),
        CASE(GetSlab(In16(6), In16(1), out), KORU32_ERR_NET_NOT_IN_USE),
        CASE(GetSlab(In16(0), In16(5), out), KORU32_ERR_NO_SLAB),
        CASE(KillSlab(In16(0), In16(5)), KORU32_ERR_NO_SLAB),
        CASE(KillSlab(In16(0), In16(0)), KORU32_ERR_SLAB_HAS_LINKS),
        CASE(KillSlab(In16(0), In16(1)), KORU32_ERR_SLAB_HAS_LINKS),
        CASE(PutNeuron(In16(0), In16(0), In16(0), some), KORU32_ERR_BAD_NEURON),
        CASE(PutNeuron(In16(0), In16(0), In16(4), some), KORU32_ERR_BAD_NEURON),
        CASE(PutDelta(In16(0), In16(0), In16(1), some), KORU32_ERR_WRONG_PARADIGM),  // input slabs keep none
        CASE(GetDelta(In16(0), In16(0), In16(1), out), KORU32_ERR_WRONG_PARADIGM),
        CASE(PutDelta(In16(0), In16(1), In16(0), some), KORU32_ERR_BAD_NEURON),
        CASE(PutDelta(In16(1), In16(2), In16(1), some), KORU32_ERR_WRONG_PARADIGM),  // LVQ
        CASE(GetDelta(In16(2), In16(1), In16(1), out), KORU32_ERR_WRONG_PARADIGM),   // PNN hidden
        CASE(GetDelta(In16(3), In16(2), In16(1), out), KORU32_ERR_WRONG_PARADIGM),   // GRNN output
        CASE(CopySlab(In16(300), In16(4), In16(0), In16(4)), KORU32_ERR_NO_SLAB),  // destination first
        CASE(CopySlab(In16(0), In16(99), In16(300), In16(4)), KORU32_ERR_BAD_NET_NUMBER),
        CASE(Transfer(In16(0), In16(0), In16(8)), KORU32_ERR_BAD_CODE),
        CASE(Transfer(In16(1), In16(0), In16(8)), KORU32_ERR_WRONG_PARADIGM),
        CASE(GetCounts(In16(0), In16(1), out), KORU32_ERR_WRONG_PARADIGM),
        CASE(GetCounts(In16(2), In16(0), out), KORU32_ERR_WRONG_PARADIGM),  // PNN input
        CASE(PutCounts(In16(3), In16(2), some), KORU32_ERR_WRONG_PARADIGM),  // GRNN output
        CASE(Link(-5, 32, 0.5f, 0, 1), KORU32_ERR_BAD_LINK_NUMBER),
        CASE(Link(-5, 0, 0.5f, 0, 1), KORU32_ERR_BAD_NET_NUMBER),
        CASE(Link(6, 0, 0.5f, 0, 1), KORU32_ERR_NET_NOT_IN_USE),
        CASE(Link(0, 1, 0.5f, 0, 40), KORU32_ERR_BAD_SLAB_NUMBER),
        CASE(Link(0, 1, 0.5f, 0, 5), KORU32_ERR_NO_SLAB),
        CASE(Link(0, 1, 0.5f, 5, 0), KORU32_ERR_NO_SLAB),
        CASE(Link(0, 0, 0.5f, 0, 1), KORU32_ERR_LINK_EXISTS),
        CASE(GetWeight(In16(0), In16(0), In16(4), In16(1), out), KORU32_ERR_BAD_SOURCE_NEURON),
        CASE(GetWeight(In16(0), In16(0), In16(0), In16(3), out), KORU32_ERR_BAD_DEST_NEURON),
        CASE(PutWeight(In16(0), In16(0), In16(99), In16(0), some), KORU32_ERR_BAD_DEST_NEURON),  // dest first
        CASE(GetWeight(In16(1), In16(0), In16(0), In16(1), out), KORU32_ERR_BAD_SOURCE_NEURON),  // no bias row
        CASE(GetWeight(In16(0), In16(5), In16(0), In16(1), out), KORU32_ERR_NO_LINK),
        CASE(GetLinkChanges(In16(0), In16(0), out), KORU32_ERR_WRONG_PARADIGM),
        CASE(PutLinkChanges(In16(1), In16(0), some), KORU32_ERR_WRONG_PARADIGM),
        CASE(GetChange(In16(2), In16(0), In16(1), In16(1), out), KORU32_ERR_WRONG_PARADIGM),
        CASE(PutChange(In16(0), In16(0), In16(1), In16(1), some), KORU32_ERR_WRONG_PARADIGM),
        CASE(PutChange(In16(4), In16(0), In16(3), In16(1), some), KORU32_ERR_BAD_SOURCE_NEURON),
        CASE(PutChange(In16(4), In16(0), In16(0), In16(0), some), KORU32_ERR_BAD_DEST_NEURON),
        CASE(KillLink(In16(0), In16(5)), KORU32_ERR_NO_LINK),
        CASE(KillLink(In16(0), In16(32)), KORU32_ERR_BAD_LINK_NUMBER),
        CASE(SetStatus(In16(0), In16(0), In16(3)), KORU32_ERR_BAD_CODE),
        CASE(SetStatus(In16(1), In16(0), In16(3)), KORU32_ERR_WRONG_PARADIGM),
        CASE(MakeStore(In16(128), In16(6), In16(0), In32(0)), KORU32_ERR_BAD_NET_NUMBER),
        CASE(MakeStore(In16(0), In16(6), In16(0), In32(0)), KORU32_ERR_BAD_STORE_NUMBER),
        CASE(MakeStore(In16(6), In16(0), In16(0), In32(0)), KORU32_ERR_NET_NOT_IN_USE),
        CASE(MakeStore(In16(0), In16(1), In16(0), In32(0)), KORU32_ERR_BAD_RECORD_COUNT),
        CASE(MakeStore(In16(0), In16(1), In16(0), In32(10)), KORU32_ERR_BAD_SIZE),
        CASE(MakeStore(In16(0), In16(1), In16(2), In32(0xFFFFFFFFu)), KORU32_ERR_BAD_RECORD_COUNT),  // unaddressable
        CASE(MakeStore(In16(0), In16(0), In16(4), In32(0)), KORU32_ERR_BAD_RECORD_COUNT),  // before existence
        CASE(MakeStore(In16(0), In16(0), In16(2), In32(5)), KORU32_ERR_STORE_EXISTS),
        CASE(PutStore(In16(0), In16(0), In32(3), some), KORU32_ERR_BAD_RECORD),
        CASE(GetStore(In16(0), In16(0), In32(3), out), KORU32_ERR_BAD_RECORD),
        CASE(GetStore(In16(0), In16(5), In32(0), out), KORU32_ERR_NO_STORE),
        CASE(KillStore(In16(0), In16(5)), KORU32_ERR_NO_STORE),
        CASE(CopyToStore(In16(0), In16(4), In32(0), In16(0), In16(4)), KORU32_ERR_NO_SLAB),  // slab first
        CASE(CopyFromStore(In16(-1), In16(6), In32(0), In16(0), In16(4)), KORU32_ERR_NO_SLAB),
        CASE(CopyToStore(In16(0), In16(6), In32(0), In16(0), In16(0)), KORU32_ERR_BAD_STORE_NUMBER),
        CASE(CopyToStore(In16(0), In16(4), In32(0), In16(0), In16(0)), KORU32_ERR_NO_STORE),
        CASE(CopyToStore(In16(0), In16(0), In32(3), In16(0), In16(0)), KORU32_ERR_BAD_RECORD),
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.expected) << c.label;
    EXPECT_EQ(State(), before);
    EXPECT_FALSE(SlotInUse(6));
}

}  // namespace
}  // namespace koru_test
