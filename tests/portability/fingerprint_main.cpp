// Prints one line per section, "<section> <digest>", where the digest covers
// every bit of the results and result codes the section computes. The engine
// must compute them identically on every build (x86-64 Linux, i686 Windows
// under Wine): the test compares this output with the digests checked in
// beside it, and the Windows build also compares it with the Linux build's
// output directly.
//
// A section covers one family of computations (a small net trained with a
// fixed seed in every variant, for a paradigm). It depends on nothing but its
// own calls, and every net it makes, it kills.
#include <cstdio>

#include "fingerprint.h"

int main() {
    std::vector<fingerprint::Section> sections;
    for (auto add : {fingerprint::AddCoreSections, fingerprint::AddBackpropSections, fingerprint::AddLvqSections,
                     fingerprint::AddPatternNetSections, fingerprint::AddFileSections})
        add(sections);
    for (const fingerprint::Section& section : sections)
        std::printf("%s %016llx\n", section.name, static_cast<unsigned long long>(section.compute()));
    return 0;
}
