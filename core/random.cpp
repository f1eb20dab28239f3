#include "core/random.h"

namespace koru {

namespace {

uint32_t randomState = 1;  // the runtime's default seed

}  // namespace

void SeedRandom(uint32_t seed) { randomState = seed; }

int NextRandom() {
    randomState = randomState * 214013u + 2531011u;
    return static_cast<int>((randomState >> 16) & 0x7FFF);
}

}  // namespace koru
