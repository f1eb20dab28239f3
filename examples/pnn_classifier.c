/*
 * pnn_classifier.c - a probabilistic net (PNN) that tells two kinds of
 * points apart: each training point is stored whole in one pattern unit with
 * its class, and a new point goes to the class whose stored points lie
 * nearest, weighed by a Gaussian kernel of width sigma.
 *
 * Exits 0 when every test point is classified right.
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

enum { TRAINING = 8, CLASSES = 2 };

/* Two clouds of points: class 0 around (0.2, 0.2), class 1 around (0.8, 0.7). */
static const float points[TRAINING][2] = {
    {0.10f, 0.20f}, {0.25f, 0.15f}, {0.20f, 0.30f}, {0.30f, 0.25f},
    {0.75f, 0.70f}, {0.85f, 0.65f}, {0.80f, 0.80f}, {0.70f, 0.75f}};
static const int classes[TRAINING] = {0, 0, 0, 0, 1, 1, 1, 1};

static const float tests[4][2] = {{0.15f, 0.25f}, {0.35f, 0.30f}, {0.90f, 0.75f}, {0.65f, 0.60f}};
static const int expected[4] = {0, 0, 1, 1};

int main(void) {
    const int16_t net = 1;
    const uint16_t type = KORU32_NET_PNN_DISTANCE;
    const int16_t input = 0, pattern = 1, output = 2;
    const int16_t two = 2, units = TRAINING, classCount = CLASSES;
    const int16_t inputKind = KORU32_SLAB_INPUT, patternKind = KORU32_SLAB_HIDDEN, outputKind = KORU32_SLAB_OUTPUT;
    const int16_t toPatterns = 0, toClasses = 1;
    const float zero = 0.0f;

    /* The three slabs: inputs, one pattern unit per training point, one
     * output per class; the links start with zero weights. */
    CHECK(MakeNet(&net, &type));
    CHECK(MakeSlab(&net, &input, &two, &inputKind));
    CHECK(MakeSlab(&net, &pattern, &units, &patternKind));
    CHECK(MakeSlab(&net, &output, &classCount, &outputKind));
    CHECK(MakeLink(&net, &toPatterns, &zero, &input, &pattern));
    CHECK(MakeLink(&net, &toClasses, &zero, &pattern, &output));

    /* Training is one pass: present the class vector on a new unit
     * (pattern 0), then store the input and the class vector in it. */
    const int16_t newUnit = 0;
    for (int p = 0; p < TRAINING; ++p) {
        float classVector[CLASSES] = {0.0f, 0.0f};
        classVector[classes[p]] = 1.0f;
        CHECK(PutSlab(&net, &input, points[p]));
        CHECK(PnnEvaluate(&net, &output, classVector, &newUnit));
        CHECK(PnnTrain(&net, &input, &newUnit));
        CHECK(PnnTrain(&net, &pattern, &newUnit));
    }

    /* Classification: propagate the pattern slab, then the output slab, with
     * the same smoothing factor; the highest class score wins. */
    const float sigma = 0.15f;
    int failures = 0;
    for (int t = 0; t < 4; ++t) {
        float scores[CLASSES];
        CHECK(PutSlab(&net, &input, tests[t]));
        CHECK(PnnPropagate(&net, &pattern, &sigma));
        CHECK(PnnPropagate(&net, &output, &sigma));
        CHECK(GetSlab(&net, &output, scores));
        int winner = scores[1] > scores[0] ? 1 : 0;
        printf("(%.2f, %.2f): scores %.4f %.4f -> class %d\n", tests[t][0], tests[t][1], scores[0], scores[1],
               winner);
        failures += winner != expected[t];
    }
    CHECK(KillNet(&net));
    printf("%s\n", failures ? "FAILED" : "ok: every test point in its class");
    return failures ? 1 : 0;
}
