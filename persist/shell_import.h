// Importing a trained three-layer backpropagation net from a shell file.
#pragma once

#include <cstdint>

namespace koru {

// Makes slabs 0..2 and links 0..1 of the existing backpropagation net `net`
// from the shell file `name`. 0, 1, 3, 5, 8, 14, 16 or 25.
int16_t ImportShell(int16_t net, const char* name);

}  // namespace koru
