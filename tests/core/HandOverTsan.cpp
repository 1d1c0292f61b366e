// The parameter hand-over under ThreadSanitizer, as a front end with an
// editor uses it: one thread automates every parameter (hostile values
// included, in bursts that overflow the queue) and tells the editor, one
// reads values, display texts and meters as an editor and a host's main
// thread would, one saves and restores the state, and the audio thread
// processes blocks meanwhile. Any data race aborts the program with a report;
// afterwards every parameter must read back the last value set.
#include <atomic>
#include <cmath>
#include <cstdio>
#include <limits>
#include <thread>
#include <vector>

#include "OVEditor.h"
#include "PluginCore.h"

namespace {

constexpr int kBlocks = 1500;
constexpr int kMaxFrames = 300;

// The editor's seam on the core, as a front end would write it.
class CoreParameters : public EditorParameters {
public:
    explicit CoreParameters(PluginCore& core) : core(core) {}
    float value(int32_t index) const override { return core.normalised(static_cast<ParamId>(index)); }
    void beginEdit(int32_t) override {}
    void setValue(int32_t index, float normalised) override { core.setNormalised(static_cast<ParamId>(index), normalised); }
    void endEdit(int32_t) override {}

private:
    PluginCore& core;
};

int runLayout(Layout layout) {
    std::unique_ptr<PluginCore> core = PluginCore::create(layout, 48000.0f);
    CoreParameters parameters(*core);
    OVEditor editor(parameters, layout == Layout::Surround51 ? surround51EditorLayout() : stereoEditorLayout());
    const int channels = core->channels();
    const int params = core->parameterCount();
    core->reset();
    std::atomic<bool> audioRunning{true};

    std::thread audio([&] {
        std::vector<std::vector<float>> buffers(channels, std::vector<float>(kMaxFrames));
        std::vector<float*> pointers(channels);
        for (int c = 0; c < channels; ++c) pointers[c] = buffers[c].data();
        for (int block = 0; block < kBlocks; ++block) {
            const int frames = 1 + (block * 37) % kMaxFrames;
            for (int c = 0; c < channels; ++c)
                for (int i = 0; i < frames; ++i)
                    buffers[c][i] = 0.3f * std::sin(0.01f * static_cast<float>(block * frames + i + c));
            core->beginMeterBlock();
            core->process(pointers.data(), pointers.data(), static_cast<uint64_t>(frames));
            core->publishMeters();
        }
        audioRunning.store(false);
    });

    std::thread automation([&] {
        unsigned step = 0;
        while (audioRunning.load()) {
            // Mostly single moves, now and then a burst longer than the queue.
            const int burst = step % 50 == 0 ? 400 : 3;
            for (int k = 0; k < burst; ++k, ++step) {
                const auto id = static_cast<ParamId>(static_cast<int>(step % (params + 2)) - 1);  // -1 .. params
                float value = static_cast<float>((step * 7919u) % 1201u) / 1000.0f - 0.1f;
                if (step % 97 == 0) value = std::numeric_limits<float>::quiet_NaN();
                if (step % 2)
                    core->setNormalised(id, value);
                else
                    core->setPlain(id, value * 40.0f - 30.0f);
                editor.parameterChanged(static_cast<int32_t>(id));
            }
        }
    });

    std::thread reader([&] {
        char text[EditorParameters::kDisplayTextBytes];
        char state[PluginCore::kMaxStateBytes];
        float sum = 0.0f;
        while (audioRunning.load()) {
            for (int i = -1; i <= params; ++i) {
                sum += core->normalised(static_cast<ParamId>(i)) + core->plain(static_cast<ParamId>(i));
                parameters.displayText(i, parameters.value(i), text);
            }
            sum += core->meters().levelerGainDb + core->meters().limiterReductionDb;
            const size_t length = core->saveState(state, sizeof state);
            core->restoreState(state, length);
            editor.idle();
        }
        std::printf("read sum %g\n", sum);
    });

    audio.join();
    automation.join();
    reader.join();

    // The last value of every parameter arrives: stored at once, in the
    // engines after the next block.
    int failures = 0;
    for (int i = 0; i < params; ++i) core->setNormalised(static_cast<ParamId>(i), 0.1f * static_cast<float>(i % 10));
    core->process(nullptr, nullptr, 0);
    for (int i = 0; i < params; ++i) {
        const auto id = static_cast<ParamId>(i);
        float expected = 0.1f * static_cast<float>(i % 10);
        if (id == ParamId::CorrMixMode) expected = modeToNormalised(normalisedToMode(expected));
        if (core->normalised(id) != expected) {
            std::printf("parameter %d reads %g, last set %g\n", i, double(core->normalised(id)), double(expected));
            ++failures;
        }
    }
    return failures;
}

}  // namespace

int main() {
    const int failures = runLayout(Layout::Stereo) + runLayout(Layout::Surround51);
    std::printf("%s\n", failures ? "FAILED" : "no races, every value arrived");
    return failures ? 1 : 0;
}
