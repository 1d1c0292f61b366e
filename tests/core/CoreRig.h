// What the core tests share: a programme that drives the detector, the gain
// law and both limiters, planar buffers, and the engines of a layout set up
// and driven exactly as the front ends did before the core existed, which the
// core must match bit for bit.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "LevelerCore.h"
#include "ParamTable.h"
#include "PluginCore.h"
#include "Surround51.h"

namespace coretest {

inline int channelsOf(Layout layout) {
    return layout == Layout::Mono ? 1 : layout == Layout::Stereo ? 2 : Surround51::kChannels;
}

// Noise and a tone whose level jumps every 0.3 s, with a full-scale burst
// every 0.5 s that drives the limiters (on the 5.1 LFE too).
inline float programmeSample(int channel, int64_t i, int rateHz) {
    uint32_t state = static_cast<uint32_t>(i) * 2654435761u + static_cast<uint32_t>(channel) * 40503u + 1u;
    state ^= state >> 15;
    state *= 2246822519u;
    state ^= state >> 13;
    const float noise = static_cast<float>(static_cast<int32_t>(state)) * (1.0f / 2147483648.0f);
    const float tone = static_cast<float>(std::sin(0.0411 * static_cast<double>(i) + channel));
    const float levels[] = {0.02f, 0.4f, 0.003f, 0.9f};
    const float level = levels[(i / (rateHz * 3 / 10)) % 4];
    float x = level * (0.5f * noise + 0.5f * tone);
    if (i % (rateHz / 2) < 48) x += (i % 2 ? 4.0f : -3.5f);
    return x;
}

// One buffer per channel, and the pointer arrays the engines take.
struct Buffers {
    std::vector<std::vector<float>> channel;
    std::vector<float*> pointers;
    Buffers(int channels, int64_t frames)
        : channel(channels, std::vector<float>(static_cast<size_t>(frames) + 1, 0.0f)), pointers(channels) {
        for (int c = 0; c < channels; ++c) pointers[c] = channel[c].data();
    }
    float** data() { return pointers.data(); }
    // The programme from `start` on, `offset` frames into the buffers.
    void fill(int64_t start, int64_t frames, int rateHz, int64_t offset = 0) {
        for (size_t c = 0; c < channel.size(); ++c)
            for (int64_t i = 0; i < frames; ++i)
                channel[c][static_cast<size_t>(offset + i)] = programmeSample(static_cast<int>(c), start + i, rateHz);
    }
    bool sameAs(const Buffers& other, int64_t frames) const {
        for (size_t c = 0; c < channel.size(); ++c)
            if (std::memcmp(channel[c].data(), other.channel[c].data(), sizeof(float) * frames) != 0) return false;
        return true;
    }
};

// Offset pointers into planar buffers, for the core's pieces of a block.
inline std::vector<float*> at(float** buffers, int channels, int64_t offset) {
    std::vector<float*> p(channels);
    for (int c = 0; c < channels; ++c) p[c] = buffers[c] + offset;
    return p;
}

// How the front ends brought their engines up before the core.
enum class StartUp {
    PortPlugins,       // LADSPA and LV2 instantiate (and the offline tool), then the host's activate
    PortPluginsNoActivate,  // a host that never calls activate
    Vst,               // the VST 2.4 constructor, which asks the host for a rate per engine, then resume
};

// The engines of a layout, driven directly.
class LegacyEngines {
public:
    // `secondRate`: the VST 5.1 constructor's second answer from the host.
    LegacyEngines(Layout layout, StartUp startUp, float rate, float secondRate) : layout(layout) {
        if (layout == Layout::Surround51)
            unit = std::make_unique<Surround51>();
        else
            single = std::make_unique<LevelerCore>();
        LevelerCore& engine = main();
        applyInitialParameters(engine, layout);
        if (startUp == StartUp::Vst) {
            if (lfe()) lfe()->setTruePeak(0.0f);
            engine.setSampleRate(rate);
            if (unit) unit->setSampleRate(secondRate);
        } else {
            engine.setSampleRate(rate);
            if (lfe()) {
                lfe()->setTruePeak(0.0f);
                lfe()->setSampleRate(rate);
            }
        }
        if (startUp != StartUp::PortPluginsNoActivate) reset();
    }
    LevelerCore& main() { return unit ? unit->main : *single; }
    LevelerCore* lfe() { return unit ? &unit->lfe : nullptr; }
    void apply(ParamId id, float plain) { applyEngineValue(main(), lfe(), id, plain); }
    void reset() { unit ? unit->reset() : single->reset(); }
    void setSampleRate(float hz) { unit ? unit->setSampleRate(hz) : single->setSampleRate(hz); }
    void process(float** in, float** out, int64_t offset, int32_t n) {
        const std::vector<float*> i = at(in, channelsOf(layout), offset), o = at(out, channelsOf(layout), offset);
        if (layout == Layout::Mono)
            single->processMono(i[0], o[0], n);
        else if (layout == Layout::Stereo)
            single->processStereo(i[0], i[1], o[0], o[1], n);
        else
            unit->process(i.data(), o.data(), n);
    }

    const Layout layout;
    std::unique_ptr<LevelerCore> single;
    std::unique_ptr<Surround51> unit;
};

}  // namespace coretest
