// Prints the engine fingerprints, so that builds for different architectures
// can be compared: the i386 build must compute the same bits as x86-64.
#include <cinttypes>
#include <cstdio>
#include <initializer_list>

#include "Fingerprints.h"

int main() {
    for (bool baseline : {false, true}) {
        const EngineFingerprints prints = engineFingerprints(baseline);
        const char* kernels = baseline ? "baseline kernels" : "chosen kernels";
        std::printf("%s: mono %016" PRIx64 " stereo %016" PRIx64 " surround %016" PRIx64 "\n", kernels,
                    prints.mono, prints.stereo, prints.surround);
    }
    return 0;
}
