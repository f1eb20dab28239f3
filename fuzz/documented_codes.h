// The codes of exports that more than one check calls, as their
// declarations in koru32.h list them.
#pragma once

#include <koru32.h>

#include "fuzz/checks.h"

namespace koru_fuzz::codes {

inline constexpr uint64_t MakeSlab = Codes({0, 1, 3, 5, 6, 7, 8, 10});
inline constexpr uint64_t Transfer = Codes({0, 3, 5, 7, 9, 16, 43});
inline constexpr uint64_t MakeLink = Codes({0, 1, 3, 5, 7, 9, 12, 13, 14, 44});
// RestoreNet: its own codes and those of MakeNet, MakeSlab, Transfer and MakeLink.
inline constexpr uint64_t RestoreNet = Codes({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 13, 14, 16, 41, 43});
inline constexpr uint64_t LoadShell = Codes({0, 1, 3, 5, 8, 14, 16, 25});

}  // namespace koru_fuzz::codes
