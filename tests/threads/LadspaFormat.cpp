// LADSPA: the library's three plug-ins, layout = descriptor index.
#include "PluginFormats.h"

#include "ParamTable.h"
#include "PluginHost.h"

namespace threadtest {
namespace {

class LadspaInstance : public Instance {
public:
    LadspaInstance(const LADSPA_Descriptor* d, unsigned long rate, int controls)
        : plugin_(d, rate), controls_(controls), channels_(static_cast<int>(d->PortCount - controls - 1) / 2) {}
    bool ok() const { return plugin_.ok(); }
    void start() { plugin_.activate(); }

    int channels() const override { return channels_; }
    int controls() const override { return controls_; }
    void setControl(int index, float normalised) override {
        plugin_.control(static_cast<unsigned long>(index)) = engineValue(index, normalised);
    }
    void process(float* const* in, float* const* out, int frames) override {
        // Ports: the controls, "latency", then input and output per channel.
        const unsigned long firstAudio = static_cast<unsigned long>(controls_) + 1;
        for (int c = 0; c < channels_; ++c) {
            plugin_.connect(firstAudio + 2 * static_cast<unsigned long>(c), in[c]);
            plugin_.connect(firstAudio + 2 * static_cast<unsigned long>(c) + 1, out[c]);
        }
        plugin_.run(static_cast<unsigned long>(frames));
    }

private:
    testhost::Instance plugin_;
    int controls_;
    int channels_;
};

}  // namespace

std::unique_ptr<Instance> createLadspa(int layout, float rateHz, std::string& error) {
    static testhost::Library library(ORVANTA_LADSPA_LIBRARY);
    const LADSPA_Descriptor* d = library.descriptor(static_cast<unsigned long>(layout));
    if (d == nullptr) {
        error = std::string("no LADSPA plug-in ") + std::to_string(layout) + " in " + ORVANTA_LADSPA_LIBRARY;
        return nullptr;
    }
    const int controls = paramCount(static_cast<Layout>(layout));
    auto instance = std::make_unique<LadspaInstance>(d, static_cast<unsigned long>(rateHz), controls);
    if (!instance->ok()) {
        error = std::string("LADSPA ") + d->Label + ": instantiate failed";
        return nullptr;
    }
    instance->start();
    return instance;
}

}  // namespace threadtest
