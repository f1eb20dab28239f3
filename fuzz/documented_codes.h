// The codes each export may answer, as its declaration in koru32.h lists
// them. Anything else is a finding.
#pragma once

#include <koru32.h>

#include <cstdint>
#include <initializer_list>

namespace koru_fuzz::codes {

using List = std::initializer_list<int16_t>;

inline constexpr List MakeNet = {0, 1, 2, 3, 4};
inline constexpr List KillNet = {0, 3, 5};
inline constexpr List GetNextNet = {0, 4};
inline constexpr List SetMath = {0, 22};
inline constexpr List SetCPU = {42};
inline constexpr List SetSeed = {0};
inline constexpr List MakeSlab = {0, 1, 3, 5, 6, 7, 8, 10};
inline constexpr List KillSlab = {0, 3, 5, 7, 9, 11};
inline constexpr List SlabValues = {0, 3, 5, 7, 9};  // PutSlab, GetSlab, the integer forms, SetSlab, SlideSlab
inline constexpr List CopySlab = {0, 3, 5, 7, 9};
inline constexpr List Neuron = {0, 3, 5, 7, 9, 24};
inline constexpr List Transfer = {0, 3, 5, 7, 9, 16, 43};
inline constexpr List Delta = {0, 3, 5, 7, 9, 16, 24};
inline constexpr List Counts = {0, 3, 5, 7, 9, 16};
inline constexpr List MakeLink = {0, 1, 3, 5, 7, 9, 12, 13, 14, 44};
inline constexpr List LinkWhole = {0, 3, 5, 12, 15};  // KillLink, GetLink, PutLink
inline constexpr List InitLink = {0, 3, 5, 12, 15, 44};
inline constexpr List Weight = {0, 3, 5, 12, 15, 19, 20};
inline constexpr List Change = {0, 3, 5, 12, 15, 16, 19, 20};
inline constexpr List LinkChanges = {0, 3, 5, 12, 15, 16};
inline constexpr List SetStatus = {0, 3, 5, 12, 15, 16, 43};
inline constexpr List MakeStore = {0, 1, 3, 5, 10, 33, 34, 35};
inline constexpr List KillStore = {0, 3, 5, 33, 36};
inline constexpr List StoreRecord = {0, 3, 5, 33, 36, 37};  // GetStore, PutStore
inline constexpr List StoreSlab = {0, 3, 5, 7, 9, 33, 36, 37};  // CopyToStore, CopyFromStore
inline constexpr List BpPropagate = {0, 3, 5, 7, 9, 16, 17};
inline constexpr List BpEvaluate = {0, 3, 5, 7, 9, 16, 18};  // also the Sum, GetSum and Integer forms
inline constexpr List BpEvaluateStore = {0, 3, 5, 7, 9, 16, 18, 33, 36, 37};
inline constexpr List AddSlab = {0, 3, 5, 7, 9};
inline constexpr List BpTrain = {0, 3, 5, 7, 9, 16, 44};
inline constexpr List PatternPropagate = {0, 3, 5, 7, 9, 16, 17, 32};
inline constexpr List GrnnPropagate = {0, 3, 5, 7, 9, 16, 17, 32, 38};
inline constexpr List PatternEvaluate = {0, 3, 5, 7, 9, 16, 17, 18, 31};
inline constexpr List PatternTrain = {0, 3, 5, 7, 9, 16, 31};
inline constexpr List LvqPropagate = {0, 3, 5, 7, 9, 16, 17};
inline constexpr List LvqEvaluate = {0, 3, 5, 7, 9, 16, 18};
inline constexpr List LvqTrain = {0, 3, 5, 7, 9, 16, 23};
inline constexpr List SaveNet = {0, 3, 5, 40};
// RestoreNet: its own codes and those of MakeNet, MakeSlab, Transfer and MakeLink.
inline constexpr List RestoreNet = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 13, 14, 16, 41, 43};
inline constexpr List LoadShell = {0, 1, 3, 5, 8, 14, 16, 25};

}  // namespace koru_fuzz::codes
