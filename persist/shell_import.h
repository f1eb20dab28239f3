// Importing a trained three-layer backpropagation net from a shell file.
#pragma once

#include <cstdint>

namespace koru {

// Makes slabs 0..2 and links 0..1 of the existing backpropagation net `net`
// from the shell file `name`. The links are made as MakeLink makes them, with
// the process-wide `weightRange` (their random weights are then replaced by
// the file's; the adaptive rule keeps its first step sizes, a quarter of the
// range). 0, 1, 3, 5, 8, 14, 16 or 25.
int16_t ImportShell(int16_t net, const char* name, double weightRange);

}  // namespace koru
