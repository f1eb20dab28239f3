/* A C program that calls KORU32.DLL as any Windows C caller does: the
 * public header, the import library, standard calls. It prints how many
 * calls returned what they should and exits with 1 at the first that does
 * not. It is built both in strict C and with the compiler's extensions, and
 * includes the runtime's <math.h> first, as callers do, so the header must
 * agree with the runtime's declarations in both modes. */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include "koru32.h"

static int calls = 0;

static void Expect(const char* what, int got, int wanted) {
    ++calls;
    if (got != wanted) {
        printf("c_caller: %s returned %d, not %d\n", what, got, wanted);
        fflush(stdout);
        exit(1);
    }
}

int main(void) {
    const int16_t net = 5, input = 0, output = 1, link = 0;
    const int16_t two = 2, three = 3, inputKind = KORU32_SLAB_INPUT, hiddenKind = KORU32_SLAB_HIDDEN;
    const int16_t badNet = 128, seed = 7;
    const uint16_t type = KORU32_NET_BP_PLAIN;
    const float range = 1.0f;
    const float values[2] = {0.25f, -0.5f};
    float readBack[2] = {0.0f, 0.0f};
    float weights[(2 + 1) * 3];
    float again[(2 + 1) * 3];
    int i;

    Expect("MakeNet", MakeNet(&net, &type), KORU32_OK);
    Expect("MakeNet on a net in use", MakeNet(&net, &type), KORU32_ERR_NET_IN_USE);
    Expect("KillNet of net 128", KillNet(&badNet), KORU32_ERR_BAD_NET_NUMBER);
    Expect("MakeSlab 0", MakeSlab(&net, &input, &two, &inputKind), KORU32_OK);
    Expect("MakeSlab 1", MakeSlab(&net, &output, &three, &hiddenKind), KORU32_OK);
    Expect("PutSlab", PutSlab(&net, &input, values), KORU32_OK);
    Expect("GetSlab", GetSlab(&net, &input, readBack), KORU32_OK);
    Expect("the first value read back", readBack[0] == values[0], 1);
    Expect("the second value read back", readBack[1] == values[1], 1);

    /* The same seed gives the same weights. */
    Expect("SetSeed", SetSeed(&seed), KORU32_OK);
    Expect("MakeLink", MakeLink(&net, &link, &range, &input, &output), KORU32_OK);
    Expect("GetLink", GetLink(&net, &link, weights), KORU32_OK);
    Expect("SetSeed again", SetSeed(&seed), KORU32_OK);
    Expect("InitLink", InitLink(&net, &link, &range), KORU32_OK);
    Expect("GetLink again", GetLink(&net, &link, again), KORU32_OK);
    for (i = 0; i < (2 + 1) * 3; ++i) {
        Expect("a weight within the range", weights[i] >= -range && weights[i] <= range, 1);
        Expect("a weight drawn again from the same seed", weights[i] == again[i], 1);
    }

    Expect("SetCPU", SetCPU(&three), KORU32_ERR_NO_CPU_SELECTION);
    Expect("WEP", (int)WEP(0), 1);
    Expect("KillNet", KillNet(&net), KORU32_OK);
    Expect("KillNet again", KillNet(&net), KORU32_ERR_NET_NOT_IN_USE);

    printf("c_caller: %d calls returned as expected\n", calls);
    return 0;
}
