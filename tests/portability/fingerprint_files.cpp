// The network file's sections: the bytes SaveNet writes for a net with
// random weights (in 32-bit float and in 8.24 fixed point, with bytes of the
// caller's own after it), and the weights RestoreNet rebuilds from them.
#include <cstdio>

#include "fingerprint.h"

namespace fingerprint {

namespace {

const char kFileName[] = "fingerprint.net";

void AddFileBytes(Digest& digest) {
    std::FILE* file = std::fopen(kFileName, "rb");
    if (file == nullptr) {
        digest.Add(int16_t{-1});
        return;
    }
    unsigned char buffer[4096];
    size_t read;
    while ((read = std::fread(buffer, 1, sizeof buffer, file)) > 0) digest.AddBytes(buffer, read);
    std::fclose(file);
}

uint64_t SavedAndRestored(uint16_t mode) {
    Digest digest;
    UseMath(mode);
    const uint16_t type = KORU32_NET_BP_MOMENTUM;
    const int16_t input = 0, hidden = 1, output = 2, three = 3, four = 4, two = 2, seed = 3;
    const int16_t inputKind = KORU32_SLAB_INPUT, hiddenKind = KORU32_SLAB_HIDDEN, outputKind = KORU32_SLAB_OUTPUT;
    const int16_t first = 0, second = 1, tanh = KORU32_TRANSFER_TANH;
    const float range = 0.75f, values[3] = {0.25f, -0.5f, 1.0f};
    digest.Add(MakeNet(&kNet, &type));
    digest.Add(MakeSlab(&kNet, &input, &three, &inputKind));
    digest.Add(MakeSlab(&kNet, &hidden, &four, &hiddenKind));
    digest.Add(MakeSlab(&kNet, &output, &two, &outputKind));
    digest.Add(SetSeed(&seed));
    digest.Add(MakeLink(&kNet, &first, &range, &input, &hidden));
    digest.Add(MakeLink(&kNet, &second, &range, &hidden, &output));
    digest.Add(Transfer(&kNet, &hidden, &tanh));
    digest.Add(PutSlab(&kNet, &input, values));

    char userBytes[5] = {'k', 'o', 'r', 'u', '!'};
    const int32_t length = sizeof userBytes;
    digest.Add(SaveNet(&kNet, kFileName, &length, userBytes));
    AddFileBytes(digest);
    KillTheNet();

    char readBack[5] = {};
    digest.Add(RestoreNet(&kNet, kFileName, &length, readBack));
    digest.AddBytes(readBack, sizeof readBack);
    // Room for every weight of each link, bias rows included.
    std::vector<float> weights(64), slabValues(3);
    digest.Add(GetLink(&kNet, &first, weights.data()));
    digest.Add(weights);
    digest.Add(GetLink(&kNet, &second, weights.data()));
    digest.Add(weights);
    digest.Add(GetSlab(&kNet, &input, slabValues.data()));
    digest.Add(slabValues);
    KillTheNet();
    std::remove(kFileName);
    return digest.Value();
}

uint64_t FloatFile() { return SavedAndRestored(KORU32_MATH_FLOAT); }
uint64_t FixedFile() { return SavedAndRestored(KORU32_MATH_FIXED); }

}  // namespace

void AddFileSections(std::vector<Section>& sections) {
    sections.insert(sections.end(), {
        {"float-network-file", FloatFile},
        {"fixed-network-file", FixedFile},
    });
}

}  // namespace fingerprint
