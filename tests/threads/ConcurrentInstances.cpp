// Instances of every plug-in format at once, each created, driven and
// destroyed on a thread of its own, as hosts that process tracks in parallel
// do: mono, stereo and 5.1 at different rates, uneven blocks, a control
// change before every block, and a new instance half-way. Built under
// ThreadSanitizer (make sanitize-thread), a data race between instances
// (state an engine shares, a table filled on first use) aborts the run with
// a report. Afterwards each thread's script runs again alone: instances must
// not change each other's audio, so both runs give the same bits. Last, a
// CLAP instance is switched off and on while its audio thread processes.
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "PluginFormats.h"
#include "ParamTable.h"

namespace threadtest {

float engineValue(int index, float normalised) {
    const ParamInfo& p = paramTable[index];
    return p.lower + normalised * (p.upper - p.lower);
}

namespace {

const Format kFormats[] = {
    {"LADSPA", 3, createLadspa},
    {"LV2", 3, createLv2},
    {"VST 2.4", 2, createVst2},
    {"VST 3", 2, createVst3},
    {"CLAP", 3, createClap},
};
constexpr int kThreadsPerFormat = 3;
constexpr int kBlocks = 300;
constexpr int kMaxFrames = 700;
constexpr float kRatesHz[] = {44100.0f, 48000.0f, 96000.0f};

struct Script {
    const Format* format;
    int layout;
    float rateHz;
    uint32_t seed;
};

struct Outcome {
    uint64_t digest = 0;
    std::string error;
};

uint32_t nextRandom(uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

Outcome run(const Script& script) {
    Outcome outcome;
    std::unique_ptr<Instance> instance = script.format->create(script.layout, script.rateHz, outcome.error);
    if (!instance) return outcome;
    const int channels = instance->channels();
    std::vector<std::vector<float>> in(channels, std::vector<float>(kMaxFrames));
    std::vector<std::vector<float>> out(channels, std::vector<float>(kMaxFrames));
    std::vector<float*> inPointers(channels), outPointers(channels);
    for (int c = 0; c < channels; ++c) {
        inPointers[c] = in[c].data();
        outPointers[c] = out[c].data();
    }
    uint32_t state = script.seed;
    uint64_t digest = 1469598103934665603ull;  // FNV-1a over the output bits
    for (int block = 0; block < kBlocks; ++block) {
        if (block == kBlocks / 2) {
            instance.reset();
            instance = script.format->create(script.layout, script.rateHz, outcome.error);
            if (!instance) return outcome;
        }
        const int frames = 1 + static_cast<int>(nextRandom(state) % kMaxFrames);
        const int control = static_cast<int>(nextRandom(state) % static_cast<uint32_t>(instance->controls()));
        instance->setControl(control, static_cast<float>(nextRandom(state) % 1001u) / 1000.0f);
        // Passages of changing loudness, so the leveler and the limiter move.
        const float level = (block / 40) % 2 ? 0.9f : 0.02f;
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < frames; ++i)
                in[c][i] = level * (static_cast<float>(nextRandom(state) % 2001u) / 1000.0f - 1.0f);
        instance->process(inPointers.data(), outPointers.data(), frames);
        for (int c = 0; c < channels; ++c) {
            for (int i = 0; i < frames; ++i) {
                if (!std::isfinite(out[c][i])) {
                    outcome.error = "a sample that is not finite";
                    return outcome;
                }
                uint32_t bits;
                std::memcpy(&bits, &out[c][i], sizeof bits);
                digest = (digest ^ bits) * 1099511628211ull;
            }
        }
    }
    outcome.digest = digest;
    return outcome;
}

}  // namespace
}  // namespace threadtest

int main() {
    using namespace threadtest;
    std::vector<Script> scripts;
    for (const Format& format : kFormats)
        for (int t = 0; t < kThreadsPerFormat; ++t)
            scripts.push_back({&format, t % format.layouts, kRatesHz[t % 3], 0x9E3779B9u * static_cast<uint32_t>(scripts.size() + 1)});

    std::vector<Outcome> together(scripts.size());
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (size_t s = 0; s < scripts.size(); ++s) {
        threads.emplace_back([&, s] {
            while (!go.load()) std::this_thread::yield();
            together[s] = run(scripts[s]);
        });
    }
    go.store(true);
    for (std::thread& t : threads) t.join();

    int failures = 0;
    for (size_t s = 0; s < scripts.size(); ++s) {
        const Script& script = scripts[s];
        const Outcome alone = run(script);
        const char* verdict = "ok";
        if (!together[s].error.empty() || !alone.error.empty()) verdict = "FAILED";
        else if (together[s].digest != alone.digest) verdict = "FAILED: other instances changed its audio";
        if (verdict[0] == 'F') ++failures;
        std::printf("%-8s layout %d at %6.0f Hz: %s %s\n", script.format->name, script.layout,
                    static_cast<double>(script.rateHz), verdict,
                    (together[s].error + " " + alone.error).c_str());
    }
    std::printf("%zu instances on as many threads: %s\n", scripts.size(), failures ? "FAILED" : "every one as alone");
    const std::string switched = clapSwitchesWhileProcessing();
    if (!switched.empty()) {
        std::printf("CLAP switched off and on while processing: FAILED: %s\n", switched.c_str());
        ++failures;
    }
    return failures ? 1 : 0;
}
