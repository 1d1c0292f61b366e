// Helper of the orvanta-level tests: generates test files, drives the engine
// directly as a reference, compares audio and measures loudness.
//
//   cli_test_helper generate OUT CHANNELS RATE SECONDS float|pcm16|pcm24|hostile [POSITION...]
//       test signal (passages at changing loudness, hot transients); with
//       positions (FL FR FC LFE BL BR SL SR TC L R), a file with that channel
//       map whose channels carry the signals of those positions
//   cli_test_helper generate OUT.caf 6 RATE SECONDS float mpeg51c|mpeg51d
//       5.1 in an MPEG channel order, labelled with its layout tag
//   cli_test_helper reference IN OUT TARGET TRUEPEAK MAXGAIN FREEZE INPUT CORRHIGH CORRLOW MODE [LFE]
//       the engine driven directly, in uneven blocks, latency removed: float WAV
//   cli_test_helper compare A B     "identical", or the first difference; channels
//                                   compared in engine order by each file's map
//   cli_test_helper measure FILE    the JSON loudness object orvanta-level writes (histogram mode)
//   cli_test_helper info FILE [tags] "FRAMES CHANNELS RATE FORMAT_HEX [map POSITIONS]", or the title and bext
//       (a generated file whose name holds "tagged" carries both)
//   cli_test_helper meter-memory SECONDS   bytes the tool's loudness meter holds after SECONDS of
//       programme beyond what it held after one minute (8 kHz mono)
#include <ebur128.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <malloc.h>

#include "LevelerCore.h"
#include "Loudness.h"
#include "ParamTable.h"
#include "Surround51.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

int fail(const std::string& message) {
    std::fprintf(stderr, "cli_test_helper: %s\n", message.c_str());
    return 3;
}

const std::map<std::string, int> kPositions = {
    {"FL", SF_CHANNEL_MAP_FRONT_LEFT}, {"FR", SF_CHANNEL_MAP_FRONT_RIGHT}, {"FC", SF_CHANNEL_MAP_FRONT_CENTER},
    {"LFE", SF_CHANNEL_MAP_LFE},       {"BL", SF_CHANNEL_MAP_REAR_LEFT},   {"BR", SF_CHANNEL_MAP_REAR_RIGHT},
    {"SL", SF_CHANNEL_MAP_SIDE_LEFT},  {"SR", SF_CHANNEL_MAP_SIDE_RIGHT},  {"TC", SF_CHANNEL_MAP_TOP_CENTER},
    {"L", SF_CHANNEL_MAP_LEFT},        {"R", SF_CHANNEL_MAP_RIGHT}};

// The engine channel whose signal a position carries (side as back).
int engineIndex(int position, int channels) {
    if (channels == 2) return position == SF_CHANNEL_MAP_RIGHT || position == SF_CHANNEL_MAP_FRONT_RIGHT;
    switch (position) {
        case SF_CHANNEL_MAP_FRONT_LEFT: case SF_CHANNEL_MAP_LEFT: return 0;
        case SF_CHANNEL_MAP_FRONT_RIGHT: case SF_CHANNEL_MAP_RIGHT: return 1;
        case SF_CHANNEL_MAP_FRONT_CENTER: case SF_CHANNEL_MAP_CENTER: return 2;
        case SF_CHANNEL_MAP_LFE: return 3;
        case SF_CHANNEL_MAP_REAR_LEFT: case SF_CHANNEL_MAP_SIDE_LEFT: return 4;
        case SF_CHANNEL_MAP_REAR_RIGHT: case SF_CHANNEL_MAP_SIDE_RIGHT: return 5;
        default: return 5;
    }
}

// Engine-channel signal e at frame i: tones and noise in passages whose
// loudness moves between -45 and -8 dBFS each 1.5 s, with a hot click now
// and then so the limiter works too.
struct Signal {
    int rate;
    std::mt19937 rng{12345};
    std::normal_distribution<float> noise{0.0f, 1.0f};
    float sample(int e, int64_t i) {
        const double t = static_cast<double>(i) / rate;
        const int passage = static_cast<int>(t / 1.5);
        static const double kLevelsDb[] = {-30, -12, -45, -8, -24, -18, -38, -10};
        const double amplitude = std::pow(10.0, kLevelsDb[passage % 8] / 20.0);
        const double f = 110.0 * (e + 1) + 37.0 * passage;
        double v = 0.6 * std::sin(2 * kPi * f * t) + 0.3 * std::sin(2 * kPi * 2.7 * f * t) + 0.15 * noise(rng);
        v *= amplitude * (0.75 + 0.25 * std::sin(2 * kPi * 3.0 * t));
        if (i % (rate * 2) < 24) v += (i % 2 ? 0.98 : -0.98);  // hot transient
        // Within full scale, so integer files hold it without clipping.
        return static_cast<float>(std::max(-0.999, std::min(0.999, v)));
    }
};

int generateCaf(const std::string& path, int rate, double seconds, const std::string& layout);
int generateWavex(const std::string& path, int channels, int rate, double seconds, const std::vector<int>& map);

int generate(int argc, char** argv) {
    if (argc < 7) return fail("generate OUT CHANNELS RATE SECONDS TYPE [POSITION...]");
    const std::string path = argv[2];
    const int channels = std::atoi(argv[3]);
    const int rate = std::atoi(argv[4]);
    const double seconds = std::atof(argv[5]);
    const std::string type = argv[6];
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".caf") == 0)
        return generateCaf(path, rate, seconds, argc > 7 ? argv[7] : "");
    std::vector<int> map;
    for (int a = 7; a < argc; ++a) {
        const auto it = kPositions.find(argv[a]);
        if (it == kPositions.end()) return fail(std::string("unknown position ") + argv[a]);
        map.push_back(it->second);
    }
    if (!map.empty()) return generateWavex(path, channels, rate, seconds, map);
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    const bool hostile = type == "hostile";  // float, with NaN, infinities and huge values in bursts
    const int subtype = type == "float" || hostile ? SF_FORMAT_FLOAT
                        : type == "pcm24"         ? SF_FORMAT_PCM_24
                        : type == "ima"           ? SF_FORMAT_IMA_ADPCM
                                                  : SF_FORMAT_PCM_16;
    const bool flac = path.size() > 5 && path.compare(path.size() - 5, 5, ".flac") == 0;
    const bool aiff = path.size() > 5 && path.compare(path.size() - 5, 5, ".aiff") == 0;
    info.format = (flac ? SF_FORMAT_FLAC : aiff ? SF_FORMAT_AIFF : map.empty() ? SF_FORMAT_WAV : SF_FORMAT_WAVEX) |
                  (flac && subtype == SF_FORMAT_FLOAT ? SF_FORMAT_PCM_24 : subtype);
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return fail(path + ": " + sf_strerror(nullptr));
    if (path.find("tagged") != std::string::npos) {  // a title and a broadcast extension
        sf_set_string(file, SF_STR_TITLE, "Orvanta test programme");
        SF_BROADCAST_INFO bext{};
        std::snprintf(bext.description, sizeof bext.description, "levelling test");
        std::snprintf(bext.originator, sizeof bext.originator, "Veltrano");
        bext.time_reference_low = 123456789;
        sf_command(file, SFC_SET_BROADCAST_INFO, &bext, sizeof bext);
    }
    Signal signal{rate};
    const int64_t frames = static_cast<int64_t>(seconds * rate);
    std::vector<float> frame(static_cast<size_t>(channels));
    std::vector<float> engineFrame(6);
    for (int64_t i = 0; i < frames; ++i) {
        for (int e = 0; e < 6; ++e) engineFrame[e] = signal.sample(e, i);
        for (int c = 0; c < channels; ++c)
            frame[c] = engineFrame[static_cast<size_t>(map.empty() ? c : engineIndex(map[c], channels))];
        if (hostile && i % rate < 40) {
            static const float kHostile[] = {NAN, INFINITY, -INFINITY, 1e30f, -3e38f};
            frame[static_cast<size_t>(i % channels)] = kHostile[(i / rate + i) % 5];
        }
        sf_writef_float(file, frame.data(), 1);
    }
    sf_close(file);
    return 0;
}

// A 5.1 CAF file (32-bit float) with a channel layout tag, the way other
// programs write 5.1 in MPEG orders; libsndfile reads such maps but does not
// write them. mpeg51c: L C R Ls Rs LFE; mpeg51d: C L R Ls Rs LFE.
int generateCaf(const std::string& path, int rate, double seconds, const std::string& layout) {
    const bool orderD = layout == "mpeg51d";
    if (!orderD && layout != "mpeg51c") return fail("caf layouts: mpeg51c, mpeg51d");
    const int engineOf[6] = {orderD ? 2 : 0, orderD ? 0 : 2, 1, 4, 5, 3};
    const uint32_t tag = ((orderD ? 124u : 123u) << 16) | 6u;
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return fail(path + ": cannot write");
    auto u16 = [&](uint16_t v) { std::fputc(v >> 8, out); std::fputc(v & 0xFF, out); };
    auto u32 = [&](uint32_t v) { u16(static_cast<uint16_t>(v >> 16)); u16(static_cast<uint16_t>(v)); };
    auto u64 = [&](uint64_t v) { u32(static_cast<uint32_t>(v >> 32)); u32(static_cast<uint32_t>(v)); };
    const int64_t frames = static_cast<int64_t>(seconds * rate);
    std::fwrite("caff", 1, 4, out); u16(1); u16(0);
    std::fwrite("desc", 1, 4, out); u64(32);
    double rateValue = rate;
    uint64_t rateBits;
    std::memcpy(&rateBits, &rateValue, 8);
    u64(rateBits);
    std::fwrite("lpcm", 1, 4, out); u32(1); u32(24); u32(1); u32(6); u32(32);
    std::fwrite("chan", 1, 4, out); u64(12); u32(tag); u32(0); u32(0);
    std::fwrite("data", 1, 4, out); u64(static_cast<uint64_t>(4 + frames * 24)); u32(0);
    Signal signal{rate};
    float engineFrame[6];
    for (int64_t i = 0; i < frames; ++i) {
        for (int e = 0; e < 6; ++e) engineFrame[e] = signal.sample(e, i);
        for (int c = 0; c < 6; ++c) {
            uint32_t bits;
            std::memcpy(&bits, &engineFrame[engineOf[c]], 4);
            u32(bits);
        }
    }
    std::fclose(out);
    return 0;
}

// A float WAVE_FORMAT_EXTENSIBLE file with the speaker mask of `map`
// (positions in the mask's order); libsndfile writes only standard masks.
int generateWavex(const std::string& path, int channels, int rate, double seconds, const std::vector<int>& map) {
    static const std::map<int, uint32_t> kMaskBits = {
        {SF_CHANNEL_MAP_FRONT_LEFT, 0x1},  {SF_CHANNEL_MAP_FRONT_RIGHT, 0x2}, {SF_CHANNEL_MAP_FRONT_CENTER, 0x4},
        {SF_CHANNEL_MAP_LFE, 0x8},         {SF_CHANNEL_MAP_REAR_LEFT, 0x10},  {SF_CHANNEL_MAP_REAR_RIGHT, 0x20},
        {SF_CHANNEL_MAP_SIDE_LEFT, 0x200}, {SF_CHANNEL_MAP_SIDE_RIGHT, 0x400}, {SF_CHANNEL_MAP_TOP_CENTER, 0x800},
        {SF_CHANNEL_MAP_LEFT, 0x1},        {SF_CHANNEL_MAP_RIGHT, 0x2}};
    uint32_t mask = 0;
    for (int position : map) mask |= kMaskBits.at(position);
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return fail(path + ": cannot write");
    auto u16 = [&](uint32_t v) { std::fputc(v & 0xFF, out); std::fputc((v >> 8) & 0xFF, out); };
    auto u32 = [&](uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); };
    const int64_t frames = static_cast<int64_t>(seconds * rate);
    const uint32_t dataBytes = static_cast<uint32_t>(frames * channels * 4);
    std::fwrite("RIFF", 1, 4, out); u32(4 + 8 + 40 + 8 + dataBytes); std::fwrite("WAVE", 1, 4, out);
    std::fwrite("fmt ", 1, 4, out); u32(40);
    u16(0xFFFE); u16(static_cast<uint32_t>(channels)); u32(static_cast<uint32_t>(rate));
    u32(static_cast<uint32_t>(rate * channels * 4)); u16(static_cast<uint32_t>(channels * 4)); u16(32);
    u16(22); u16(32); u32(mask);
    static const unsigned char kFloatGuid[16] = {3, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    std::fwrite(kFloatGuid, 1, 16, out);
    std::fwrite("data", 1, 4, out); u32(dataBytes);
    Signal signal{rate};
    for (int64_t i = 0; i < frames; ++i) {
        float engineFrame[6];
        for (int e = 0; e < 6; ++e) engineFrame[e] = signal.sample(e, i);
        for (int c = 0; c < channels; ++c) {
            uint32_t bits;
            std::memcpy(&bits, &engineFrame[engineIndex(map[static_cast<size_t>(c)], channels)], 4);
            u32(bits);
        }
    }
    std::fclose(out);
    return 0;
}

// Reads a whole file as planar channels in engine order (by its channel map).
bool readEngineOrder(const std::string& path, SF_INFO& info, std::vector<std::vector<float>>& planar) {
    info = SF_INFO{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return false;
    std::vector<float> all(static_cast<size_t>(info.frames * info.channels));
    sf_readf_float(file, all.data(), info.frames);
    std::vector<int> map(static_cast<size_t>(info.channels));
    const bool hasMap = info.channels > 1 && sf_command(file, SFC_GET_CHANNEL_MAP_INFO, map.data(),
                                                         static_cast<int>(map.size() * sizeof(int))) == SF_TRUE;
    sf_close(file);
    planar.assign(static_cast<size_t>(info.channels), std::vector<float>(static_cast<size_t>(info.frames)));
    for (int c = 0; c < info.channels; ++c) {
        const int e = hasMap ? engineIndex(map[static_cast<size_t>(c)], info.channels) : c;
        for (int64_t i = 0; i < info.frames; ++i)
            planar[static_cast<size_t>(e)][static_cast<size_t>(i)] = all[static_cast<size_t>(i * info.channels + c)];
    }
    return true;
}

int reference(int argc, char** argv) {
    if (argc < 12) return fail("reference IN OUT and 8 or 9 values");
    SF_INFO info;
    std::vector<std::vector<float>> in;
    if (!readEngineOrder(argv[2], info, in)) return fail(std::string(argv[2]) + ": cannot read");
    const int channels = info.channels;
    const Layout layout = channels == 1 ? Layout::Mono : channels == 2 ? Layout::Stereo : Layout::Surround51;
    float values[kParamCount];
    for (int p = 0; p < kParamCount; ++p) values[p] = paramTable[p].engineDefault;
    for (int p = 0; p < paramCount(layout) && 4 + p < argc; ++p) values[p] = std::strtof(argv[4 + p], nullptr);

    // As a LADSPA host brings the plug-in up: defaults, rate, activate, then
    // the controls that differ from the defaults.
    std::unique_ptr<LevelerCore> single;
    std::unique_ptr<Surround51> surround;
    LevelerCore* engine;
    LevelerCore* lfe = nullptr;
    if (layout == Layout::Surround51) {
        surround = std::make_unique<Surround51>();
        engine = &surround->main;
        lfe = &surround->lfe;
        applyInitialParameters(*engine, layout);
        engine->setSampleRate(static_cast<float>(info.samplerate));
        lfe->setTruePeak(0.0f);
        lfe->setSampleRate(static_cast<float>(info.samplerate));
        surround->reset();
    } else {
        single = std::make_unique<LevelerCore>();
        engine = single.get();
        applyInitialParameters(*engine, layout);
        engine->setSampleRate(static_cast<float>(info.samplerate));
        engine->reset();
    }
    for (int p = 0; p < paramCount(layout); ++p)
        if (values[p] != paramTable[p].engineDefault) applyEngineValue(*engine, lfe, static_cast<ParamId>(p), values[p]);

    const int64_t latency = engine->latency();
    const int64_t total = info.frames + latency;
    for (auto& ch : in) ch.resize(static_cast<size_t>(total), 0.0f);
    std::vector<std::vector<float>> out(static_cast<size_t>(channels), std::vector<float>(static_cast<size_t>(total)));
    // Uneven blocks: the engine's result must not depend on them.
    static const int32_t kBlocks[] = {1, 777, 4096, 13, 30000, 256};
    int64_t done = 0;
    for (int b = 0; done < total; ++b) {
        const int32_t n = static_cast<int32_t>(std::min<int64_t>(kBlocks[b % 6], total - done));
        const float* ip[6];
        float* op[6];
        for (int c = 0; c < channels; ++c) {
            ip[c] = in[static_cast<size_t>(c)].data() + done;
            op[c] = out[static_cast<size_t>(c)].data() + done;
        }
        if (layout == Layout::Mono) single->processMono(ip[0], op[0], n);
        else if (layout == Layout::Stereo) single->processStereo(ip[0], ip[1], op[0], op[1], n);
        else surround->process(ip, op, n);
        done += n;
    }
    SF_INFO outInfo{};
    outInfo.channels = channels;
    outInfo.samplerate = info.samplerate;
    outInfo.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(argv[3], SFM_WRITE, &outInfo);
    if (!file) return fail(std::string(argv[3]) + ": cannot write");
    std::vector<float> frame(static_cast<size_t>(channels));
    for (int64_t i = latency; i < total; ++i) {
        for (int c = 0; c < channels; ++c) frame[static_cast<size_t>(c)] = out[static_cast<size_t>(c)][static_cast<size_t>(i)];
        sf_writef_float(file, frame.data(), 1);
    }
    sf_close(file);
    return 0;
}

int compare(int argc, char** argv) {
    if (argc < 4) return fail("compare A B");
    SF_INFO a, b;
    std::vector<std::vector<float>> pa, pb;
    if (!readEngineOrder(argv[2], a, pa) || !readEngineOrder(argv[3], b, pb)) return fail("cannot read");
    if (a.channels != b.channels || a.frames != b.frames) {
        std::printf("different shape: %d x %lld against %d x %lld\n", a.channels, static_cast<long long>(a.frames),
                    b.channels, static_cast<long long>(b.frames));
        return 1;
    }
    for (size_t c = 0; c < pa.size(); ++c)
        for (size_t i = 0; i < pa[c].size(); ++i)
            if (std::memcmp(&pa[c][i], &pb[c][i], sizeof(float)) != 0) {
                std::printf("channel %zu frame %zu: %.9g against %.9g\n", c, i, pa[c][i], pb[c][i]);
                return 1;
            }
    std::printf("identical\n");
    return 0;
}

int measure(int argc, char** argv) {
    if (argc < 3) return fail("measure FILE");
    SF_INFO info;
    std::vector<std::vector<float>> planar;
    if (!readEngineOrder(argv[2], info, planar)) return fail("cannot read");
    ebur128_state* st = ebur128_init(static_cast<unsigned>(info.channels), static_cast<unsigned long>(info.samplerate),
                                     EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_TRUE_PEAK | EBUR128_MODE_HISTOGRAM);
    if (info.channels == 1) ebur128_set_channel(st, 0, EBUR128_DUAL_MONO);
    if (info.channels == 6) {
        const int types[6] = {EBUR128_LEFT, EBUR128_RIGHT, EBUR128_CENTER, EBUR128_UNUSED, EBUR128_LEFT_SURROUND,
                              EBUR128_RIGHT_SURROUND};
        for (unsigned c = 0; c < 6; ++c) ebur128_set_channel(st, c, types[c]);
    }
    std::vector<float> frames(static_cast<size_t>(info.frames * info.channels));
    for (int c = 0; c < info.channels; ++c)
        for (int64_t i = 0; i < info.frames; ++i)
            frames[static_cast<size_t>(i * info.channels + c)] = planar[static_cast<size_t>(c)][static_cast<size_t>(i)];
    // Fed in 4800-frame pieces: the results do not depend on the split.
    for (int64_t i = 0; i < info.frames; i += 4800)
        ebur128_add_frames_float(st, frames.data() + i * info.channels,
                                 static_cast<size_t>(std::min<int64_t>(4800, info.frames - i)));
    double integrated, range, peak = 0;
    ebur128_loudness_global(st, &integrated);
    ebur128_loudness_range(st, &range);
    for (unsigned c = 0; c < static_cast<unsigned>(info.channels); ++c) {
        double p;
        ebur128_true_peak(st, c, &p);
        peak = std::max(peak, p);
    }
    ebur128_destroy(&st);
    auto number = [](double v) {
        char text[40];
        if (std::isfinite(v)) std::snprintf(text, sizeof text, "%.17g", v);
        else std::snprintf(text, sizeof text, "null");
        return std::string(text);
    };
    std::printf("{\"integrated_lufs\": %s, \"loudness_range_lu\": %s, \"true_peak_dbtp\": %s}\n",
                number(integrated).c_str(), number(range).c_str(),
                number(peak > 0 ? 20.0 * std::log10(peak) : -HUGE_VAL).c_str());
    return 0;
}

int infoOf(int argc, char** argv) {
    if (argc < 3) return fail("info FILE");
    SF_INFO info{};
    SNDFILE* file = sf_open(argv[2], SFM_READ, &info);
    if (!file) return fail(std::string(argv[2]) + ": " + sf_strerror(nullptr));
    int map[6] = {};
    const bool hasMap = info.channels <= 6 && sf_command(file, SFC_GET_CHANNEL_MAP_INFO, map,
                                                         static_cast<int>(sizeof(int) * info.channels)) == SF_TRUE;
    sf_close(file);
    if (argc > 3 && std::string(argv[3]) == "tags") {
        SNDFILE* again = sf_open(argv[2], SFM_READ, &info);
        const char* title = sf_get_string(again, SF_STR_TITLE);
        SF_BROADCAST_INFO bext{};
        const bool hasBext = sf_command(again, SFC_GET_BROADCAST_INFO, &bext, sizeof bext) == SF_TRUE;
        std::printf("title [%s] bext [%s] [%s] %u\n", title ? title : "", hasBext ? bext.description : "",
                    hasBext ? bext.originator : "", hasBext ? bext.time_reference_low : 0u);
        sf_close(again);
        return 0;
    }
    std::printf("%lld %d %d %x", static_cast<long long>(info.frames), info.channels, info.samplerate, info.format);
    if (hasMap) {
        std::printf(" map");
        for (int c = 0; c < info.channels; ++c) std::printf(" %d", map[c]);
    }
    std::printf("\n");
    return 0;
}

int meterMemory(int argc, char** argv) {
    if (argc < 3) return fail("meter-memory SECONDS");
    const int rate = 8000;
    const int64_t seconds = std::atoll(argv[2]);
    ChannelLayout layout;
    mapChannels(1, nullptr, layout);
    MeterChoice choice;
    choice.truePeak = false;
    LoudnessMeter meter(layout, rate, choice);
    std::vector<float> second(static_cast<size_t>(rate));
    Signal signal{rate};
    for (size_t i = 0; i < second.size(); ++i) second[i] = signal.sample(0, static_cast<int64_t>(i) + rate / 2);
    size_t afterMinute = 0;
    for (int64_t s = 0; s < seconds; ++s) {
        meter.add(second.data(), rate);
        if (s == 59) afterMinute = mallinfo2().uordblks;
    }
    std::printf("%lld\n", static_cast<long long>(mallinfo2().uordblks) - static_cast<long long>(afterMinute));
    return meter.figures().integratedLufs < 0 ? 0 : 3;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "generate") return generate(argc, argv);
    if (command == "reference") return reference(argc, argv);
    if (command == "compare") return compare(argc, argv);
    if (command == "measure") return measure(argc, argv);
    if (command == "info") return infoOf(argc, argv);
    if (command == "meter-memory") return meterMemory(argc, argv);
    return fail("generate, reference, compare, measure or info");
}
