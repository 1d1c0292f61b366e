// VST 3: the stereo (layout 0) and 5.1 (layout 1) effects of the bundle's
// module, through the test host's module, processor and controller.
#include "PluginFormats.h"

#include "ParamTable.h"
#include "Vst3Host.h"

namespace threadtest {
namespace {

class Vst3Instance : public Instance {
public:
    Vst3Instance(const vst3host::Module& module, bool surround) : plugin_(module, surround) {}
    bool start(float rateHz) { return plugin_.ok() && plugin_.start(rateHz) == vst3::kResultOk; }

    int channels() const override { return plugin_.channels; }
    int controls() const override { return plugin_.channels == 6 ? kParamCount : kParamCount - 1; }
    // The change reaches the processor with the next block, as a host sends it.
    void setControl(int index, float normalised) override {
        changes_.queues.clear();
        changes_.add(static_cast<vst3::ParamID>(index), 0, normalised);
    }
    void process(float* const* in, float* const* out, int frames) override {
        plugin_.process(const_cast<float**>(in), const_cast<float**>(out), frames, &changes_);
        changes_.queues.clear();
    }

private:
    vst3host::Plugin plugin_;
    vst3host::Changes changes_;
};

}  // namespace

std::unique_ptr<Instance> createVst3(int layout, float rateHz, std::string& error) {
    static const vst3host::Module module(ORVANTA_VST3_MODULE);
    if (!module.factory) {
        error = std::string(ORVANTA_VST3_MODULE) + ": no factory";
        return nullptr;
    }
    auto instance = std::make_unique<Vst3Instance>(module, layout == 1);
    if (!instance->start(rateHz)) {
        error = "VST 3 effect " + std::to_string(layout) + ": no active instance";
        return nullptr;
    }
    return instance;
}

}  // namespace threadtest
