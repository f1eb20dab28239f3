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
    if (file == nullptr) return digest.Add(int16_t{-1});
    unsigned char buffer[4096];
    for (size_t read; (read = std::fread(buffer, 1, sizeof buffer, file)) > 0;) digest.AddBytes(buffer, read);
    std::fclose(file);
}

uint64_t SavedAndRestored(uint16_t mode) {
    Digest digest;
    UseMath(mode);
    const int16_t input = 0, hidden = 1, output = 2, first = 0, second = 1, tanh = KORU32_TRANSFER_TANH;
    const float values[3] = {0.25f, -0.5f, 1.0f};
    AddMakeNet(digest, KORU32_NET_BP_MOMENTUM);
    AddMakeSlab(digest, input, 3, KORU32_SLAB_INPUT);
    AddMakeSlab(digest, hidden, 4, KORU32_SLAB_HIDDEN);
    AddMakeSlab(digest, output, 2, KORU32_SLAB_OUTPUT);
    AddSetSeed(digest, 3);
    AddMakeLink(digest, first, 0.75f, input, hidden);
    AddMakeLink(digest, second, 0.75f, hidden, output);
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
    AddLinkWeights(digest, first, weights);
    AddLinkWeights(digest, second, weights);
    AddSlabValues(digest, input, slabValues);
    KillTheNet();
    std::remove(kFileName);
    return digest.Value();
}

}  // namespace

void AddFileSections(std::vector<Section>& sections) {
    sections.insert(sections.end(), {{"float-network-file", InFloat<SavedAndRestored>},
                                     {"fixed-network-file", InFixed<SavedAndRestored>}});
}

}  // namespace fingerprint
