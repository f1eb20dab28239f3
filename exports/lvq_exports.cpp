// Learning vector quantisation: scoring, winner and neighbourhood training.
#include <cmath>

#include "core/engine.h"
#include "lvq/lvq.h"

using namespace koru;

extern "C" {

int16_t KORU32_CALL LvqPropagate(const int16_t* net, const int16_t* slab) {
    SlabLookup found;
    if (int16_t code = FindSlab(*net, *slab, found)) return code;
    if (found.net->paradigm != KORU32_PARADIGM_LVQ) return KORU32_ERR_WRONG_PARADIGM;
    if (found.slab->inCount == 0) return KORU32_ERR_NO_INCOMING_LINKS;
    ScoreUnits(*found.slab, found.net->variant, found.net->format);
    return KORU32_OK;
}

int16_t KORU32_CALL LvqEvaluate(const int16_t* net, const int16_t* slab, uint16_t* winner, const uint16_t* flag) {
    SlabLookup found;
    if (int16_t code = FindSlab(*net, *slab, found)) return code;
    // The kind is tested before the paradigm: a slab that is not an output
    // slab gives 18 in a net of any paradigm.
    if (found.slab->kind != KORU32_SLAB_OUTPUT) return KORU32_ERR_NOT_OUTPUT_SLAB;
    if (found.net->paradigm != KORU32_PARADIGM_LVQ) return KORU32_ERR_WRONG_PARADIGM;
    const uint16_t best = PickWinner(*found.slab, found.net->variant, found.net->format, *flag != 0);
    *winner = static_cast<uint16_t>(best + 1);
    return KORU32_OK;
}

int16_t KORU32_CALL LvqTrain(const int16_t* net, const int16_t* slab, const float* rate, const int16_t* radius,
                             const uint16_t* width) {
    SlabLookup found;
    if (int16_t code = FindSlab(*net, *slab, found)) return code;
    if (found.net->paradigm != KORU32_PARADIGM_LVQ) return KORU32_ERR_WRONG_PARADIGM;
    if (*radius < 0) return KORU32_ERR_NEGATIVE_RADIUS;
    // A NaN or infinite rate would move the weights to NaN (in 8.24 it would
    // count as 0). The export's own code for an unusable argument serves.
    // Any finite rate is taken, a negative one included.
    if (!std::isfinite(*rate)) return KORU32_ERR_NEGATIVE_RADIUS;
    // The width travels as an unsigned number but counts as a signed one:
    // 65535 is -1, an unusable width that lays the units out in one row.
    TrainNeighbourhoods(*found.slab, *rate, *radius, static_cast<int16_t>(*width), found.net->format);
    return KORU32_OK;
}

}  // extern "C"
