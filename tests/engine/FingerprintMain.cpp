// Prints the engine fingerprints, so that builds for different architectures
// can be compared: the i386 build must compute the same bits as x86-64.
#include <cinttypes>
#include <cstdio>

#include "Fingerprints.h"

int main() {
    const EngineFingerprints prints = engineFingerprints();
    std::printf("mono %016" PRIx64 "\nstereo %016" PRIx64 "\nsurround %016" PRIx64 "\n", prints.mono,
                prints.stereo, prints.surround);
    return 0;
}
