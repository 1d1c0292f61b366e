// Cross-architecture scenario host: loads a LADSPA library with dlopen, runs
// every plug-in through scenarios of control changes (hostile values among
// them) and block sizes (0, 1, 100000 among them), and checks each output
// bit for bit against the engine driven directly with the settings that the
// plug-in must hand on. Built for x86-64 and for i386; the digest lines it
// prints must be the same on both (the test compares them).
//
//   ladspa_scenarios LIBRARY.so
//
// The programme is made with additions and multiplications only, no libm,
// so both architectures feed the same bits.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "LevelerCore.h"
#include "ParamTable.h"
#include "PluginHost.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNoCall = kNaN;  // an expected engine value: "no setter is called"

// Noise plus a tone whose level jumps every 0.4 s, with a full-scale burst
// every 0.7 s that drives the limiter.
std::vector<float> programme(size_t samples, uint32_t seed, int rateHz) {
    std::vector<float> out(samples);
    uint32_t state = seed * 2654435761u + 1u;
    double c = 1.0, s = 0.0;  // rotation oscillator at about 310 Hz
    const double w = 2.0 * 3.14159265358979323846 * 310.0 / rateHz;
    const double cw = 1.0 - w * w / 2.0 + w * w * w * w / 24.0, sw = w - w * w * w / 6.0;
    const float levels[] = {0.02f, 0.5f, 0.003f, 0.2f, 0.9f};
    for (size_t i = 0; i < samples; ++i) {
        state = state * 1664525u + 1013904223u;
        const float noise = static_cast<float>(static_cast<int32_t>(state)) * (1.0f / 2147483648.0f);
        const double nc = c * cw - s * sw, ns = s * cw + c * sw;
        c = nc;
        s = ns;
        const float level = levels[(i / static_cast<size_t>(rateHz * 2 / 5)) % 5];
        float x = level * (0.5f * noise + 0.5f * static_cast<float>(s));
        if (i % static_cast<size_t>(rateHz * 7 / 10) < 64) x += (i % 2 ? 1.4f : -1.3f);
        out[i] = x;
    }
    return out;
}

// A control change before a given run: the port value written into the
// plug-in's port, and the engine value the engine must receive (kNoCall: none).
struct Change {
    int run;
    int port;
    float portValue;
    float engineValue;
};

struct Scenario {
    const char* name;
    int plugin;  // 0 mono, 1 stereo, 2 5.1
    int rateHz;
    bool inPlace;  // every output buffer is its input buffer (5.1: LFE too)
    std::vector<Change> changes;
};

const unsigned long kBlocks[] = {512, 1, 100, 0, 4096, 37, 100000, 512, 2048, 0, 333, 1, 8192};
constexpr int kRuns = sizeof kBlocks / sizeof kBlocks[0];

std::vector<Scenario> scenarios() {
    const std::vector<Change> common = {
        {1, 0, -23.0f, -23.0f},          // Target Level
        {2, 2, 12.0f, 12.0f},            // Max Gain
        {2, 1, -1.5f, -1.5f},            // True Peak
        {3, 6, 50.0f, 50.0f},            // Correction Low
        {3, 7, 1.5f, 2.0f},              // Corr Mix Mode 1.5 selects 2
        {4, 7, 1.9f, 2.0f},              // still 2: the engine does nothing
        {4, 0, -20.05f, -20.05f},        // unrounded
        {5, 1, kNaN, kNoCall},           // non-finite: remembered, not applied
        {6, 1, kNaN, kNoCall},           // NaN again: compared unequal, still not applied
        {6, 2, kInf, kNoCall},
        {7, 1, 1e10f, 0.0f},             // clamped to the upper bound
        {7, 2, 25.0f, 25.0f},
        {8, 3, -90.0f, -70.0f},          // clamped to the lower bound
        {8, 4, 3.0f, -0.0f},             // Input Level's upper bound is -0
        {9, 7, 7.0f, 3.0f},              // mode rounds to 7, clamped to 3
        {10, 5, 0.0f, 0.0f},             // Correction High 0 %
        {11, 6, 0.0f, 0.0f},             // both 0 %: static gain
        {12, 5, 80.0f, 80.0f},
    };
    std::vector<Change> surround = common;
    surround.push_back({2, 8, 6.0f, 6.0f});      // LFE Gain
    surround.push_back({9, 8, -1e30f, -10.0f});  // clamped
    std::vector<Scenario> list;
    for (int rate : {48000, 44100}) {
        list.push_back({"mono", 0, rate, false, common});
        list.push_back({"mono-inplace", 0, rate, true, common});
        list.push_back({"stereo", 1, rate, false, common});
        list.push_back({"stereo-inplace", 1, rate, true, common});
        list.push_back({"5.1", 2, rate, false, surround});
        list.push_back({"5.1-inplace", 2, rate, true, surround});
    }
    list.push_back({"stereo-defaults", 1, 48000, false, {}});
    return list;
}

int channelsOf(int plugin) { return plugin == 0 ? 1 : plugin == 1 ? 2 : 6; }
unsigned long latencyPort(int plugin) { return plugin == 2 ? 9 : 8; }
unsigned long inputPort(int plugin, int ch) { return (plugin == 2 ? 10 : 9) + 2 * ch; }

uint64_t fnv(uint64_t h, const float* data, size_t n) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    for (size_t i = 0; i < n * sizeof(float); ++i) h = (h ^ bytes[i]) * 1099511628211ull;
    return h;
}

struct Failure {
    int count = 0;
    void operator()(const char* scenario, const char* what) {
        ++count;
        std::printf("FAILED %s: %s\n", scenario, what);
    }
};

// Runs one scenario; returns false on any mismatch.
bool runScenario(const testhost::Library& library, const Scenario& sc) {
    Failure fail;
    const int channels = channelsOf(sc.plugin);
    const LADSPA_Descriptor* d = library.descriptor(static_cast<unsigned long>(sc.plugin));
    testhost::Instance plugin(d, static_cast<unsigned long>(sc.rateHz));
    if (!plugin.ok()) {
        fail(sc.name, "instantiate answered null");
        return false;
    }
    plugin.activate();

    // Reference: the engine(s), set up as a new instance must be.
    const Layout layout = sc.plugin == 0 ? Layout::Mono : sc.plugin == 1 ? Layout::Stereo : Layout::Surround51;
    LevelerCore engine, lfeEngine;
    applyInitialParameters(engine, layout);
    engine.setSampleRate(static_cast<float>(sc.rateHz));
    if (layout == Layout::Surround51) {
        lfeEngine.setTruePeak(0.0f);
        lfeEngine.setSampleRate(static_cast<float>(sc.rateHz));
    }
    const float expectedLatency = static_cast<float>(engine.latency());

    size_t total = 0;
    for (unsigned long b : kBlocks) total += b;
    std::vector<std::vector<float>> input(channels);
    for (int ch = 0; ch < channels; ++ch)
        input[ch] = programme(total, static_cast<uint32_t>(ch + 1), sc.rateHz);

    uint64_t digest = 1469598103934665603ull;
    size_t pos = 0;
    std::vector<std::vector<float>> pIn(channels), pOut(channels), rIn(channels), rOut(channels);
    for (int run = 0; run < kRuns; ++run) {
        const unsigned long n = kBlocks[run];
        for (const Change& c : sc.changes) {
            if (c.run != run) continue;
            plugin.control(static_cast<unsigned long>(c.port)) = c.portValue;
            if (std::isnan(c.engineValue)) continue;
            applyEngineValue(engine, layout == Layout::Surround51 ? &lfeEngine : nullptr,
                             static_cast<ParamId>(c.port), c.engineValue);
        }
        for (int ch = 0; ch < channels; ++ch) {
            pIn[ch].assign(input[ch].begin() + static_cast<long>(pos),
                           input[ch].begin() + static_cast<long>(pos + n));
            pIn[ch].reserve(1);
            rIn[ch] = pIn[ch];
            rIn[ch].reserve(1);
            pOut[ch].assign(n + 1, -7.0f);  // never data(): a non-null buffer even for n = 0
            rOut[ch].assign(n + 1, 0.0f);
            plugin.connect(inputPort(sc.plugin, ch), pIn[ch].data() != nullptr ? pIn[ch].data() : pOut[ch].data());
            plugin.connect(inputPort(sc.plugin, ch) + 1, sc.inPlace ? pIn[ch].data() : pOut[ch].data());
        }
        plugin.control(latencyPort(sc.plugin)) = -1.0f;  // the host scribbles on it
        plugin.run(n);
        if (plugin.control(latencyPort(sc.plugin)) != expectedLatency) fail(sc.name, "latency port");

        const auto count = static_cast<int32_t>(n);
        if (layout == Layout::Mono) {
            engine.processMono(rIn[0].data(), rOut[0].data(), count);
        } else if (layout == Layout::Stereo) {
            engine.processStereo(rIn[0].data(), rIn[1].data(), rOut[0].data(), rOut[1].data(), count);
        } else {
            // The engines' own hand-over through the host's LFE buffers:
            // centre samples into the LFE input, peaks into the LFE output.
            const float* in[6];
            float* out[6];
            for (int ch = 0; ch < 6; ++ch) {
                in[ch] = rIn[ch].data();
                out[ch] = rOut[ch].data();
            }
            engine.processSurround(in, out, rIn[3].data(), rOut[3].data(), count);
            lfeEngine.limitLfe(rIn[3].data(), rOut[3].data(), rOut[3].data(), count);
        }
        for (int ch = 0; ch < channels; ++ch) {
            const float* got = sc.inPlace ? pIn[ch].data() : pOut[ch].data();
            if (n > 0 && std::memcmp(got, rOut[ch].data(), n * sizeof(float)) != 0) {
                char what[96];
                std::snprintf(what, sizeof what, "run %d (block %lu), channel %d differs from the engine", run, n, ch);
                fail(sc.name, what);
            }
            if (n > 0) digest = fnv(digest, got, n);
        }
        pos += n;
    }
    std::printf("digest %s %d %016llx\n", sc.name, sc.rateHz, static_cast<unsigned long long>(digest));
    return fail.count == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s LIBRARY.so\n", argv[0]);
        return 2;
    }
    testhost::Library library(argv[1]);
    if (!library.loaded()) return 1;
    int passed = 0, failed = 0;
    for (const Scenario& sc : scenarios()) (runScenario(library, sc) ? passed : failed)++;
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
