// The parameter hand-over under ThreadSanitizer: one thread automates every
// parameter (hostile values included, in bursts that overflow the queue),
// one reads the values and displays as an editor would, and the audio thread
// processes blocks meanwhile. Any data race aborts the program with a
// report; afterwards every parameter must read back the last value set.
#include <atomic>
#include <cmath>
#include <cstdio>
#include <limits>
#include <thread>
#include <vector>

#include "Orvanta.h"

namespace {

VstIntPtr VSTCALLBACK quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

constexpr int kBlocks = 1500;
constexpr int kMaxFrames = 300;

}  // namespace

int main() {
    Orvanta* effect = new Orvanta(quietHost);
    AEffect* record = effect->getAeffect();
    const int channels = record->numInputs;
    const int params = record->numParams;
    record->dispatcher(record, effMainsChanged, 0, 1, nullptr, 0.0f);

    std::atomic<bool> audioRunning{true};
    std::vector<float> lastValue(params, -1.0f);

    std::thread audio([&] {
        std::vector<std::vector<float>> buffers(channels, std::vector<float>(kMaxFrames));
        std::vector<float*> pointers(channels);
        for (int c = 0; c < channels; ++c) pointers[c] = buffers[c].data();
        for (int block = 0; block < kBlocks; ++block) {
            const int frames = 1 + (block * 37) % kMaxFrames;
            for (int c = 0; c < channels; ++c)
                for (int i = 0; i < frames; ++i)
                    buffers[c][i] = 0.3f * std::sin(0.01f * static_cast<float>(block * frames + i + c));
            record->processReplacing(record, pointers.data(), pointers.data(), frames);
        }
        audioRunning.store(false);
    });

    std::thread automation([&] {
        unsigned step = 0;
        while (audioRunning.load()) {
            // Mostly single moves, now and then a burst longer than the queue.
            const int burst = step % 50 == 0 ? 400 : 3;
            for (int k = 0; k < burst; ++k, ++step) {
                const int index = static_cast<int>(step % (params + 2)) - 1;  // -1 .. params
                float value = static_cast<float>((step * 7919u) % 1201u) / 1000.0f - 0.1f;
                if (step % 97 == 0) value = std::numeric_limits<float>::quiet_NaN();
                record->setParameter(record, index, value);
                if (index >= 0 && index < params && !std::isnan(value))
                    lastValue[index] = std::fmin(std::fmax(value, 0.0f), 1.0f);
            }
        }
    });

    std::thread editor([&] {
        char text[64];
        float sum = 0.0f;
        while (audioRunning.load()) {
            for (int i = -1; i <= params; ++i) {
                sum += record->getParameter(record, i);
                record->dispatcher(record, effGetParamDisplay, i, 0, text, 0.0f);
            }
        }
        std::printf("read sum %g\n", sum);
    });

    audio.join();
    automation.join();
    editor.join();

    int failures = 0;
    for (int i = 0; i < params; ++i) {
        if (lastValue[i] < 0.0f) continue;
        float expected = lastValue[i];
        if (i == static_cast<int>(ParamId::CorrMixMode))
            expected = modeToNormalised(normalisedToMode(expected));
        const float got = record->getParameter(record, i);
        if (got != expected) {
            std::printf("parameter %d reads %g, last set %g\n", i, got, expected);
            ++failures;
        }
    }
    record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f);
    std::printf("%s\n", failures ? "FAILED" : "no races, every value arrived");
    return failures ? 1 : 0;
}
