// LV2: the bundle's binary loaded as a host loads it (lv2_descriptor, no
// features needed), layout = descriptor index.
#include "PluginFormats.h"

#include <dlfcn.h>
#include <lv2/core/lv2.h>

#include <vector>

#include "ParamTable.h"

namespace threadtest {
namespace {

constexpr const char* kBinary = ORVANTA_LV2_BUNDLE "/orvanta64.so";

class Lv2Instance : public Instance {
public:
    Lv2Instance(const LV2_Descriptor* d, LV2_Handle handle, int controls, int channels)
        : d_(d), handle_(handle), controls_(controls), channels_(channels),
          cells_(static_cast<size_t>(controls) + kReports, 0.0f) {
        for (int i = 0; i < controls_; ++i) cells_[static_cast<size_t>(i)] = paramTable[i].engineDefault;
        for (size_t p = 0; p < cells_.size(); ++p) d_->connect_port(handle_, static_cast<uint32_t>(p), &cells_[p]);
        if (d_->activate) d_->activate(handle_);
    }
    ~Lv2Instance() override {
        if (d_->deactivate) d_->deactivate(handle_);
        d_->cleanup(handle_);
    }

    int channels() const override { return channels_; }
    int controls() const override { return controls_; }
    void setControl(int index, float normalised) override {
        cells_[static_cast<size_t>(index)] = engineValue(index, normalised);
    }
    void process(float* const* in, float* const* out, int frames) override {
        // Ports: the controls, latency and the two meters, then input and
        // output per channel.
        const uint32_t firstAudio = static_cast<uint32_t>(cells_.size());
        for (int c = 0; c < channels_; ++c) {
            d_->connect_port(handle_, firstAudio + 2 * static_cast<uint32_t>(c), in[c]);
            d_->connect_port(handle_, firstAudio + 2 * static_cast<uint32_t>(c) + 1, out[c]);
        }
        d_->run(handle_, static_cast<uint32_t>(frames));
    }

private:
    static constexpr size_t kReports = 3;  // latency, leveler gain, limiter reduction
    const LV2_Descriptor* d_;
    LV2_Handle handle_;
    int controls_;
    int channels_;
    std::vector<float> cells_;
};

LV2_Descriptor_Function loadEntry(std::string& error) {
    static void* handle = dlopen(kBinary, RTLD_NOW | RTLD_LOCAL);
    static std::string loadError = handle ? "" : dlerror();
    if (!handle) {
        error = loadError;
        return nullptr;
    }
    return reinterpret_cast<LV2_Descriptor_Function>(dlsym(handle, "lv2_descriptor"));
}

}  // namespace

std::unique_ptr<Instance> createLv2(int layout, float rateHz, std::string& error) {
    const LV2_Descriptor_Function entry = loadEntry(error);
    const LV2_Descriptor* d = entry ? entry(static_cast<uint32_t>(layout)) : nullptr;
    if (d == nullptr) {
        if (error.empty()) error = std::string("no LV2 plug-in ") + std::to_string(layout) + " in " + kBinary;
        return nullptr;
    }
    const LV2_Feature* const noFeatures[] = {nullptr};
    LV2_Handle handle = d->instantiate(d, rateHz, ORVANTA_LV2_BUNDLE, noFeatures);
    if (handle == nullptr) {
        error = std::string(d->URI) + ": instantiate failed";
        return nullptr;
    }
    const int channels[] = {1, 2, 6};
    return std::make_unique<Lv2Instance>(d, handle, paramCount(static_cast<Layout>(layout)), channels[layout]);
}

}  // namespace threadtest
