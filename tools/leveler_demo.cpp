// Levels a generated 30 s mono programme through LevelerCore and prints, once
// per second, the input loudness, the leveler gain and the output peak.
//
// The programme: quiet speech-like passages, loud passages and a few hot
// transients, so that the gain law and the limiter both have work to do.
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "LevelerCore.h"

namespace {

constexpr int kRateHz = 48000;
constexpr int kSeconds = 30;
constexpr double kPi = 3.14159265358979323846;

// Speech-like: a voiced buzz with a few formants, gated into syllables of
// about 180 ms with short pauses between words.
float speechLike(int i, double amplitude, std::mt19937& rng) {
    const double t = static_cast<double>(i) / kRateHz;
    const double pitch = 140.0 + 20.0 * std::sin(2.0 * kPi * 0.7 * t);
    double voiced = 0.0;
    for (int h = 1; h <= 12; ++h) {
        const double f = pitch * h;
        const double formant = std::exp(-std::pow((f - 700.0) / 300.0, 2)) +
                               0.6 * std::exp(-std::pow((f - 1200.0) / 400.0, 2)) +
                               0.3 * std::exp(-std::pow((f - 2600.0) / 500.0, 2));
        voiced += formant * std::sin(2.0 * kPi * f * t);
    }
    const double syllable = std::pow(std::sin(kPi * std::fmod(t, 0.18) / 0.18), 2);
    const double word = std::fmod(t, 1.1) < 0.9 ? 1.0 : 0.0;
    std::normal_distribution<double> breath(0.0, 0.02);
    return static_cast<float>(amplitude * (syllable * word * voiced + breath(rng)));
}

// Music-like: a chord with a slow tremolo and some noise.
float musicLike(int i, double amplitude, std::mt19937& rng) {
    const double t = static_cast<double>(i) / kRateHz;
    std::normal_distribution<double> noise(0.0, 0.1);
    const double chord = std::sin(2.0 * kPi * 220.0 * t) + 0.8 * std::sin(2.0 * kPi * 277.2 * t) +
                         0.7 * std::sin(2.0 * kPi * 329.6 * t) + 0.4 * std::sin(2.0 * kPi * 880.0 * t);
    return static_cast<float>(amplitude * (0.35 * chord * (0.8 + 0.2 * std::sin(2.0 * kPi * 3.0 * t)) + noise(rng)));
}

std::vector<float> makeProgramme() {
    std::mt19937 rng(2026);
    std::vector<float> programme(kRateHz * kSeconds);
    for (int i = 0; i < static_cast<int>(programme.size()); ++i) {
        const int second = i / kRateHz;
        float x;
        if (second < 8) {
            x = speechLike(i, 0.009, rng);  // quiet speech, about -38 LUFS
        } else if (second < 16) {
            x = musicLike(i, 0.7, rng);  // loud music, about -10 LUFS
        } else if (second < 24) {
            x = speechLike(i, 0.053, rng);  // normal speech, about -20 LUFS
        } else {
            x = musicLike(i, 0.057, rng);  // quiet music, about -32 LUFS
        }
        // Hot transients: 3 ms clicks well over full scale.
        const int inSecond = i % kRateHz;
        if ((second == 5 || second == 19 || second == 27) && inSecond >= 24000 && inSecond < 24144)
            x += static_cast<float>(1.8 * std::sin(2.0 * kPi * 2000.0 * inSecond / kRateHz));
        programme[i] = x;
    }
    return programme;
}

// K-weighted mean square of one second, with the BS.1770 filter at 48 kHz;
// mono counts as two identical channels, as the leveler counts it.
struct LoudnessMeter {
    double s1[2] = {0, 0}, s2[2] = {0, 0};
    double sumSquares = 0.0;
    int samples = 0;

    void add(float x) {
        static const double b[2][3] = {{1.53512485958697, -2.69169618940638, 1.19839281085285},
                                       {1.0, -2.0, 1.0}};
        static const double a[2][2] = {{-1.69065929318241, 0.73248077421585},
                                       {-1.99004745483398, 0.99007225036621}};
        double y = x;
        for (int stage = 0; stage < 2; ++stage) {
            const double w = y - a[stage][0] * s1[stage] - a[stage][1] * s2[stage];
            y = b[stage][0] * w + b[stage][1] * s1[stage] + b[stage][2] * s2[stage];
            s2[stage] = s1[stage];
            s1[stage] = w;
        }
        sumSquares += y * y;
        ++samples;
    }
    double takeLufs() {
        const double meanSquare = sumSquares / samples;
        sumSquares = 0.0;
        samples = 0;
        return meanSquare > 0.0 ? -0.691 + 10.0 * std::log10(2.0 * meanSquare) : -INFINITY;
    }
};

}  // namespace

int main() {
    LevelerCore engine;
    engine.setChannelShare(0.5f);
    engine.setTargetLevel(-20.0f);
    engine.setTruePeak(-1.0f);
    engine.setMaxGain(15.0f);
    engine.setFreezeLevel(-50.0f);
    engine.setInputLevel(-20.0f);
    engine.setCorrectionHigh(100.0f);
    engine.setCorrectionLow(80.0f);
    engine.setSampleRate(static_cast<float>(kRateHz));

    const std::vector<float> input = makeProgramme();
    std::vector<float> output(input.size());
    const int latency = static_cast<int>(engine.latency());

    std::printf("Orvanta leveler demo: 30 s mono programme at %d Hz\n", kRateHz);
    std::printf("target -20.0 LUFS, true peak -1.0 dBTP, max gain 15 dB, latency %d samples\n\n", latency);
    std::printf("%6s  %12s  %12s  %10s  %14s\n", "second", "input LUFS", "output LUFS", "gain dB", "out peak dBFS");

    LoudnessMeter inputMeter, outputMeter;
    const int block = 512;
    for (int second = 0; second < kSeconds; ++second) {
        float peak = 0.0f;
        for (int i = second * kRateHz; i < (second + 1) * kRateHz; i += block) {
            engine.processMono(&input[i], &output[i], block);
            for (int j = i; j < i + block; ++j) {
                inputMeter.add(input[j]);
                // Compare like with like: the output of this second is the
                // input of the same second, one latency later.
                if (j >= latency) outputMeter.add(output[j]);
                peak = std::max(peak, std::fabs(output[j]));
            }
        }
        std::printf("%6d  %12.1f  %12.1f  %10.2f  %14.2f\n", second, inputMeter.takeLufs(),
                    second == 0 ? -INFINITY : outputMeter.takeLufs(),
                    20.0 * std::log10(engine.getLevelerGain()), 20.0 * std::log10(peak));
        if (second == 0) outputMeter.takeLufs();
    }
    return 0;
}
