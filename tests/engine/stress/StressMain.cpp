// Randomized stress of the engine's central promise. Every layout (mono,
// stereo, the 5.1 unit) runs random programmes (RandomProgramme.h) in random
// blocks of 1 to 8192 frames, in place or not, with random automation of every
// parameter over its whole range (the correction mix mode and static gain
// included), random sample-rate changes and resets. After every block:
//   - every output sample is finite;
//   - no output sample exceeds the limiter's bound;
//   - the LFE output of the 5.1 unit obeys the LFE engine's own bound;
//   - processing allocated nothing.
//
// The bound. The limiter writes each output sample as
//     out = (f32(1 / envelope) * centre) * outScale
// where `centre` is the sample leaving the limiter's look-ahead ring and the
// envelope has just been clamped to at least q, the scaled peak stored with
// that same sample: q = f32(peak * 31.999996185302734), where `peak` is the
// largest magnitude among the estimator's four phases and the centre itself,
// so |centre| <= peak. (A peak above 1e37 or NaN is replaced by the ceiling
// and its centres by silence, which also satisfies the bound.) Exactly, then,
//     |out| <= |centre| / q * outScale <= outScale / 31.999996185302734.
// Four roundings stand between that and the computed sample: q, 1/envelope
// and the two products, each off by at most one part in 2^24 (in the normal
// range; a subnormal product lies far below any bound). The asserted bound is
// therefore outScale / 31.999996185302734 * (1 + 5 * 2^-24), a few units in
// the last place above the exact one. It depends on nothing but the current
// outScale, so it holds from the first sample processed after a True Peak
// change. The LFE engine's output is formed the same way from the LFE peak
// (which includes the LFE centre), with the LFE engine's outScale.
//
// Usage: engine_stress [--seeds A-B | --seeds A,B,C] [--seconds N] [--frames F]
// Every session prints its seed; `--seeds S` reproduces one. `--seconds N`
// runs fresh random seeds until N seconds have passed. Exit code 1 on a fault.
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "AllocationCounter.h"
#include "LevelerCore.h"
#include "Numerics.h"
#include "ParamTable.h"
#include "Probe.h"
#include "RandomProgramme.h"
#include "Surround51.h"

namespace {

constexpr int32_t kMaxBlock = 8192;
// Session lengths, drawn per seed: from about two seconds at 48 kHz to long
// enough (80 s) for the slowest of the limiter's and leveler's hold and
// smoothing times to run out several times.
constexpr int64_t kShortestSessionFrames = 100000;
constexpr int64_t kLongestSessionFrames = 4000000;
constexpr double kRoundingAllowance = 1.0 + 5.0 * 0x1p-24;
constexpr int32_t kRecentEvents = 12;

// The exact limiter bound of an engine's current setting, outScale / K; the
// assertion allows kRoundingAllowance over it.
double limiterBound(const LevelerCore& engine) {
    return static_cast<double>(engine.getOutScale()) / static_cast<double>(orvanta::kScaledFullScale);
}

const char* layoutName(Layout layout) {
    switch (layout) {
        case Layout::Mono: return "mono";
        case Layout::Stereo: return "stereo";
        case Layout::Surround51: return "5.1";
    }
    return "?";
}

// One layout under test, set up as the front ends set it up.
class UnitUnderTest {
public:
    explicit UnitUnderTest(Layout layout) : layout(layout) {
        if (layout == Layout::Surround51) {
            surround = std::make_unique<Surround51>();
            applyInitialParameters(surround->main, layout);
            surround->lfe.setTruePeak(paramTable[static_cast<int>(ParamId::TruePeak)].engineDefault);
        } else {
            single = std::make_unique<LevelerCore>();
            applyInitialParameters(*single, layout);
        }
    }

    int32_t channels() const { return layout == Layout::Mono ? 1 : layout == Layout::Stereo ? 2 : 6; }
    LevelerCore& main() { return surround ? surround->main : *single; }
    LevelerCore* lfe() { return surround ? &surround->lfe : nullptr; }
    float sampleRate() const { return surround ? surround->main.getSampleRate() : single->getSampleRate(); }

    void apply(ParamId id, float value) { applyEngineValue(main(), lfe(), id, value); }
    void setSampleRate(float hz) {
        if (surround) surround->setSampleRate(hz); else single->setSampleRate(hz);
    }
    void reset() {
        if (surround) surround->reset(); else single->reset();
    }
    void process(float* const* in, float* const* out, int32_t n) {
        switch (layout) {
            case Layout::Mono: single->processMono(in[0], out[0], n); break;
            case Layout::Stereo: single->processStereo(in[0], in[1], out[0], out[1], n); break;
            case Layout::Surround51: surround->process(in, out, n); break;
        }
    }
    uint32_t recoveries() {
        return main().overflowRecoveryCount() + (lfe() ? lfe()->overflowRecoveryCount() : 0);
    }

    const Layout layout;

private:
    std::unique_ptr<LevelerCore> single;
    std::unique_ptr<Surround51> surround;
};

struct SessionStats {
    int64_t frames = 0, blocks = 0, settings = 0, rateChanges = 0, resets = 0, staticGainBlocks = 0;
    double worstRatio = 0.0, worstLfeRatio = 0.0;  // largest |out| / (outScale / K) seen
    uint32_t recoveries = 0;
};

// A parameter value as automation may bring it: the bounds, the default,
// the VST effect's grid, anywhere in between, or a hostile value clamped as
// the front ends clamp it (NaN stays NaN, which the engine ignores).
float randomSetting(stress::Random& random, ParamId id) {
    const ParamInfo& row = paramTable[static_cast<int>(id)];
    const int32_t pick = random.below(100);
    if (pick < 8) return row.lower;
    if (pick < 16) return row.upper;
    if (pick < 20) return row.engineDefault;
    if (pick < 45) return toEngineValue(id, static_cast<float>(random.uniform()));
    if (pick < 50) {
        const float hostile[] = {NAN, INFINITY, -INFINITY, 1e30f, -1e30f};
        return clampToRange(id, hostile[random.below(5)]);
    }
    if (id == ParamId::CorrMixMode) return static_cast<float>(random.below(4));
    return static_cast<float>(random.uniform(row.lower, row.upper));
}

float randomSampleRate(stress::Random& random) {
    const float common[] = {8000.0f, 22050.0f, 44100.0f, 48000.0f, 88200.0f, 96000.0f, 192000.0f, 384000.0f};
    const float hostile[] = {0.0f, -48000.0f, 5.0f, NAN, INFINITY, 1e9f, 7999.0f};
    const int32_t pick = random.below(100);
    if (pick < 60) return common[random.below(8)];
    if (pick < 90) return static_cast<float>(random.uniform(8000.0, 384000.0));
    return hostile[random.below(7)];
}

class Session {
public:
    Session(uint64_t seed, Layout layout)
        : seed(seed), random(seed * 3 + static_cast<uint64_t>(layout)), unit(layout),
          programmes(unit.channels()), input(unit.channels(), std::vector<float>(kMaxBlock)),
          output(unit.channels(), std::vector<float>(kMaxBlock)) {}

    bool run(int64_t frames) {
        // Half the sessions start away from the front ends' 48 kHz default.
        if (random.chance(0.5)) changeRate();
        while (stats.frames < frames) {
            automate();
            const int32_t n = blockSize();
            for (int32_t ch = 0; ch < unit.channels(); ++ch) {
                // Sometimes every channel carries the same programme.
                if (linked && ch > 0) {
                    std::memcpy(input[ch].data(), input[0].data(), sizeof(float) * n);
                } else {
                    programmes[ch].fill(random, unit.sampleRate(), input[ch].data(), n);
                }
            }
            if (!processAndCheck(n)) return false;
            stats.frames += n;
            ++stats.blocks;
        }
        stats.recoveries = unit.recoveries();
        return true;
    }

    const SessionStats& statistics() const { return stats; }

private:
    void note(const std::string& event) {
        recent[nextEvent % kRecentEvents] = "frame " + std::to_string(stats.frames) + ": " + event;
        ++nextEvent;
    }

    void changeRate() {
        const float hz = randomSampleRate(random);
        unit.setSampleRate(hz);
        ++stats.rateChanges;
        note("sample rate " + std::to_string(hz) + " -> " + std::to_string(unit.sampleRate()));
    }

    void automate() {
        if (random.chance(0.25)) {
            const int32_t changes = 1 + random.below(3);
            for (int32_t c = 0; c < changes; ++c) {
                const auto id = static_cast<ParamId>(random.below(paramCount(unit.layout)));
                const float value = randomSetting(random, id);
                unit.apply(id, value);
                ++stats.settings;
                note(std::string(paramTable[static_cast<int>(id)].vstName) + " = " + std::to_string(value));
            }
        }
        if (random.chance(0.03)) {
            // Static gain (both corrections at 0 %), or back to levelling.
            const bool staticGain = random.chance(0.6);
            unit.apply(ParamId::CorrectionHigh, staticGain ? 0.0f : randomSetting(random, ParamId::CorrectionHigh));
            unit.apply(ParamId::CorrectionLow, staticGain ? 0.0f : randomSetting(random, ParamId::CorrectionLow));
            note(staticGain ? "static gain" : "corrections changed");
        }
        if (random.chance(0.008)) changeRate();
        if (random.chance(0.008)) {
            unit.reset();
            ++stats.resets;
            note("reset");
        }
        if (random.chance(0.01)) {
            linked = !linked;
            note(linked ? "channels linked" : "channels independent");
        }
    }

    int32_t blockSize() {
        const int32_t pick = random.below(100);
        if (pick < 5) return 1;
        if (pick < 10) return kMaxBlock;
        return random.logUniform(1, kMaxBlock);
    }

    bool processAndCheck(int32_t n) {
        const int32_t channels = unit.channels();
        float* in[6];
        float* out[6];
        const bool inPlace = random.chance(0.25);
        for (int32_t ch = 0; ch < channels; ++ch) {
            in[ch] = input[ch].data();
            out[ch] = inPlace ? input[ch].data() : output[ch].data();
        }
        // The bounds of the setting the block runs with.
        const double bound = limiterBound(unit.main());
        const double lfeBound = unit.lfe() ? limiterBound(*unit.lfe()) : 0.0;
        if (LevelerCoreProbe::staticGainMode(unit.main())) ++stats.staticGainBlocks;

        size_t allocations;
        {
            AllocationCounter counter;
            unit.process(in, out, n);
            allocations = counter.allocations();
        }
        if (allocations != 0) return fail("processing allocated " + std::to_string(allocations) + " times", n);

        for (int32_t ch = 0; ch < channels; ++ch) {
            const bool isLfe = unit.layout == Layout::Surround51 && ch == Surround51::Lfe;
            const double limit = isLfe ? lfeBound : bound;
            double& worst = isLfe ? stats.worstLfeRatio : stats.worstRatio;
            for (int32_t i = 0; i < n; ++i) {
                const double y = out[ch][i];
                if (!std::isfinite(y)) return fail(sampleText(ch, i, y) + " is not finite", n);
                const double ratio = std::fabs(y) / limit;
                if (ratio > kRoundingAllowance)
                    return fail(sampleText(ch, i, y) + " exceeds the " + (isLfe ? "LFE " : "") +
                                     "bound " + formatDouble(limit),
                                 n);
                if (ratio > worst) worst = ratio;
            }
        }
        return true;
    }

    static std::string formatDouble(double v) {
        char text[64];
        std::snprintf(text, sizeof text, "%.9g", v);
        return text;
    }

    std::string sampleText(int32_t ch, int32_t i, double y) const {
        return "channel " + std::to_string(ch) + ", frame " + std::to_string(stats.frames + i) +
               " (block " + std::to_string(stats.blocks) + ", sample " + std::to_string(i) + "): " +
               formatDouble(y);
    }

    bool fail(const std::string& what, int32_t n) {
        std::printf("FAIL seed %" PRIu64 " %s: %s\n  block of %d frames at %.0f Hz; recent events:\n", seed,
                    layoutName(unit.layout), what.c_str(), n, static_cast<double>(unit.sampleRate()));
        const int32_t first = nextEvent > kRecentEvents ? nextEvent - kRecentEvents : 0;
        for (int32_t e = first; e < nextEvent; ++e) std::printf("    %s\n", recent[e % kRecentEvents].c_str());
        return false;
    }

    const uint64_t seed;
    stress::Random random;
    UnitUnderTest unit;
    std::vector<stress::ChannelProgramme> programmes;
    std::vector<std::vector<float>> input, output;
    SessionStats stats;
    bool linked = false;
    std::string recent[kRecentEvents];
    int32_t nextEvent = 0;
};

// The session length of a seed, unless --frames fixes it.
int64_t sessionFrames(uint64_t seed) {
    stress::Random random(seed ^ 0x5eed5eed5eed5eedull);
    return random.logUniform(static_cast<int32_t>(kShortestSessionFrames), static_cast<int32_t>(kLongestSessionFrames));
}

bool runSeed(uint64_t seed, int64_t fixedFrames, int64_t& framesRun) {
    const int64_t frames = fixedFrames > 0 ? fixedFrames : sessionFrames(seed);
    framesRun += frames;
    for (Layout layout : {Layout::Mono, Layout::Stereo, Layout::Surround51}) {
        auto session = std::make_unique<Session>(seed, layout);
        const bool ok = session->run(frames);
        const SessionStats& s = session->statistics();
        if (!ok) return false;
        std::printf("seed %" PRIu64 " %-6s ok: %" PRId64 " frames, %" PRId64 " blocks, %" PRId64
                    " settings, %" PRId64 " rates, %" PRId64 " resets, %" PRId64 " static-gain blocks, %u recoveries, "
                    "peak %.9f of outScale/K",
                    seed, layoutName(layout), s.frames, s.blocks, s.settings, s.rateChanges, s.resets,
                    s.staticGainBlocks, s.recoveries, s.worstRatio);
        if (layout == Layout::Surround51) std::printf(", LFE peak %.9f", s.worstLfeRatio);
        std::printf("\n");
    }
    std::fflush(stdout);
    return true;
}

[[noreturn]] void usage() {
    std::fprintf(stderr,
                 "usage: engine_stress [--seeds A-B | --seeds A,B,...] [--seconds N] [--frames F]\n"
                 "  --seeds    run these seeds (every layout each); a failing seed reproduces\n"
                 "  --seconds  run fresh random seeds until N seconds have passed\n"
                 "  --frames   frames per layout and seed (default: drawn per seed, %d to %d)\n",
                 static_cast<int>(kShortestSessionFrames), static_cast<int>(kLongestSessionFrames));
    std::exit(2);
}

std::vector<uint64_t> parseSeeds(const char* text) {
    std::vector<uint64_t> seeds;
    const char* dash = std::strchr(text, '-');
    if (dash != nullptr) {
        const uint64_t first = std::strtoull(text, nullptr, 10), last = std::strtoull(dash + 1, nullptr, 10);
        for (uint64_t s = first; s <= last; ++s) seeds.push_back(s);
        return seeds;
    }
    for (const char* p = text; *p != '\0';) {
        char* end = nullptr;
        seeds.push_back(std::strtoull(p, &end, 10));
        if (end == p) usage();
        p = *end == ',' ? end + 1 : end;
    }
    return seeds;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<uint64_t> seeds;
    double seconds = 0.0;
    int64_t frames = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") usage();
        if (i + 1 >= argc) usage();
        if (arg == "--seeds") {
            seeds = parseSeeds(argv[++i]);
        } else if (arg == "--seconds") {
            seconds = std::atof(argv[++i]);
        } else if (arg == "--frames") {
            frames = std::atoll(argv[++i]);
        } else {
            usage();
        }
    }
    if (seeds.empty() && seconds <= 0.0) usage();
    {
        // The allocation assertion means something only if the counter sees
        // the engine's allocations: a new engine sizes its arrays.
        AllocationCounter counter;
        LevelerCore engine;
        if (counter.allocations() == 0) {
            std::printf("FAIL: the allocation counter sees no allocation\n");
            return 1;
        }
    }

    int64_t sessions = 0, framesRun = 0;
    for (uint64_t seed : seeds) {
        if (!runSeed(seed, frames, framesRun)) return 1;
        ++sessions;
    }
    if (seconds > 0.0) {
        std::random_device device;
        const auto start = std::chrono::steady_clock::now();
        while (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() < seconds) {
            const uint64_t seed = (static_cast<uint64_t>(device()) << 32 | device()) >> 1;
            if (!runSeed(seed, frames, framesRun)) return 1;
            ++sessions;
        }
    }
    std::printf("%" PRId64 " seeds, %" PRId64 " frames per layout: every block finite, "
                "within the bound, without allocation\n",
                sessions, framesRun);
    return 0;
}
