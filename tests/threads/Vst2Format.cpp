// VST 2.4: the stereo (layout 0) and 5.1 (layout 1) effect libraries, through
// the entry point, with a host that answers only the version and the rate.
#include "PluginFormats.h"

#include <dlfcn.h>

#include "aeffectx.h"

namespace threadtest {
namespace {

// Any thread: the effects call it while they are created (version, rate).
VstIntPtr VSTCALLBACK quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterGetSampleRate) return 0;  // the rate comes by effSetSampleRate
    return 0;
}

class Vst2Instance : public Instance {
public:
    Vst2Instance(AEffect* effect, float rateHz) : effect_(effect) {
        dispatch(effOpen);
        dispatch(effSetSampleRate, 0, rateHz);
        dispatch(effSetBlockSize, 1024);
        dispatch(effMainsChanged, 1);
    }
    ~Vst2Instance() override {
        dispatch(effMainsChanged, 0);
        dispatch(effClose);
    }

    int channels() const override { return effect_->numInputs; }
    int controls() const override { return effect_->numParams; }
    void setControl(int index, float normalised) override { effect_->setParameter(effect_, index, normalised); }
    void process(float* const* in, float* const* out, int frames) override {
        effect_->processReplacing(effect_, const_cast<float**>(in), const_cast<float**>(out), frames);
    }

private:
    void dispatch(VstInt32 opcode, VstIntPtr value = 0, float opt = 0.0f) {
        effect_->dispatcher(effect_, opcode, 0, value, nullptr, opt);
    }
    AEffect* effect_;
};

using Entry = AEffect* (*)(audioMasterCallback);

Entry loadEntry(int layout, std::string& error) {
    static const char* const kLibraries[] = {ORVANTA_PLUGIN_DIR "/Orvanta64.so", ORVANTA_PLUGIN_DIR "/Orvanta64_51.so"};
    static void* const handles[] = {dlopen(kLibraries[0], RTLD_NOW | RTLD_LOCAL),
                                    dlopen(kLibraries[1], RTLD_NOW | RTLD_LOCAL)};
    if (!handles[layout]) {
        error = std::string(kLibraries[layout]) + ": cannot load it";
        return nullptr;
    }
    return reinterpret_cast<Entry>(dlsym(handles[layout], "VSTPluginMain"));
}

}  // namespace

std::unique_ptr<Instance> createVst2(int layout, float rateHz, std::string& error) {
    const Entry entry = loadEntry(layout, error);
    AEffect* effect = entry ? entry(quietHost) : nullptr;
    if (effect == nullptr) {
        if (error.empty()) error = "VST effect " + std::to_string(layout) + ": no instance";
        return nullptr;
    }
    return std::make_unique<Vst2Instance>(effect, rateHz);
}

}  // namespace threadtest
