#include "PortPlugin.h"

#include <new>

PortPlugin* PortPlugin::create(const PortLayout& ports, float sampleRateHz) noexcept {
    if (ports.portSlots > kMaxPortSlots) return nullptr;
    std::unique_ptr<PluginCore> core = PluginCore::create(ports.layout, sampleRateHz);
    if (!core) return nullptr;
    return new (std::nothrow) PortPlugin(ports, std::move(core));
}

PortPlugin::PortPlugin(const PortLayout& ports, std::unique_ptr<PluginCore> core)
    : layout_(ports), core_(std::move(core)), latency_(static_cast<float>(core_->latency())) {
    for (int32_t i = 0; i < kParamCount; ++i) lastValues_[i] = paramTable[i].engineDefault;
}

PortPlugin::~PortPlugin() = default;

void PortPlugin::connect(uint64_t port, float* location) {
    if (port >= static_cast<uint64_t>(layout_.portSlots)) return;
    ports_[port] = location;
    // Some hosts read the latency once, between activation and the first run,
    // to size their compensation: it is there from the moment it is connected.
    if (static_cast<int32_t>(port) == layout_.latencyPort) write(layout_.latencyPort, latency_);
}

void PortPlugin::activate() {
    core_->reset();
    write(layout_.latencyPort, latency_);
}

void PortPlugin::write(int32_t port, float value) {
    if (port >= 0 && ports_[port] != nullptr) *ports_[port] = value;
}

void PortPlugin::run(uint64_t frames) {
    const int32_t controls = core_->parameterCount();
    for (int32_t i = 0; i < controls; ++i) {
        if (ports_[i] == nullptr) continue;
        const float value = *ports_[i];
        if (value == lastValues_[i]) continue;  // NaN never compares equal
        lastValues_[i] = value;
        core_->setPlain(static_cast<ParamId>(i), value);  // a non-finite value is ignored there
    }
    write(layout_.latencyPort, latency_);

    const bool metered = layout_.gainMeterPort >= 0;
    if (metered) core_->beginMeterBlock();
    const float* inputs[Surround51::kChannels];
    float* outputs[Surround51::kChannels];
    for (int32_t ch = 0; ch < core_->channels(); ++ch) {
        inputs[ch] = ports_[layout_.firstAudioPort + 2 * ch];
        outputs[ch] = ports_[layout_.firstAudioPort + 2 * ch + 1];
    }
    core_->process(inputs, outputs, frames);
    if (metered) {
        core_->publishMeters();
        const PluginCore::Meters meters = core_->meters();
        write(layout_.gainMeterPort, meters.levelerGainDb);
        write(layout_.reductionMeterPort, meters.limiterReductionDb);
    }
}
