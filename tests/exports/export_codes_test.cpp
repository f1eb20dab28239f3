// Every export's bad arguments, each answered with its exact code, checked in
// the order the exports check them; and none of the refused calls changes a
// net, a slab, a link or a store.
#include "net_fixture.h"

namespace koru_test {
namespace {

// Addresses of values for the exports, valid until the end of the call.
const int16_t* A(const int16_t& v) { return &v; }
const uint32_t* A32(const uint32_t& v) { return &v; }

class ExportCodes : public NetTest {
protected:
    // Net 0 backpropagation (slabs 0 input of 3, 1 output of 2, link 0,
    // store 0 of 3 records of 2), net 1 LVQ, net 2 PNN, net 3 GRNN, net 4
    // momentum, each with slabs 0 (input, 2), 1 (hidden, 2) and 2 (output, 2).
    void SetUp() override {
        NetTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(MakeLinkedPair(KORU32_NET_BP_PLAIN, 3, 2));
        const float record[2] = {1.5f, -2.5f};
        ASSERT_EQ(All({MakeStore(A(0), A(0), A(2), A32(3)), PutStore(A(0), A(0), A32(1), record)}), 0);
        const uint16_t types[] = {KORU32_NET_LVQ_DISTANCE, KORU32_NET_PNN_DISTANCE, KORU32_NET_GRNN_DISTANCE, 2};
        for (int16_t net = 1; net <= 4; ++net) {
            ASSERT_EQ(All({Net(net, types[net - 1]), Slab(net, 0, 2, 0), Slab(net, 1, 2, 1), Slab(net, 2, 2, 2),
                           Link(net, 0, 0.5f, 0, 1)}), 0);
        }
        SetValues(0, 0, {1, 2, 3});
    }
    // Everything a caller can read back: each net's file, slab values and store records.
    std::vector<Bytes> State() {
        std::vector<Bytes> state;
        for (int16_t net = 0; net <= 4; ++net) state.push_back(Saved(net));
        AppendBits(state[0], Values(0, 0, 3));
        for (uint32_t r = 0; r < 3; ++r) AppendBits(state[0], Record(0, 0, r, 2));
        return state;
    }
};

struct Case { const char* label; int16_t got, expected; };
#define C(call, code) Case{#call, call, KORU32_ERR_##code}

TEST_F(ExportCodes, BadArgumentsGetTheirCodeInOrderAndChangeNothing) {
    const std::vector<Bytes> before = State();
    float out[64];
    const float some[64] = {};
    const Case cases[] = {
        C(Net(128, 1), BAD_NET_NUMBER), C(Net(0, 99), NET_IN_USE), C(Net(6, 0), BAD_NET_TYPE), C(Net(6, 12), BAD_NET_TYPE),
        C(Kill(6), NET_NOT_IN_USE),  // the refused types left it free
        C(Kill(128), BAD_NET_NUMBER), C(Math(2), BAD_MATH_MODE), C(SetCPU(A(123)), NO_CPU_SELECTION),
        C(Slab(200, 40, 0, 9), BAD_NET_NUMBER), C(Slab(0, 32, 0, 9), BAD_SLAB_NUMBER), C(Slab(0, -1, 0, 9), BAD_SLAB_NUMBER),
        C(Slab(6, 0, 0, 9), NET_NOT_IN_USE), C(Slab(0, 2, 0, 3), BAD_SLAB_KIND), C(Slab(0, 2, 0, 0), BAD_SIZE),
        C(Slab(0, 2, -5, 2), BAD_SIZE), C(Slab(0, 0, 0, 9), BAD_SLAB_KIND),  // own arguments before existence
        C(Slab(0, 0, 5, 1), SLAB_EXISTS), C(GetSlab(A(128), A(32), out), BAD_NET_NUMBER),
        C(GetSlab(A(0), A(32), out), BAD_SLAB_NUMBER), C(GetSlab(A(6), A(1), out), NET_NOT_IN_USE),
        C(GetSlab(A(0), A(5), out), NO_SLAB), C(KillSlab(A(0), A(5)), NO_SLAB), C(KillSlab(A(0), A(0)), SLAB_HAS_LINKS),
        C(KillSlab(A(0), A(1)), SLAB_HAS_LINKS), C(PutNeuron(A(0), A(0), A(0), some), BAD_NEURON),
        C(PutNeuron(A(0), A(0), A(4), some), BAD_NEURON), C(PutDelta(A(0), A(0), A(1), some), WRONG_PARADIGM),  // input slabs keep none
        C(GetDelta(A(0), A(0), A(1), out), WRONG_PARADIGM), C(PutDelta(A(0), A(1), A(0), some), BAD_NEURON),
        C(PutDelta(A(1), A(2), A(1), some), WRONG_PARADIGM),  // LVQ
        C(GetDelta(A(2), A(1), A(1), out), WRONG_PARADIGM),  // PNN hidden
        C(GetDelta(A(3), A(2), A(1), out), WRONG_PARADIGM),  // GRNN output
        C(CopySlab(A(300), A(4), A(0), A(4)), NO_SLAB),  // destination first
        C(CopySlab(A(0), A(99), A(300), A(4)), BAD_NET_NUMBER), C(Transfer(A(0), A(0), A(8)), BAD_CODE),
        C(Transfer(A(1), A(0), A(8)), WRONG_PARADIGM), C(GetCounts(A(0), A(1), out), WRONG_PARADIGM),
        C(GetCounts(A(2), A(0), out), WRONG_PARADIGM),  // PNN input
        C(PutCounts(A(3), A(2), some), WRONG_PARADIGM),  // GRNN output
        C(Link(-5, 32, 0.5f, 0, 1), BAD_LINK_NUMBER), C(Link(-5, 0, 0.5f, 0, 1), BAD_NET_NUMBER),
        C(Link(6, 0, 0.5f, 0, 1), NET_NOT_IN_USE), C(Link(0, 1, 0.5f, 0, 40), BAD_SLAB_NUMBER),
        C(Link(0, 1, 0.5f, 0, 5), NO_SLAB), C(Link(0, 1, 0.5f, 5, 0), NO_SLAB), C(Link(0, 0, 0.5f, 0, 1), LINK_EXISTS),
        C(GetWeight(A(0), A(0), A(4), A(1), out), BAD_SOURCE_NEURON),
        C(GetWeight(A(0), A(0), A(0), A(3), out), BAD_DEST_NEURON),
        C(PutWeight(A(0), A(0), A(99), A(0), some), BAD_DEST_NEURON),  // dest first
        C(GetWeight(A(1), A(0), A(0), A(1), out), BAD_SOURCE_NEURON),  // no bias row
        C(GetWeight(A(0), A(5), A(0), A(1), out), NO_LINK), C(GetLinkChanges(A(0), A(0), out), WRONG_PARADIGM),
        C(PutLinkChanges(A(1), A(0), some), WRONG_PARADIGM), C(GetChange(A(2), A(0), A(1), A(1), out), WRONG_PARADIGM),
        C(PutChange(A(0), A(0), A(1), A(1), some), WRONG_PARADIGM),
        C(PutChange(A(4), A(0), A(3), A(1), some), BAD_SOURCE_NEURON),
        C(PutChange(A(4), A(0), A(0), A(0), some), BAD_DEST_NEURON), C(KillLink(A(0), A(5)), NO_LINK),
        C(KillLink(A(0), A(32)), BAD_LINK_NUMBER), C(SetStatus(A(0), A(0), A(3)), BAD_CODE),
        C(SetStatus(A(1), A(0), A(3)), WRONG_PARADIGM), C(MakeStore(A(128), A(6), A(0), A32(0)), BAD_NET_NUMBER),
        C(MakeStore(A(0), A(6), A(0), A32(0)), BAD_STORE_NUMBER), C(MakeStore(A(6), A(0), A(0), A32(0)), NET_NOT_IN_USE),
        C(MakeStore(A(0), A(1), A(0), A32(0)), BAD_RECORD_COUNT), C(MakeStore(A(0), A(1), A(0), A32(10)), BAD_SIZE),
        C(MakeStore(A(0), A(1), A(2), A32(0xFFFFFFFFu)), BAD_RECORD_COUNT),  // unaddressable
        C(MakeStore(A(0), A(0), A(4), A32(0)), BAD_RECORD_COUNT),  // before existence
        C(MakeStore(A(0), A(0), A(2), A32(5)), STORE_EXISTS), C(PutStore(A(0), A(0), A32(3), some), BAD_RECORD),
        C(GetStore(A(0), A(0), A32(3), out), BAD_RECORD), C(GetStore(A(0), A(5), A32(0), out), NO_STORE),
        C(KillStore(A(0), A(5)), NO_STORE), C(CopyToStore(A(0), A(4), A32(0), A(0), A(4)), NO_SLAB),  // slab first
        C(CopyFromStore(A(-1), A(6), A32(0), A(0), A(4)), NO_SLAB),
        C(CopyToStore(A(0), A(6), A32(0), A(0), A(0)), BAD_STORE_NUMBER),
        C(CopyToStore(A(0), A(4), A32(0), A(0), A(0)), NO_STORE), C(CopyToStore(A(0), A(0), A32(3), A(0), A(0)), BAD_RECORD),
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.expected) << c.label;
    EXPECT_EQ(State(), before);
    EXPECT_FALSE(SlotInUse(6));
}

}  // namespace
}  // namespace koru_test
