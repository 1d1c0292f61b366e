// CLAP: the module's mono, stereo and 5.1 plug-ins (layouts 0, 1, 2) through
// the test host; and a host that switches an instance off and on while its
// audio thread keeps calling process.
#include "PluginFormats.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include "ClapHost.h"
#include "ParamTable.h"

namespace threadtest {
namespace {

const char* const kIds[] = {"com.veltrano.orvanta.mono", "com.veltrano.orvanta.stereo", "com.veltrano.orvanta.5dot1"};
constexpr int kChannels[] = {1, 2, 6};

const clap_plugin_factory_t* factory(std::string& error) {
    static const clap_plugin_factory_t* const loaded = []() -> const clap_plugin_factory_t* {
        const clap_plugin_entry_t* entry = claphost::loadEntry(ORVANTA_CLAP_MODULE);
        if (!entry || !entry->init(ORVANTA_CLAP_MODULE)) return nullptr;
        return static_cast<const clap_plugin_factory_t*>(entry->get_factory(kClapPluginFactoryId));
    }();
    if (!loaded) error = std::string(ORVANTA_CLAP_MODULE) + ": no plug-in factory";
    return loaded;
}

class ClapInstance : public Instance {
public:
    ClapInstance(const clap_plugin_factory_t* f, int layout)
        : plugin_(f, kIds[layout]), layout_(layout), audio_(kChannels[layout]) {}
    bool start(float rateHz) {
        return plugin_.plugin && plugin_.plugin->activate(plugin_.plugin, rateHz, 1, 4096) &&
               plugin_.plugin->start_processing(plugin_.plugin);
    }
    ~ClapInstance() override {
        if (plugin_.plugin) plugin_.plugin->stop_processing(plugin_.plugin), plugin_.plugin->deactivate(plugin_.plugin);
    }

    int channels() const override { return kChannels[layout_]; }
    int controls() const override { return paramCount(layout_ == 2 ? Layout::Surround51 : Layout::Stereo); }
    // An event at the next block's first frame, in engine units.
    void setControl(int index, float normalised) override {
        events_.values.clear();
        events_.add(0, static_cast<clap_id>(index), engineValue(index, normalised));
    }
    void process(float* const* in, float* const* out, int frames) override {
        for (int c = 0; c < channels(); ++c) audio_[c].assign(in[c], in[c] + frames);
        plugin_.process(audio_, static_cast<uint32_t>(frames), &events_);
        for (int c = 0; c < channels(); ++c) std::copy(audio_[c].begin(), audio_[c].end(), out[c]);
        events_.values.clear();
    }

private:
    claphost::Plugin plugin_;
    int layout_;
    std::vector<std::vector<float>> audio_;  // the host's buffers, processed in place
    claphost::Events events_;
};

}  // namespace

std::unique_ptr<Instance> createClap(int layout, float rateHz, std::string& error) {
    const clap_plugin_factory_t* f = factory(error);
    if (!f) return nullptr;
    auto instance = std::make_unique<ClapInstance>(f, layout);
    if (!instance->start(rateHz)) {
        error = std::string(kIds[layout]) + ": no active instance";
        return nullptr;
    }
    return instance;
}

// The main thread deactivates and activates the stereo plug-in at other
// rates while the audio thread processes: each block either runs on engines
// derived whole (finite output) or is refused with silence, never in between.
std::string clapSwitchesWhileProcessing() {
    std::string error;
    const clap_plugin_factory_t* f = factory(error);
    if (!f) return error;
    claphost::Plugin p(f, kIds[1]);
    if (!p.plugin || !p.plugin->activate(p.plugin, 48000.0, 1, 512)) return "stereo: no active instance";
    std::atomic<bool> done{false};
    std::atomic<int> processed{0};
    int refused = 0, notFinite = 0;
    std::thread audioThread([&] {
        std::vector<std::vector<float>> audio(2, std::vector<float>(512));
        for (uint32_t block = 0; !done.load() || processed == 0; ++block) {
            for (auto& channel : audio)
                for (size_t i = 0; i < channel.size(); ++i) channel[i] = 0.5f * std::sin(0.01f * (i + block));
            claphost::Events events;
            events.add(block % 512, static_cast<clap_id>(block % 8), engineValue(block % 8, (block % 11) / 10.0f));
            if (p.process(audio, 512, &events) == CLAP_PROCESS_CONTINUE) {
                ++processed;
                for (const auto& channel : audio)
                    for (float s : channel) notFinite += std::isfinite(s) ? 0 : 1;
            } else {
                ++refused;
                for (const auto& channel : audio)
                    for (float s : channel) notFinite += s == 0.0f ? 0 : 1;
            }
        }
    });
    const double rates[] = {44100.0, 96000.0, 22050.0, 48000.0};
    // After each activation the audio thread gets a block in (or 2 s), so
    // that switching meets blocks running, not only refused ones.
    int cycle = 0;
    for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
         cycle < 200 && std::chrono::steady_clock::now() < end; ++cycle) {
        const int before = processed.load();
        while (processed.load() == before && std::chrono::steady_clock::now() < end) std::this_thread::yield();
        p.plugin->deactivate(p.plugin);
        p.plugin->activate(p.plugin, rates[cycle % 4], 1, 512);
    }
    done.store(true);
    audioThread.join();
    p.plugin->deactivate(p.plugin);
    if (notFinite) return std::to_string(notFinite) + " samples neither processed nor silent";
    if (processed.load() < cycle) return "the audio thread got too few blocks in";
    std::printf("CLAP switched off and on %d times while processing: %d blocks processed, %d refused\n", cycle,
                processed.load(), refused);
    return "";
}

}  // namespace threadtest
