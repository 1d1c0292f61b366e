// Engine throughput per layout: ns per sample per channel at 48 kHz, block
// size 512, on a programme that keeps every stage busy (noise and tones with
// level changes, transients over the ceiling that make the limiter work).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "LevelerCore.h"
#include "Surround51.h"

namespace {

constexpr int kRateHz = 48000;
constexpr int kBlock = 512;
constexpr int kProgrammeSeconds = 4;
constexpr double kPi = 3.14159265358979323846;

std::vector<float> programme(unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    std::vector<float> out(kRateHz * kProgrammeSeconds);
    for (int i = 0; i < static_cast<int>(out.size()); ++i) {
        const double t = static_cast<double>(i) / kRateHz;
        // The level steps between -40 and -6 dBFS every 350 ms.
        const double level = std::pow(10.0, -(6.0 + 34.0 * ((i / (kRateHz * 35 / 100)) % 5) / 4.0) / 20.0);
        double x = level * (0.4 * noise(rng) + 0.6 * std::sin(2.0 * kPi * (220.0 + 110.0 * (seed % 3)) * t));
        if (i % (kRateHz / 3) < 96) x += 1.8 * std::sin(2.0 * kPi * 3000.0 * t);  // hot transients
        out[i] = static_cast<float>(x);
    }
    return out;
}

// Gain laws: the benchmark programme's (log law below the input level,
// linear above), log law in both branches, linear law in both.
enum Law { kMixedLaw, kLogLaw, kLinearLaw };

void configure(LevelerCore& engine, float channelShare, Law law = kMixedLaw) {
    engine.setChannelShare(channelShare);
    engine.setTruePeak(-1.0f);
    engine.setMaxGain(12.0f);
    engine.setCorrectionLow(70.0f);
    if (law == kLogLaw) engine.setCorrectionHigh(70.0f);
    engine.setMixMode(law == kLinearLaw ? 0 : 3);
    engine.setSampleRate(static_cast<float>(kRateHz));
}

// The benchmark programme faded out over a minute, 144 dB (the floor of
// 24-bit audio) in even steps of decibels, then digital silence.
std::vector<float> fadeIntoSilence(unsigned seed) {
    const std::vector<float> loop = programme(seed);
    const int samples = kRateHz * 60;
    std::vector<float> out(samples + kRateHz * kProgrammeSeconds, 0.0f);
    for (int i = 0; i < samples; ++i) {
        const double fadeDb = -144.0 * i / samples;
        out[i] = static_cast<float>(loop[i % loop.size()] * std::pow(10.0, fadeDb / 20.0));
    }
    return out;
}

std::vector<float> signalFor(int kind, unsigned seed) {
    if (kind == 1) return std::vector<float>(kRateHz * kProgrammeSeconds, 0.0f);
    if (kind == 2) return fadeIntoSilence(seed);
    return programme(seed);
}

void setPerSampleCounter(benchmark::State& state, int channels, int block = kBlock) {
    state.counters["ns/sample/ch"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * block * channels * 1e-9,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// A mono engine on the programme in blocks of `block` frames.
void runMono(benchmark::State& state, int block) {
    LevelerCore engine;
    configure(engine, 0.5f);
    const std::vector<float> in = programme(1);
    std::vector<float> out(block);
    size_t pos = 0;
    for (auto _ : state) {
        engine.processMono(&in[pos], out.data(), block);
        benchmark::DoNotOptimize(out.data());
        pos = pos + 2 * block > in.size() ? 0 : pos + block;
    }
    setPerSampleCounter(state, 1, block);
}

// A stereo engine in blocks of `block` frames; `kind` as for signalFor.
void runStereo(benchmark::State& state, int block, Law law, int kind) {
    LevelerCore engine;
    configure(engine, 0.5f, law);
    const std::vector<float> left = signalFor(kind, 1), right = signalFor(kind, 2);
    std::vector<float> outL(block), outR(block);
    size_t pos = 0;
    for (auto _ : state) {
        engine.processStereo(&left[pos], &right[pos], outL.data(), outR.data(), block);
        benchmark::DoNotOptimize(outL.data());
        pos = pos + 2 * block > left.size() ? 0 : pos + block;
    }
    setPerSampleCounter(state, 2, block);
}

void BM_Mono(benchmark::State& state) { runMono(state, kBlock); }
void BM_Stereo(benchmark::State& state) { runStereo(state, kBlock, kMixedLaw, 0); }

struct SurroundBuffers {
    std::vector<float> in[6];
    std::vector<float> out[6];
    SurroundBuffers() {
        for (int c = 0; c < 6; ++c) {
            in[c] = programme(static_cast<unsigned>(c + 1));
            out[c].assign(kBlock, 0.0f);
        }
    }
    void pointers(size_t pos, const float* inPtr[6], float* outPtr[6]) {
        for (int c = 0; c < 6; ++c) {
            inPtr[c] = &in[c][pos];
            outPtr[c] = out[c].data();
        }
    }
};

// The main engine alone: five levelled channels and the LFE delay line.
void BM_SurroundMainEngine(benchmark::State& state) {
    LevelerCore engine;
    configure(engine, 0.2f);
    SurroundBuffers io;
    std::vector<float> lfeCentre(kBlock), lfePeak(kBlock);
    size_t pos = 0;
    for (auto _ : state) {
        const float* in[6];
        float* out[6];
        io.pointers(pos, in, out);
        engine.processSurround(in, out, lfeCentre.data(), lfePeak.data(), kBlock);
        benchmark::DoNotOptimize(out[0]);
        pos = pos + 2 * kBlock > io.in[0].size() ? 0 : pos + kBlock;
    }
    setPerSampleCounter(state, 6);
}

// The 5.1 unit the front ends use: main engine, LFE engine and the hand-over,
// in blocks of `block` frames.
void runSurround51Unit(benchmark::State& state, int block) {
    Surround51 unit;
    configure(unit.main, 0.2f);
    unit.lfe.setTruePeak(-1.0f);
    unit.lfe.setSampleRate(static_cast<float>(kRateHz));
    SurroundBuffers io;
    size_t pos = 0;
    for (auto _ : state) {
        const float* in[6];
        float* out[6];
        io.pointers(pos, in, out);
        unit.process(in, out, block);
        benchmark::DoNotOptimize(out[0]);
        pos = pos + 2 * block > io.in[0].size() ? 0 : pos + block;
    }
    setPerSampleCounter(state, 6, block);
}

void BM_Surround51Unit(benchmark::State& state) { runSurround51Unit(state, kBlock); }

// Stereo variants: argument 0 the block size, 1 the gain law, 2 the signal
// (0 programme, 1 digital silence, 2 a fade into silence over a minute).
void BM_StereoVariant(benchmark::State& state) {
    runStereo(state, static_cast<int>(state.range(0)), static_cast<Law>(state.range(1)),
              static_cast<int>(state.range(2)));
}

void BM_MonoBlock64(benchmark::State& state) { runMono(state, 64); }

void BM_Surround51UnitBlock64(benchmark::State& state) { runSurround51Unit(state, 64); }

BENCHMARK(BM_Mono);
BENCHMARK(BM_Stereo);
BENCHMARK(BM_SurroundMainEngine);
BENCHMARK(BM_Surround51Unit);
BENCHMARK(BM_MonoBlock64);
BENCHMARK(BM_Surround51UnitBlock64);
BENCHMARK(BM_StereoVariant)
    ->ArgNames({"block", "law", "signal"})
    ->Args({64, kMixedLaw, 0})
    ->Args({512, kLogLaw, 0})
    ->Args({512, kLinearLaw, 0})
    ->Args({512, kMixedLaw, 1})
    ->Args({512, kMixedLaw, 2});

// Collects the per-sample figures for the summary table.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            auto it = run.counters.find("ns/sample/ch");
            if (it != run.counters.end()) figures[run.benchmark_name()] = it->second.value;
        }
    }
    std::map<std::string, double> figures;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const struct { const char* name; const char* layout; int channels; } rows[] = {
        {"BM_Mono", "mono", 1},
        {"BM_Stereo", "stereo", 2},
        {"BM_SurroundMainEngine", "5.1 main engine", 6},
        {"BM_Surround51Unit", "5.1 unit (main + LFE engine)", 6},
        {"BM_MonoBlock64", "mono, blocks of 64", 1},
        {"BM_StereoVariant/block:64/law:0/signal:0", "stereo, blocks of 64", 2},
        {"BM_Surround51UnitBlock64", "5.1 unit, blocks of 64", 6},
        {"BM_StereoVariant/block:512/law:1/signal:0", "stereo, log law", 2},
        {"BM_StereoVariant/block:512/law:2/signal:0", "stereo, linear law", 2},
        {"BM_StereoVariant/block:512/law:0/signal:1", "stereo, digital silence", 2},
        {"BM_StereoVariant/block:512/law:0/signal:2", "stereo, fade into silence", 2},
    };
    std::printf("\nOrvanta engine, 48 kHz, block %d samples\n", kBlock);
    std::printf("%-30s %9s %16s %18s\n", "layout", "channels", "ns/sample/ch", "realtime factor");
    for (const auto& row : rows) {
        auto it = reporter.figures.find(row.name);
        if (it == reporter.figures.end()) continue;
        const double nsPerSampleChannel = it->second;
        const double realtime = 1e9 / (nsPerSampleChannel * row.channels * kRateHz);
        std::printf("%-30s %9d %16.1f %17.0fx\n", row.layout, row.channels, nsPerSampleChannel, realtime);
    }
    return 0;
}
