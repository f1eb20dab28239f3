/*
 * backprop_run.c - the typical backpropagation run: a 2-4-1 net learns the
 * exclusive-or, pattern by pattern, then is saved, killed and restored, and
 * the restored net answers exactly as the trained one did.
 *
 * Usage: koru_example_backprop_run [FILE.net]   (default: xor.net)
 * Exits 0 when every answer is on the right side of 0.5.
 */
#include <koru32.h>

#include <stdio.h>

/* Stops the program with a message when a call does not return KORU32_OK. */
#define CHECK(call)                                                      \
    do {                                                                 \
        int16_t code_ = (call);                                          \
        if (code_ != KORU32_OK) {                                        \
            fprintf(stderr, "%s failed with code %d\n", #call, code_);   \
            return 1;                                                    \
        }                                                                \
    } while (0)

static const float inputs[4][2] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}};
static const float targets[4] = {0, 1, 1, 0};

/* Recall: put the pattern into slab 0, propagate slabs 1 and 2 in order,
 * read slab 2. */
static int recall(int16_t net, int pattern, float* output) {
    const int16_t input = 0, hidden = 1, out = 2;
    CHECK(PutSlab(&net, &input, inputs[pattern]));
    CHECK(BpPropagate(&net, &hidden));
    CHECK(BpPropagate(&net, &out));
    CHECK(GetSlab(&net, &out, output));
    return 0;
}

int main(int argc, char** argv) {
    const char* file = argc > 1 ? argv[1] : "xor.net";
    const int16_t net = 0;
    const int16_t input = 0, hidden = 1, output = 2;
    const int16_t two = 2, four = 4, one = 1;
    const int16_t inputKind = KORU32_SLAB_INPUT, hiddenKind = KORU32_SLAB_HIDDEN, outputKind = KORU32_SLAB_OUTPUT;
    const int16_t toHidden = 0, toOutput = 1;
    const int16_t logistic = KORU32_TRANSFER_LOGISTIC;
    const uint16_t type = KORU32_NET_BP_MOMENTUM;
    const uint16_t floats = KORU32_MATH_FLOAT;
    const int16_t seed = 7;
    const float range = 1.0f;

    /* 1. The net: three slabs, two links with random weights in +-1, and
     *    the logistic transfer function on the computed slabs. */
    CHECK(SetMath(&floats));
    CHECK(SetSeed(&seed));
    CHECK(MakeNet(&net, &type));
    CHECK(MakeSlab(&net, &input, &two, &inputKind));
    CHECK(MakeSlab(&net, &hidden, &four, &hiddenKind));
    CHECK(MakeSlab(&net, &output, &one, &outputKind));
    CHECK(MakeLink(&net, &toHidden, &range, &input, &hidden));
    CHECK(MakeLink(&net, &toOutput, &range, &hidden, &output));
    CHECK(Transfer(&net, &hidden, &logistic));
    CHECK(Transfer(&net, &output, &logistic));

    /* 2. Training, pattern by pattern: forward pass, evaluation against the
     *    target (which leaves the output deltas), then BpTrain from the
     *    hidden slab back to the input slab. */
    const float rate = 0.5f, momentum = 0.9f;
    const uint16_t apply = 0; /* only the batch rules use it */
    float epochError = 0.0f;
    for (int epoch = 1; epoch <= 3000; ++epoch) {
        epochError = 0.0f;
        for (int p = 0; p < 4; ++p) {
            float sum, ignored;
            if (recall(net, p, &ignored) != 0) return 1;
            CHECK(BpEvaluate(&net, &output, &targets[p], &sum));
            CHECK(BpTrain(&net, &hidden, &rate, &momentum, &apply));
            CHECK(BpTrain(&net, &input, &rate, &momentum, &apply));
            epochError += sum;
        }
        if (epoch % 1000 == 0) {
            printf("epoch %4d: squared error %.6f\n", epoch, epochError);
        }
    }

    /* 3. Recall. */
    float trained[4];
    for (int p = 0; p < 4; ++p) {
        if (recall(net, p, &trained[p]) != 0) return 1;
        printf("%g xor %g -> %.4f\n", inputs[p][0], inputs[p][1], trained[p]);
    }

    /* 4. Save, release, and restore into a free slot. */
    const int32_t noBytes = 0;
    CHECK(SaveNet(&net, file, &noBytes, NULL));
    CHECK(KillNet(&net));
    uint16_t slot = 0;
    CHECK(GetNextNet(&slot));
    const int16_t restored = (int16_t)slot;
    CHECK(RestoreNet(&restored, file, &noBytes, NULL));

    int failures = 0;
    for (int p = 0; p < 4; ++p) {
        float again;
        if (recall(restored, p, &again) != 0) return 1;
        if (again != trained[p]) {
            printf("pattern %d: the restored net answers %.9g, the trained one %.9g\n", p, again, trained[p]);
            ++failures;
        }
        if ((again > 0.5f) != (targets[p] > 0.5f)) {
            ++failures;
        }
    }
    CHECK(KillNet(&restored));
    printf("%s: saved to %s and restored; %s\n", failures ? "FAILED" : "ok", file,
           failures ? "wrong answers" : "every answer right and identical");
    return failures ? 1 : 0;
}
