// Writes the seed corpora of the three fuzz targets into <dir>/network_file,
// <dir>/shell_file and <dir>/exports, using the library itself:
// - network files saved from nets of every net type 1..11, built with slabs,
//   links and (for PNN and GRNN) stored patterns, in float32 and in 8.24
//   where the net type has both, with and without caller bytes, and an
//   empty net;
// - shell files of several sizes, padded so that the shell target meets each
//   with every backpropagation rule and both number formats, plus one that
//   ends inside a block;
// - export programs that build a net of each type and run it, save it and
//   restore it.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "koru32.h"

namespace {

namespace fs = std::filesystem;

int16_t Slab(int16_t net, int16_t slab, int16_t neurons, int16_t kind) { return MakeSlab(&net, &slab, &neurons, &kind); }
int16_t Link(int16_t net, int16_t link, int16_t source, int16_t dest) {
    const float range = 0.5f;
    return MakeLink(&net, &link, &range, &source, &dest);
}

bool Require(bool ok, const char* what) {
    if (!ok) std::fprintf(stderr, "seed_corpus: %s\n", what);
    return ok;
}

// A net of `type` with a topology its paradigm can run.
bool BuildNet(int16_t net, uint16_t type) {
    if (!Require(MakeNet(&net, &type) == KORU32_OK, "MakeNet")) return false;
    bool ok = true;
    switch (type) {
        case 1: case 2: case 3: case 11: {
            ok = Slab(net, 0, 2, 0) == 0 && Slab(net, 1, 3, 1) == 0 && Slab(net, 2, 1, 2) == 0 &&
                 Link(net, 0, 0, 1) == 0 && Link(net, 1, 1, 2) == 0;
            for (int16_t s = 1; s <= 2; ++s) {
                const int16_t code = static_cast<int16_t>(type == 11 ? 2 : s + 3);
                ok = ok && Transfer(&net, &s, &code) == 0;
            }
            const int16_t link = 1, status = 1;
            if (type == 3) ok = ok && SetStatus(&net, &link, &status) == 0;
            break;
        }
        case 4: case 5:
            ok = Slab(net, 0, 3, 0) == 0 && Slab(net, 1, 4, 2) == 0 && Link(net, 0, 0, 1) == 0;
            break;
        default: {
            // Input 2, pattern 3, output 2; two patterns stored.
            ok = Slab(net, 0, 2, 0) == 0 && Slab(net, 1, 3, 1) == 0 && Slab(net, 2, 2, 2) == 0 &&
                 Link(net, 0, 0, 1) == 0 && Link(net, 1, 1, 2) == 0;
            const bool pnn = type == 6 || type == 7 || type == 10;
            const float inputs[2][2] = {{0.2f, 0.9f}, {0.7f, 0.1f}};
            const float targets[2][2] = {{1.0f, 0.0f}, {0.0f, 1.0f}};
            for (int p = 0; ok && p < 2; ++p) {
                const int16_t in = 0, pattern = 0, out = 2, mid = 1;
                ok = PutSlab(&net, &in, inputs[p]) == 0;
                ok = ok && (pnn ? PnnEvaluate(&net, &out, targets[p], &pattern) : GrnnEvaluate(&net, &out, targets[p], &pattern)) == 0;
                ok = ok && (pnn ? PnnTrain(&net, &in, &pattern) : GrnnTrain(&net, &in, &pattern)) == 0;
                ok = ok && (pnn ? PnnTrain(&net, &mid, &pattern) : GrnnTrain(&net, &mid, &pattern)) == 0;
            }
            break;
        }
    }
    return Require(ok, "building a seed net");
}

std::vector<uint8_t> ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& p, const std::vector<uint8_t>& bytes) {
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void AppendF32(std::vector<uint8_t>& out, float f) {
    uint32_t bits;
    static_assert(sizeof bits == sizeof f);
    std::memcpy(&bits, &f, 4);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(bits >> 8 * i));
}

std::vector<uint8_t> ShellFile(uint16_t l0, uint16_t l1, uint16_t l2) {
    std::vector<uint8_t> out;
    for (uint16_t u : {l0, l1, l2}) {
        out.push_back(static_cast<uint8_t>(u));
        out.push_back(static_cast<uint8_t>(u >> 8));
    }
    const uint16_t layers[3] = {l0, l1, l2};
    float v = 0.125f;
    for (int k = 0; k < 2; ++k) {
        for (int r = 0; r < layers[k]; ++r) {
            AppendF32(out, 9.0f);  // skipped
            for (int d = 0; d < layers[k + 1]; ++d) {
                AppendF32(out, v);
                AppendF32(out, -v / 4);
                v = -v * 1.5f;
                if (v > 3 || v < -3) v = 0.0625f;
            }
        }
    }
    return out;
}

// Export programs: see export_program.cpp for the operation bytes.
std::vector<uint8_t> Program(uint8_t type) {
    std::vector<uint8_t> p = {3, 0,                          // SetMath float
                              52, 0, type, 3, 4, 2, 1, 2, 5, 3,  // build net 0
                              7, 0, 0, 2, 1, 3,               // PutSlab net 0 slab 0
                              40, 0, 2, 1, 1, 0,              // PnnEvaluate pattern 0
                              41, 0, 0, 0, 41, 0, 1, 0,       // PnnTrain input, pattern slabs
                              43, 0, 2, 1, 1, 0,              // GrnnEvaluate
                              44, 0, 0, 0, 44, 0, 1, 0,       // GrnnTrain
                              39, 0, 1, 3, 39, 0, 2, 3,       // PnnPropagate
                              42, 0, 1, 3, 42, 0, 2, 3,       // GrnnPropagate
                              45, 0, 1, 46, 0, 1, 1,          // LvqPropagate, LvqEvaluate
                              47, 0, 1, 5, 1, 2,              // LvqTrain
                              33, 0, 0, 3, 2,                 // MakeStore
                              37, 0, 0, 1, 0, 0,              // CopyToStore
                              48, 0, 4, 1,                    // SaveNet with 2 bytes
                              49, 1, 4, 1,                    // RestoreNet into 1
                              53, 1,                          // probe net 1
                              3, 1,                           // SetMath fixed
                              52, 2, type, 2, 1, 3, 0, 1, 6, 4,
                              50, 3, 3, 2, 1, 3,              // shell file
                              0, 3, 2, 51, 3,                 // MakeNet 3 type 2, LoadShell
                              54, 0, 1, 54, 0, 2,             // BpPropagate slabs 1 and 2
                              55, 0, 2, 1, 3,                 // BpEvaluate
                              56, 0, 2, 1, 3, 57, 0, 2,       // BpEvaluateSum, BpGetSum
                              62, 0, 1, 3, 1, 1, 62, 0, 0, 3, 1, 1,  // BpTrain slabs 1 and 0
                              59, 0, 2, 0, 0, 1,              // BpEvaluateStore
                              61, 0, 1, 2, 3,                 // AddSlab
                              1, 0, 1, 1};
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus directory>\n", argv[0]);
        return 2;
    }
    const fs::path root = argv[1];
    for (const char* d : {"network_file", "shell_file", "exports"}) fs::create_directories(root / d);
    const std::string scratch = (root / "scratch.net").string();
    int written = 0;

    for (uint16_t type = 1; type <= 11; ++type) {
        for (uint16_t mode : {uint16_t{KORU32_MATH_FLOAT}, uint16_t{KORU32_MATH_FIXED}}) {
            const bool patternNet = type >= 6 && type <= 10;
            if (patternNet && mode == KORU32_MATH_FIXED) continue;  // always float32
            SetMath(&mode);
            const int16_t net = 0;
            if (!BuildNet(net, type)) return 1;
            for (int32_t length : {0, 5}) {
                const uint8_t bytes[5] = {'k', 'o', 'r', 'u', '!'};
                if (!Require(SaveNet(&net, scratch.c_str(), &length, bytes) == 0, "SaveNet")) return 1;
                const std::string name = "type" + std::to_string(type) + (mode ? "-fixed" : "-float") +
                                         (length ? "-bytes" : "");
                WriteFile(root / "network_file" / name, ReadFile(scratch));
                ++written;
            }
            KillNet(&net);
        }
    }
    {
        const int16_t net = 0;
        const uint16_t type = 2;
        const int32_t none = 0;
        MakeNet(&net, &type);
        SaveNet(&net, scratch.c_str(), &none, nullptr);
        WriteFile(root / "network_file" / "empty-net", ReadFile(scratch));
        KillNet(&net);
        ++written;
    }
    std::remove(scratch.c_str());

    const uint16_t sizes[][3] = {{3, 3, 2}, {2, 2, 2}, {5, 4, 3}, {9, 2, 5}};
    for (const auto& s : sizes) {
        const std::vector<uint8_t> file = ShellFile(s[0], s[1], s[2]);
        for (int pad = 0; pad < 8; ++pad) {
            std::vector<uint8_t> padded = file;
            padded.resize(file.size() + pad, 0);
            WriteFile(root / "shell_file" /
                          ("shell-" + std::to_string(s[0]) + "-" + std::to_string(s[1]) + "-" +
                           std::to_string(s[2]) + "-pad" + std::to_string(pad)),
                      padded);
            ++written;
        }
    }
    std::vector<uint8_t> cut = ShellFile(3, 3, 2);
    cut.resize(cut.size() - 10);
    WriteFile(root / "shell_file" / "shell-ends-inside-a-block", cut);
    ++written;

    for (uint8_t type = 1; type <= 11; ++type) {
        WriteFile(root / "exports" / ("program-type" + std::to_string(type)), Program(type));
        ++written;
    }
    // Nine links into slab 1: the ninth is refused (13).
    std::vector<uint8_t> crowded = {52, 0, 1, 3, 4, 2, 1, 2, 5, 3};
    for (uint8_t link = 2; link <= 10; ++link) {
        for (uint8_t b : {uint8_t{21}, uint8_t{0}, link, uint8_t{3}, uint8_t{0}, uint8_t{1}}) crowded.push_back(b);
    }
    WriteFile(root / "exports" / "program-nine-links-into-one-slab", crowded);
    ++written;
    std::printf("%d seed files in %s\n", written, root.c_str());
    return 0;
}
