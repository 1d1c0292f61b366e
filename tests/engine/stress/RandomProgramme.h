// Random programmes for the stress test: per channel, a chain of segments of
// silence, noise, tones and level steps between -90 and +40 dBFS, and bursts
// of samples no engine can measure (NaN, infinities, enormous values) or that
// sit right at the edges of single precision. Everything derives from one
// 64-bit seed through a generator of our own, so a seed gives the same
// programme on every architecture and library.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>

namespace stress {

// SplitMix64: small, fast, and fully specified.
class Random {
public:
    explicit Random(uint64_t seed) : state(seed) {}
    uint64_t next() {
        uint64_t z = (state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    double uniform() { return static_cast<double>(next() >> 11) * 0x1p-53; }  // [0, 1)
    double uniform(double lo, double hi) { return lo + (hi - lo) * uniform(); }
    int32_t below(int32_t n) { return static_cast<int32_t>(next() % static_cast<uint64_t>(n)); }
    bool chance(double p) { return uniform() < p; }
    // Log-uniform integer in [lo, hi], so that short and long values are alike likely.
    int32_t logUniform(int32_t lo, int32_t hi) {
        const double v = std::exp(uniform(std::log(lo), std::log(hi + 1.0)));
        const int32_t n = static_cast<int32_t>(v);
        return n < lo ? lo : (n > hi ? hi : n);
    }

private:
    uint64_t state;
};

// A sample that the engine must survive: unmeasurable ones (the square
// overflows single precision) and finite extremes that are measurable.
inline float hostileSample(Random& random) {
    static const float kSqrtMax = std::sqrt(FLT_MAX);  // largest magnitude whose square fits
    const float values[] = {
        NAN, INFINITY, -INFINITY, 1e20f, -1e30f, 3.4e38f, -3.4e38f, FLT_MAX,
        std::nextafter(kSqrtMax, INFINITY), -std::nextafter(kSqrtMax, INFINITY),
        kSqrtMax, -kSqrtMax, 1e10f, -1e5f, 1e-42f /* subnormal */, -0.0f,
    };
    return values[random.below(static_cast<int32_t>(sizeof values / sizeof values[0]))];
}

// One channel's programme, generated block by block.
class ChannelProgramme {
public:
    void fill(Random& random, double rateHz, float* out, int32_t count) {
        for (int32_t i = 0; i < count; ++i) {
            if (remaining <= 0) startSegment(random, rateHz);
            --remaining;
            out[i] = nextSample(random);
        }
    }

private:
    enum class Kind { Silence, Noise, Tone, Step, Burst };

    static double amplitudeOfDb(double db) { return std::pow(10.0, db / 20.0); }

    void startSegment(Random& random, double rateHz) {
        // From one sample to about three seconds.
        remaining = random.logUniform(1, static_cast<int32_t>(3.0 * rateHz));
        const int32_t pick = random.below(100);
        kind = pick < 10 ? Kind::Silence : pick < 40 ? Kind::Noise : pick < 70 ? Kind::Tone
             : pick < 85 ? Kind::Step : Kind::Burst;
        amplitude = amplitudeOfDb(random.uniform(-90.0, 40.0));
        // Tones from 10 Hz to just under half the rate.
        const double hz = std::exp(random.uniform(std::log(10.0), std::log(0.49 * rateHz)));
        phaseStep = 2.0 * 3.14159265358979323846 * hz / rateHz;
        if (random.chance(0.5)) amplitude = -amplitude;  // steps of either sign
        if (kind == Kind::Burst) {
            remaining = random.logUniform(1, 2000);
            burstDensity = random.chance(0.3) ? 1.0 : random.uniform(0.001, 0.5);
        }
    }

    float nextSample(Random& random) {
        switch (kind) {
            case Kind::Silence: return 0.0f;
            case Kind::Noise: return static_cast<float>(amplitude * random.uniform(-1.0, 1.0));
            case Kind::Tone:
                phase += phaseStep;
                if (phase > 6.283185307179586) phase -= 6.283185307179586;
                return static_cast<float>(amplitude * std::sin(phase));
            case Kind::Step: return static_cast<float>(amplitude);
            case Kind::Burst:
                if (random.chance(burstDensity)) return hostileSample(random);
                return static_cast<float>(amplitude * random.uniform(-1.0, 1.0));
        }
        return 0.0f;
    }

    Kind kind = Kind::Silence;
    int32_t remaining = 0;
    double amplitude = 0.0;
    double phase = 0.0;
    double phaseStep = 0.0;
    double burstDensity = 0.0;
};

}  // namespace stress
