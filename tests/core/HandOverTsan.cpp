// The parameter hand-over under ThreadSanitizer, as a front end with an
// editor uses it: one thread automates every parameter (hostile values
// included, in bursts that overflow the queue) and tells the editor; one reads
// values, display texts and meters and saves and restores the state, as an
// editor and a host's main thread would; the audio thread processes blocks
// meanwhile. Any data race aborts the program with a report; afterwards every
// parameter must read back the last value set.
#include <atomic>
#include <cmath>
#include <cstdio>
#include <limits>
#include <thread>
#include <vector>

#include "OVEditor.h"
#include "PluginCore.h"

namespace {

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
    std::atomic<bool> audioRunning{true};

    std::thread audio([&] {
        std::vector<std::vector<float>> buffers(channels, std::vector<float>(300));
        std::vector<float*> pointers(channels);
        for (int c = 0; c < channels; ++c) pointers[c] = buffers[c].data();
        for (int block = 0; block < 1500; ++block) {
            const int frames = 1 + (block * 37) % 300;
            for (int c = 0; c < channels; ++c)
                for (int i = 0; i < frames; ++i) buffers[c][i] = 0.3f * std::sin(0.01f * float(block * frames + i + c));
            core->beginMeterBlock();
            core->process(pointers.data(), pointers.data(), static_cast<uint64_t>(frames));
            core->publishMeters();
        }
        audioRunning.store(false);
    });

    std::thread automation([&] {
        for (unsigned step = 0; audioRunning.load();) {
            // Mostly single moves, now and then a burst longer than the queue.
            const int burst = step % 50 == 0 ? 400 : 3;
            for (int k = 0; k < burst; ++k, ++step) {
                const auto id = static_cast<ParamId>(static_cast<int>(step % (params + 2)) - 1);  // -1 .. params
                float value = static_cast<float>((step * 7919u) % 1201u) / 1000.0f - 0.1f;
                if (step % 97 == 0) value = std::numeric_limits<float>::quiet_NaN();
                step % 2 ? core->setNormalised(id, value) : core->setPlain(id, value * 40.0f - 30.0f);
                editor.parameterChanged(static_cast<int32_t>(id));
            }
        }
    });

    std::thread reader([&] {
        char text[PluginCore::kMaxStateBytes];
        float sum = 0.0f;
        while (audioRunning.load()) {
            for (int i = -1; i <= params; ++i) {
                sum += core->normalised(static_cast<ParamId>(i)) + core->plain(static_cast<ParamId>(i));
                parameters.displayText(i, parameters.value(i), text);
            }
            sum += core->meters().levelerGainDb + core->meters().limiterReductionDb;
            core->restoreState(text, core->saveState(text, sizeof text));
            editor.idle();
        }
        std::printf("read sum %g\n", sum);
    });

    audio.join();
    automation.join();
    reader.join();

    int failures = 0;
    for (int i = 0; i < params; ++i) core->setNormalised(static_cast<ParamId>(i), 0.1f * float(i));
    core->process(nullptr, nullptr, 0);
    for (int i = 0; i < params; ++i) {
        const auto id = static_cast<ParamId>(i);
        const float expected = id == ParamId::CorrMixMode ? modeToNormalised(normalisedToMode(0.1f * float(i))) : 0.1f * float(i);
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
