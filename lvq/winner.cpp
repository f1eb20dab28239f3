// Picking the winning unit of a competitive slab.
#include <algorithm>

#include "core/fixed_point.h"
#include "lvq/lvq.h"

namespace koru {

namespace {

// The first unit with the best value: a later unit wins only when it is
// strictly better, so a tie keeps the lower-numbered unit. Floats compare as
// floats (a NaN never wins against an earlier unit), 8.24 values as signed
// integers.
template <typename Element>
uint16_t FindBest(const Element* values, uint32_t units, bool largestWins) {
    Element best = values[0];
    uint32_t winner = 0;
    for (uint32_t k = 1; k < units; ++k) {
        const bool better = largestWins ? best < values[k] : best > values[k];
        if (better) {
            best = values[k];
            winner = k;
        }
    }
    return static_cast<uint16_t>(winner);
}

template <typename Element>
void WriteWinnerCode(Element* values, uint32_t units, uint16_t winner, Element one) {
    std::fill(values, values + units, Element{0});
    values[winner] = one;
}

}  // namespace

uint16_t PickWinner(SlabRecord& output, uint16_t variant, uint16_t format, bool oneHot) {
    ValueArray& values = *output.values;
    const bool largestWins = variant == kLvqDot;
    uint16_t winner;
    if (format == kFloat32) {
        winner = FindBest(values.Floats(), values.count, largestWins);
        if (oneHot) WriteWinnerCode(values.Floats(), values.count, winner, 1.0f);
    } else {
        winner = FindBest(values.Fixed(), values.count, largestWins);
        if (oneHot) WriteWinnerCode(values.Fixed(), values.count, winner, kFixedOneBits);
    }
    output.winner = winner;
    return winner;
}

}  // namespace koru
