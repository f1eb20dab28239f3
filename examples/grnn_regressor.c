/*
 * grnn_regressor.c - a general regression net (GRNN) that learns y = sin(x)
 * on [0, 3] from 31 samples and estimates it between them: each estimate is
 * the kernel-weighted average of the stored targets.
 *
 * Exits 0 when every estimate is within 0.05 of the true value.
 */
#include <koru32.h>

#include <math.h>
#include <stdio.h>

#define CHECK(call)                                                      \
    do {                                                                 \
        int16_t code_ = (call);                                          \
        if (code_ != KORU32_OK) {                                        \
            fprintf(stderr, "%s failed with code %d\n", #call, code_);   \
            return 1;                                                    \
        }                                                                \
    } while (0)

enum { SAMPLES = 31 };

int main(void) {
    const int16_t net = 2;
    const uint16_t type = KORU32_NET_GRNN_DISTANCE;
    const int16_t input = 0, pattern = 1, output = 2;
    const int16_t one = 1, units = SAMPLES;
    const int16_t inputKind = KORU32_SLAB_INPUT, patternKind = KORU32_SLAB_HIDDEN, outputKind = KORU32_SLAB_OUTPUT;
    const int16_t toPatterns = 0, toOutputs = 1;
    const float zero = 0.0f;

    CHECK(MakeNet(&net, &type));
    CHECK(MakeSlab(&net, &input, &one, &inputKind));
    CHECK(MakeSlab(&net, &pattern, &units, &patternKind));
    CHECK(MakeSlab(&net, &output, &one, &outputKind));
    CHECK(MakeLink(&net, &toPatterns, &zero, &input, &pattern));
    CHECK(MakeLink(&net, &toOutputs, &zero, &pattern, &output));

    /* One pass: present the target on a new unit, store input and target. */
    const int16_t newUnit = 0;
    for (int i = 0; i < SAMPLES; ++i) {
        float x = 0.1f * (float)i;
        float y = (float)sin(x);
        CHECK(PutSlab(&net, &input, &x));
        CHECK(GrnnEvaluate(&net, &output, &y, &newUnit));
        CHECK(GrnnTrain(&net, &input, &newUnit));
        CHECK(GrnnTrain(&net, &pattern, &newUnit));
    }

    /* Estimates halfway between the samples: the pattern slab first (it
     * forms the denominator), then the output slab. */
    const float sigma = 0.08f;
    double worst = 0.0;
    for (int i = 0; i < 10; ++i) {
        float x = 0.25f + 0.25f * (float)i;
        float estimate;
        CHECK(PutSlab(&net, &input, &x));
        CHECK(GrnnPropagate(&net, &pattern, &sigma));
        CHECK(GrnnPropagate(&net, &output, &sigma));
        CHECK(GetSlab(&net, &output, &estimate));
        double error = fabs(estimate - sin(x));
        if (error > worst) worst = error;
        printf("sin(%.2f) = %.4f, estimate %.4f\n", x, sin(x), estimate);
    }
    CHECK(KillNet(&net));
    printf("%s: largest error %.4f\n", worst < 0.05 ? "ok" : "FAILED", worst);
    return worst < 0.05 ? 0 : 1;
}
