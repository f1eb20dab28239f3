// The codes each export may answer, as its declaration in koru32.h lists
// them. Anything else is a finding. Each list is checked, as it is compiled,
// against the library's table of result codes, so that a list can name only
// codes that exist.
#pragma once

#include <koru32.h>

#include <cstdint>
#include <initializer_list>

namespace koru_fuzz::codes {

using List = std::initializer_list<int16_t>;

// Whether `code` is an entry of the result-code table.
constexpr bool InResultTable(int16_t code) {
#define KORU_FUZZ_IS_CODE(name, value, text) \
    if (code == (value)) return true;
    KORU32_RESULT_CODES(KORU_FUZZ_IS_CODE)
#undef KORU_FUZZ_IS_CODE
    return false;
}

constexpr bool AllInResultTable(List list) {
    for (int16_t code : list) {
        if (!InResultTable(code)) return false;
    }
    return true;
}

// KORU_FUZZ_CODES(Name, codes...): the list `Name`, checked against the table.
#define KORU_FUZZ_CODES(list, ...)            \
    inline constexpr List list = {__VA_ARGS__}; \
    static_assert(AllInResultTable(list), #list " names a code that is not in koru32_result_codes.h")

KORU_FUZZ_CODES(MakeNet, 0, 1, 2, 3, 4);
KORU_FUZZ_CODES(KillNet, 0, 3, 5);
KORU_FUZZ_CODES(GetNextNet, 0, 4);
KORU_FUZZ_CODES(SetMath, 0, 22);
KORU_FUZZ_CODES(SetCPU, 42);
KORU_FUZZ_CODES(SetSeed, 0);

KORU_FUZZ_CODES(MakeSlab, 0, 1, 3, 5, 6, 7, 8, 10);
KORU_FUZZ_CODES(KillSlab, 0, 3, 5, 7, 9, 11);
KORU_FUZZ_CODES(SlabValues, 0, 3, 5, 7, 9);  // PutSlab, GetSlab, the integer forms, SetSlab, SlideSlab
KORU_FUZZ_CODES(CopySlab, 0, 3, 5, 7, 9);
KORU_FUZZ_CODES(Neuron, 0, 3, 5, 7, 9, 24);
KORU_FUZZ_CODES(Transfer, 0, 3, 5, 7, 9, 16, 43);
KORU_FUZZ_CODES(Delta, 0, 3, 5, 7, 9, 16, 24);
KORU_FUZZ_CODES(Counts, 0, 3, 5, 7, 9, 16);

KORU_FUZZ_CODES(MakeLink, 0, 1, 3, 5, 7, 9, 12, 13, 14, 44);
KORU_FUZZ_CODES(LinkWhole, 0, 3, 5, 12, 15);  // KillLink, GetLink, PutLink
KORU_FUZZ_CODES(InitLink, 0, 3, 5, 12, 15, 44);
KORU_FUZZ_CODES(Weight, 0, 3, 5, 12, 15, 19, 20);
KORU_FUZZ_CODES(Change, 0, 3, 5, 12, 15, 16, 19, 20);
KORU_FUZZ_CODES(LinkChanges, 0, 3, 5, 12, 15, 16);
KORU_FUZZ_CODES(SetStatus, 0, 3, 5, 12, 15, 16, 43);

KORU_FUZZ_CODES(MakeStore, 0, 1, 3, 5, 10, 33, 34, 35);
KORU_FUZZ_CODES(KillStore, 0, 3, 5, 33, 36);
KORU_FUZZ_CODES(StoreRecord, 0, 3, 5, 33, 36, 37);  // GetStore, PutStore
KORU_FUZZ_CODES(StoreSlab, 0, 3, 5, 7, 9, 33, 36, 37);  // CopyToStore, CopyFromStore

KORU_FUZZ_CODES(BpPropagate, 0, 3, 5, 7, 9, 16, 17);
KORU_FUZZ_CODES(BpEvaluate, 0, 3, 5, 7, 9, 16, 18);  // also the Sum, GetSum and Integer forms
KORU_FUZZ_CODES(BpEvaluateStore, 0, 3, 5, 7, 9, 16, 18, 33, 36, 37);
KORU_FUZZ_CODES(AddSlab, 0, 3, 5, 7, 9);
KORU_FUZZ_CODES(BpTrain, 0, 3, 5, 7, 9, 16, 44);

KORU_FUZZ_CODES(PatternPropagate, 0, 3, 5, 7, 9, 16, 17, 32);
KORU_FUZZ_CODES(GrnnPropagate, 0, 3, 5, 7, 9, 16, 17, 32, 38);
KORU_FUZZ_CODES(PatternEvaluate, 0, 3, 5, 7, 9, 16, 17, 18, 31);
KORU_FUZZ_CODES(PatternTrain, 0, 3, 5, 7, 9, 16, 31);

KORU_FUZZ_CODES(LvqPropagate, 0, 3, 5, 7, 9, 16, 17);
KORU_FUZZ_CODES(LvqEvaluate, 0, 3, 5, 7, 9, 16, 18);
KORU_FUZZ_CODES(LvqTrain, 0, 3, 5, 7, 9, 16, 23);

KORU_FUZZ_CODES(SaveNet, 0, 3, 5, 40);
// RestoreNet: its own codes and those of MakeNet, MakeSlab, Transfer and MakeLink.
KORU_FUZZ_CODES(RestoreNet, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 13, 14, 16, 41, 43);
KORU_FUZZ_CODES(LoadShell, 0, 1, 3, 5, 8, 14, 16, 25);

#undef KORU_FUZZ_CODES

}  // namespace koru_fuzz::codes
