// Loads one effect library, checks what every host relies on, sends every
// opcode with hostile arguments, then renders an automated programme and
// writes the output samples to a file. Built for x86-64 and i386: the two
// architectures' files must be identical.
//
//   vst_render_host LIBRARY OUTPUT
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "ProgramChecks.h"
#include "VstHost.h"

using namespace vsthost;
using programchecks::check;
using programchecks::failures;

namespace {

constexpr float kSampleRateHz = 44100.0f;

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s LIBRARY OUTPUT\n", argv[0]);
        return 2;
    }
    Library library(argv[1]);
    if (!library.ok()) {
        std::fprintf(stderr, "cannot load %s: %s\n", argv[1], library.error().c_str());
        return 2;
    }
    answers().sampleRate = static_cast<VstIntPtr>(kSampleRateHz);

    // Survival walk on an instance of its own.
    AEffect* walked = library.instantiate();
    check(walked != nullptr, "instantiate");
    if (!walked) return 1;
    walkEveryOpcode(walked);
    check(dispatch(walked, effClose) == 1, "effClose answers 1");

    AEffect* effect = library.instantiate();
    check(effect != nullptr, "instantiate again");
    if (!effect) return 1;
    const int channels = effect->numInputs;
    const int params = effect->numParams;
    check((channels == 2 && params == 8) || (channels == 6 && params == 9), "channels, parameters");
    check(effect->numOutputs == channels, "outputs");
    check((effect->flags & ~effFlagsHasEditor) == effFlagsCanReplacing, "flags");
    check(effect->initialDelay == 1560, "latency at 44100 Hz");
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    check(effect->initialDelay == 1698, "latency at 48000 Hz");
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, kSampleRateHz);
    check(effect->initialDelay == 1560, "latency back at 44100 Hz");
    check(dispatch(effect, effGetVstVersion) == 2400, "interface version");
    check(dispatch(effect, effGetVendorVersion) == 1150, "vendor version");
    check(text(effect, effGetVendorString) == "Veltrano", "vendor");
    dispatch(effect, effMainsChanged, 0, 1);

    std::FILE* output = std::fopen(argv[2], "wb");
    if (!output) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 2;
    }
    const int kBlocks = 60;
    int64_t position = 0;
    for (int block = 0; block < kBlocks; ++block) {
        const int frames = block == 30 ? 100000 : 1 + (block * 739) % 4096;
        // Every parameter moves now and then, some beyond 0..1.
        const int index = block % params;
        effect->setParameter(effect, index, static_cast<float>((block * 37) % 23) / 20.0f - 0.05f);
        Buffers buffers(channels, frames);
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < frames; ++i)
                buffers.channel[c][i] = programmeSample(c, position + i, kSampleRateHz);
        if (block == 12) buffers.channel[0][frames / 2] = std::numeric_limits<float>::quiet_NaN();
        if (block == 20) buffers.channel[channels - 1][0] = 1e30f;
        // In place, as many hosts do.
        effect->processReplacing(effect, buffers.data(), buffers.data(), frames);
        for (int c = 0; c < channels; ++c)
            std::fwrite(buffers.channel[c].data(), sizeof(float), frames, output);
        position += frames;
    }
    std::fclose(output);
    check(dispatch(effect, effClose) == 1, "effClose answers 1");
    return failures ? 1 : 0;
}
