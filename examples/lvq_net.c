/*
 * lvq_net.c - learning vector quantisation: four units, two per class, learn
 * where the points of two classes lie. The engine knows no classes: the
 * caller keeps each unit's class, finds the winning unit of each point, and
 * trains with a positive rate when the winner's class is right (the winner
 * moves toward the point) and a negative rate when it is wrong (it moves away).
 *
 * Exits 0 when every training point's winner is of the point's class.
 */
#include <koru32.h>

#include <stdio.h>

#define CHECK(call)                                                      \
    do {                                                                 \
        int16_t code_ = (call);                                          \
        if (code_ != KORU32_OK) {                                        \
            fprintf(stderr, "%s failed with code %d\n", #call, code_);   \
            return 1;                                                    \
        }                                                                \
    } while (0)

enum { POINTS = 8, UNITS = 4 };

static const float points[POINTS][2] = {
    {0.1f, 0.1f}, {0.2f, 0.15f}, {0.9f, 0.2f}, {0.8f, 0.1f},    /* class 0: the bottom corners */
    {0.1f, 0.9f}, {0.2f, 0.8f}, {0.9f, 0.85f}, {0.85f, 0.9f}};  /* class 1: the top corners */
static const int classes[POINTS] = {0, 0, 0, 0, 1, 1, 1, 1};
static const int unitClass[UNITS] = {0, 0, 1, 1};

int main(void) {
    const int16_t net = 3;
    const uint16_t type = KORU32_NET_LVQ_DISTANCE;
    const int16_t input = 0, units = 1, link = 0;
    const int16_t two = 2, unitCount = UNITS;
    const int16_t inputKind = KORU32_SLAB_INPUT, outputKind = KORU32_SLAB_OUTPUT;
    const int16_t seed = 3;
    const float range = 0.5f;

    CHECK(SetSeed(&seed));
    CHECK(MakeNet(&net, &type));
    CHECK(MakeSlab(&net, &input, &two, &inputKind));
    CHECK(MakeSlab(&net, &units, &unitCount, &outputKind));
    CHECK(MakeLink(&net, &link, &range, &input, &units));

    /* Start every unit in the middle; training spreads them out. Weights
     * are stored input by input: element (i, j) belongs to input i, unit j. */
    float weights[2 * UNITS];
    for (int i = 0; i < 2 * UNITS; ++i) weights[i] = 0.5f + 0.01f * (float)(i % UNITS);
    CHECK(PutLink(&net, &link, weights));

    const int16_t radius = 0;     /* only the winner moves */
    const uint16_t width = 0;     /* the units in one row */
    const uint16_t keepScores = 0;
    for (int epoch = 0; epoch < 100; ++epoch) {
        float rate = 0.3f * (1.0f - (float)epoch / 100.0f);
        for (int p = 0; p < POINTS; ++p) {
            uint16_t winner;
            CHECK(PutSlab(&net, &input, points[p]));
            CHECK(LvqPropagate(&net, &units));
            CHECK(LvqEvaluate(&net, &units, &winner, &keepScores));
            float signedRate = unitClass[winner - 1] == classes[p] ? rate : -rate;
            CHECK(LvqTrain(&net, &input, &signedRate, &radius, &width));
        }
    }

    int failures = 0;
    for (int p = 0; p < POINTS; ++p) {
        uint16_t winner;
        CHECK(PutSlab(&net, &input, points[p]));
        CHECK(LvqPropagate(&net, &units));
        CHECK(LvqEvaluate(&net, &units, &winner, &keepScores));
        printf("(%.2f, %.2f): unit %u, class %d\n", points[p][0], points[p][1], winner, unitClass[winner - 1]);
        failures += unitClass[winner - 1] != classes[p];
    }
    CHECK(GetLink(&net, &link, weights));
    for (int j = 0; j < UNITS; ++j) {
        printf("unit %d (class %d) at (%.3f, %.3f)\n", j + 1, unitClass[j], weights[j], weights[UNITS + j]);
    }
    CHECK(KillNet(&net));
    printf("%s\n", failures ? "FAILED" : "ok: every point won by a unit of its class");
    return failures ? 1 : 0;
}
