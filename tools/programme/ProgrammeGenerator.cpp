// Generates programmes for rendering through the plug-ins: passages of
// speech-like and music-like material at chosen loudness, with hot
// transients, written as 16-bit PCM WAV at 48 kHz (the format every LADSPA
// host here reads). Each passage is scaled to its loudness in LUFS with the
// BS.1770 K-weighting at 48 kHz (ungated: the passages are steady).
//
//   orvanta_programme passages OUT.wav [CHANNELS]   -35/-12 LUFS steady test passages
//   orvanta_programme demo OUT.wav                   the demo programme (stereo)
//   orvanta_programme tones OUT.wav CHANNELS SECONDS a short tone/noise mix
//
// Prints one line per passage: "start_s end_s lufs label".
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kRateHz = 48000;
constexpr double kPi = 3.14159265358979323846;

enum class Material { Speech, Music, Noise, Transients };

struct Passage {
    double seconds;
    double lufs;
    Material material;
    const char* label;
};

using Channels = std::vector<std::vector<double>>;

// BS.1770 K-weighting at 48 kHz: high shelf, then high pass.
struct Biquad {
    double b0, b1, b2, a1, a2, z1 = 0, z2 = 0;
    double run(double x) {
        const double y = b0 * x + z1;
        z1 = b1 * x - a1 * y + z2;
        z2 = b2 * x - a2 * y;
        return y;
    }
};

double loudness(const Channels& ch, size_t begin, size_t end) {
    double sum = 0.0;
    for (size_t c = 0; c < ch.size(); ++c) {
        if (ch.size() == 6 && c == 3) continue;  // the LFE does not count
        const double weight = (ch.size() == 6 && c >= 4) ? 1.41 : 1.0;
        Biquad shelf{1.53512485958697, -2.69169618940638, 1.19839281085285, -1.69065929318241,
                     0.73248077421585};
        Biquad highPass{1.0, -2.0, 1.0, -1.99004745483398, 0.99007225036621};
        double power = 0.0;
        for (size_t i = begin; i < end; ++i) {
            const double y = highPass.run(shelf.run(ch[c][i]));
            power += y * y;
        }
        sum += weight * power / static_cast<double>(end - begin);
    }
    return -0.691 + 10.0 * std::log10(sum);
}

// Speech-like: a voiced buzz at a gliding pitch through two formant
// resonators, in syllables of 120-300 ms separated by short pauses.
void speech(Channels& ch, size_t begin, size_t end, std::mt19937& rng) {
    std::uniform_real_distribution<double> u(0.0, 1.0);
    double phase = 0.0, f1State[2] = {0, 0}, f2State[2] = {0, 0};
    size_t syllableEnd = begin;
    double pitch = 140.0, envelopeTarget = 0.0, envelope = 0.0, f1 = 700, f2 = 1200;
    for (size_t i = begin; i < end; ++i) {
        if (i >= syllableEnd) {
            const bool pause = u(rng) < 0.25;
            syllableEnd = i + static_cast<size_t>(kRateHz * (pause ? 0.08 + 0.15 * u(rng) : 0.12 + 0.18 * u(rng)));
            envelopeTarget = pause ? 0.0 : 0.5 + 0.5 * u(rng);
            pitch = 110.0 + 90.0 * u(rng);
            f1 = 300.0 + 600.0 * u(rng);
            f2 = 900.0 + 1600.0 * u(rng);
        }
        envelope += (envelopeTarget - envelope) * 0.003;
        phase += pitch / kRateHz;
        phase -= std::floor(phase);
        const double source = (phase < 0.1 ? 1.0 : -0.11) + 0.05 * (u(rng) - 0.5);
        // Two-pole resonators at the formants.
        auto resonate = [](double x, double f, double* s) {
            const double r = 0.97, w = 2.0 * kPi * f / kRateHz;
            const double y = x + 2.0 * r * std::cos(w) * s[0] - r * r * s[1];
            s[1] = s[0];
            s[0] = y;
            return y;
        };
        const double y = envelope * (resonate(source, f1, f1State) + 0.5 * resonate(source, f2, f2State));
        for (size_t c = 0; c < ch.size(); ++c) ch[c][i] = (ch.size() == 6 && c != 2) ? 0.0 : y;
    }
}

// Music-like: a chord of harmonic tones changing every two seconds, with a
// decaying noise beat on every half second, slightly different per channel.
void music(Channels& ch, size_t begin, size_t end, std::mt19937& rng) {
    std::normal_distribution<double> n(0.0, 1.0);
    const double roots[] = {110.0, 146.83, 164.81, 130.81};
    for (size_t i = begin; i < end; ++i) {
        const double t = static_cast<double>(i - begin) / kRateHz;
        const double root = roots[static_cast<int>(t / 2.0) % 4];
        double chord = 0.0;
        for (double ratio : {1.0, 1.25, 1.5, 2.0})
            for (int h = 1; h <= 4; ++h) chord += std::sin(2.0 * kPi * root * ratio * h * t) / (h * h);
        const double beat = std::exp(-std::fmod(t, 0.5) * 18.0) * n(rng);
        for (size_t c = 0; c < ch.size(); ++c) {
            const double pan = ch.size() == 1 ? 1.0 : (c % 2 == 0 ? 0.9 : 1.1);
            ch[c][i] = (ch.size() == 6 && c == 3) ? 0.3 * std::sin(2.0 * kPi * 45.0 * t) : pan * 0.2 * chord + 0.5 * beat;
        }
    }
}

void noise(Channels& ch, size_t begin, size_t end, std::mt19937& rng) {
    std::normal_distribution<double> n(0.0, 1.0);
    double pink[6] = {0, 0, 0, 0, 0, 0};
    for (size_t i = begin; i < end; ++i)
        for (size_t c = 0; c < ch.size(); ++c) {
            pink[c] = 0.97 * pink[c] + n(rng);
            ch[c][i] = 0.25 * pink[c] + 0.3 * std::sin(2.0 * kPi * (330.0 + 40.0 * c) * i / kRateHz);
        }
}

// A quiet bed with full-scale clicks and drum-like hits: true peaks above
// 0 dBFS between samples once the leveler raises them.
void transients(Channels& ch, size_t begin, size_t end, std::mt19937& rng) {
    music(ch, begin, end, rng);
    for (size_t i = begin; i < end; ++i) {
        const size_t k = (i - begin) % (kRateHz * 7 / 10);
        if (k < 240) {
            const double hit = std::exp(-static_cast<double>(k) / 60.0) * std::sin(2.0 * kPi * 9000.0 * k / kRateHz);
            for (auto& c : ch) c[i] += 40.0 * hit;  // scaled with the passage below, then clipped to full scale
        }
    }
}

void writeWav(const std::string& path, const Channels& ch) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        std::perror(path.c_str());
        std::exit(1);
    }
    const uint32_t frames = static_cast<uint32_t>(ch[0].size());
    const uint16_t channels = static_cast<uint16_t>(ch.size());
    const uint32_t dataBytes = frames * channels * 2;
    auto u32 = [f](uint32_t v) { std::fwrite(&v, 4, 1, f); };
    auto u16 = [f](uint16_t v) { std::fwrite(&v, 2, 1, f); };
    std::fwrite("RIFF", 1, 4, f);
    u32(36 + dataBytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    u32(16);
    u16(1);
    u16(channels);
    u32(kRateHz);
    u32(kRateHz * channels * 2);
    u16(static_cast<uint16_t>(channels * 2));
    u16(16);
    std::fwrite("data", 1, 4, f);
    u32(dataBytes);
    std::vector<int16_t> frame(channels);
    for (uint32_t i = 0; i < frames; ++i) {
        for (uint16_t c = 0; c < channels; ++c) {
            const double x = std::clamp(ch[c][i], -1.0, 32767.0 / 32768.0);
            frame[c] = static_cast<int16_t>(std::lround(x * 32768.0));
        }
        std::fwrite(frame.data(), 2, channels, f);
    }
    std::fclose(f);
}

Channels render(const std::vector<Passage>& passages, int channels, unsigned seed) {
    size_t total = 0;
    for (const Passage& p : passages) total += static_cast<size_t>(p.seconds * kRateHz);
    Channels ch(channels, std::vector<double>(total, 0.0));
    std::mt19937 rng(seed);
    size_t begin = 0;
    for (const Passage& p : passages) {
        const size_t end = begin + static_cast<size_t>(p.seconds * kRateHz);
        switch (p.material) {
            case Material::Speech: speech(ch, begin, end, rng); break;
            case Material::Music: music(ch, begin, end, rng); break;
            case Material::Noise: noise(ch, begin, end, rng); break;
            case Material::Transients: transients(ch, begin, end, rng); break;
        }
        const double gain = std::pow(10.0, (p.lufs - loudness(ch, begin, end)) / 20.0);
        for (auto& c : ch)
            for (size_t i = begin; i < end; ++i) c[i] *= gain;
        std::printf("%.3f %.3f %.1f %s\n", static_cast<double>(begin) / kRateHz,
                    static_cast<double>(end) / kRateHz, p.lufs, p.label);
        begin = end;
    }
    return ch;
}

int usage() {
    std::fprintf(stderr,
                 "usage: orvanta_programme passages OUT.wav [CHANNELS]\n"
                 "       orvanta_programme demo OUT.wav\n"
                 "       orvanta_programme tones OUT.wav CHANNELS SECONDS\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    const std::string kind = argv[1], out = argv[2];
    if (kind == "passages") {
        const int channels = argc > 3 ? std::atoi(argv[3]) : 2;
        if (channels != 1 && channels != 2 && channels != 6) return usage();
        // Long steady passages far below and far above a -20 LUFS target.
        const std::vector<Passage> passages = {
            {40, -35, Material::Music, "music-quiet"}, {40, -12, Material::Music, "music-loud"},
            {40, -35, Material::Noise, "noise-quiet"}, {40, -12, Material::Noise, "noise-loud"},
        };
        writeWav(out, render(passages, channels, 7));
    } else if (kind == "demo") {
        const std::vector<Passage> passages = {
            {25, -38, Material::Speech, "speech-distant"},  {25, -14, Material::Speech, "speech-close"},
            {30, -30, Material::Music, "music-soft"},       {30, -11, Material::Music, "music-loud"},
            {20, -26, Material::Speech, "speech-normal"},   {20, -22, Material::Transients, "hot-transients"},
            {30, -16, Material::Music, "music-mastered"},   {20, -42, Material::Speech, "speech-whisper"},
        };
        writeWav(out, render(passages, 2, 11));
    } else if (kind == "tones") {
        if (argc < 5) return usage();
        const int channels = std::atoi(argv[3]);
        const double seconds = std::atof(argv[4]);
        if (channels < 1 || channels > 6 || !(seconds > 0 && seconds < 3600)) return usage();
        writeWav(out, render({{seconds, -24, Material::Noise, "noise"}}, channels, 3));
    } else {
        return usage();
    }
    return 0;
}
