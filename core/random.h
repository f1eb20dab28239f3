// The engine's own pseudo-random generator, so that a seed gives the same
// weights on every platform and compiler: the linear congruential generator of
// the Windows C runtime, values 0..32767.
#pragma once

#include <cstdint>

namespace koru {

void SeedRandom(uint32_t seed);
int NextRandom();

}  // namespace koru
