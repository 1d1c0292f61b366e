#include "Vst3Processor.h"

#include <cmath>
#include <cstring>
#include <new>

#include "BlockChanges.h"
#include "Utf16.h"
#include "Vst3Classes.h"
#include "Vst3Parameters.h"
#include "Vst3State.h"

namespace orvanta_vst3 {

namespace {

// The rate a processor starts with, before the host's set-up.
constexpr float kStartRateHz = 44100.0f;

bool isAudioBus(vst3::int32 mediaType, vst3::int32 direction, vst3::int32 index) {
    return mediaType == vst3::kAudio && (direction == vst3::kInput || direction == vst3::kOutput) && index == 0;
}

}  // namespace

Vst3Processor* Vst3Processor::create(Layout layout) noexcept {
    std::unique_ptr<PluginCore> core = PluginCore::create(layout, kStartRateHz);
    if (!core) return nullptr;
    Vst3Processor* processor = new (std::nothrow) Vst3Processor(layout, std::move(core));
    if (processor == nullptr) return nullptr;
    try {
        processor->dry_.prepare(processor->core_->channels(), processor->core_->latency());
    } catch (...) {
        processor->release();
        return nullptr;
    }
    return processor;
}

Vst3Processor::Vst3Processor(Layout layout, std::unique_ptr<PluginCore> core)
    : layout_(layout), core_(std::move(core)) {}

vst3::SpeakerArrangement Vst3Processor::arrangement() const {
    return layout_ == Layout::Surround51 ? vst3::kArrangement51 : vst3::kArrangementStereo;
}

// ---------------------------------------------------------------- set-up

// The host context is not needed: the processor asks the host nothing.
vst3::tresult Vst3Processor::initialize(vst3::FUnknown*) { return vst3::kResultOk; }

vst3::tresult Vst3Processor::terminate() {
    active_.store(false);
    return vst3::kResultOk;
}

vst3::tresult Vst3Processor::getControllerClassId(vst3::TUID classId) {
    if (classId == nullptr) return vst3::kInvalidArgument;
    const vst3::Uid uid = classOf(layout_, ClassRole::Controller).id.uid();
    std::memcpy(classId, uid.bytes, sizeof uid.bytes);
    return vst3::kResultOk;
}

// Effects have no i/o modes.
vst3::tresult Vst3Processor::setIoMode(vst3::int32) { return vst3::kNotImplemented; }

vst3::int32 Vst3Processor::getBusCount(vst3::int32 mediaType, vst3::int32 direction) {
    return isAudioBus(mediaType, direction, 0) ? 1 : 0;
}

vst3::tresult Vst3Processor::getBusInfo(vst3::int32 mediaType, vst3::int32 direction, vst3::int32 index,
                                        vst3::BusInfo& bus) {
    if (!isAudioBus(mediaType, direction, index)) return vst3::kInvalidArgument;
    std::memset(&bus, 0, sizeof bus);
    bus.mediaType = vst3::kAudio;
    bus.direction = direction;
    bus.channelCount = core_->channels();
    toUtf16(direction == vst3::kInput ? "Input" : "Output", bus.name, 128);
    bus.busType = vst3::kMain;
    bus.flags = vst3::BusInfo::kDefaultActive;
    return vst3::kResultOk;
}

vst3::tresult Vst3Processor::getRoutingInfo(vst3::RoutingInfo&, vst3::RoutingInfo&) {
    return vst3::kNotImplemented;
}

// The buses are always there; a host may switch them either way.
vst3::tresult Vst3Processor::activateBus(vst3::int32 mediaType, vst3::int32 direction, vst3::int32 index,
                                         vst3::TBool) {
    return isAudioBus(mediaType, direction, index) ? vst3::kResultOk : vst3::kInvalidArgument;
}

vst3::tresult Vst3Processor::setActive(vst3::TBool state) {
    if (state) {
        core_->reset();
        dry_.clear();
    }
    active_.store(state != 0);
    return vst3::kResultOk;
}

vst3::tresult Vst3Processor::setBusArrangements(vst3::SpeakerArrangement* inputs, vst3::int32 inputCount,
                                                vst3::SpeakerArrangement* outputs, vst3::int32 outputCount) {
    const bool ours = inputs != nullptr && outputs != nullptr && inputCount == 1 && outputCount == 1 &&
                      inputs[0] == arrangement() && outputs[0] == arrangement();
    return ours ? vst3::kResultTrue : vst3::kResultFalse;
}

vst3::tresult Vst3Processor::getBusArrangement(vst3::int32 direction, vst3::int32 index,
                                               vst3::SpeakerArrangement& result) {
    if (!isAudioBus(vst3::kAudio, direction, index)) return vst3::kInvalidArgument;
    result = arrangement();
    return vst3::kResultTrue;
}

vst3::tresult Vst3Processor::canProcessSampleSize(vst3::int32 sampleSize) {
    return sampleSize == vst3::kSample32 ? vst3::kResultTrue : vst3::kResultFalse;
}

vst3::uint32 Vst3Processor::getLatencySamples() { return core_->latency(); }

vst3::uint32 Vst3Processor::getTailSamples() { return core_->latency(); }

vst3::tresult Vst3Processor::setupProcessing(vst3::ProcessSetup& setup) {
    if (processing_.load()) return vst3::kResultFalse;
    if (setup.symbolicSampleSize != vst3::kSample32) return vst3::kResultFalse;
    if (!(setup.sampleRate > 0.0) || !std::isfinite(setup.sampleRate)) return vst3::kInvalidArgument;
    core_->setSampleRate(static_cast<float>(setup.sampleRate));
    try {
        dry_.prepare(core_->channels(), core_->latency());
    } catch (...) {
        // Without memory the line stays empty: bypassed frames come out
        // undelayed rather than not at all.
        dry_.prepare(core_->channels(), 0);
        return vst3::kOutOfMemory;
    }
    return vst3::kResultOk;
}

vst3::tresult Vst3Processor::setProcessing(vst3::TBool state) {
    processing_.store(state != 0);
    return vst3::kResultOk;
}

// ---------------------------------------------------------------- state

vst3::tresult Vst3Processor::setState(vst3::IBStream* state) {
    char text[kStateBytes];
    size_t length = 0;
    if (!readStream(state, text, sizeof text, length)) return vst3::kResultFalse;
    if (!core_->restoreState(text, length)) return vst3::kResultFalse;
    bypassed_.store(bypassedInState(text, length));
    return vst3::kResultOk;
}

vst3::tresult Vst3Processor::getState(vst3::IBStream* state) {
    char text[kStateBytes];
    const size_t length = writeComponentState(*core_, bypassed_.load(), text, sizeof text);
    if (length == 0) return vst3::kInternalError;
    return writeStream(state, text, length) ? vst3::kResultOk : vst3::kResultFalse;
}

// ---------------------------------------------------------------- processing

float** Vst3Processor::channelsOf(const vst3::AudioBusBuffers* buses, vst3::int32 busCount) const {
    if (buses == nullptr || busCount < 1 || buses[0].numChannels != core_->channels()) return nullptr;
    float** channels = buses[0].channelBuffers32;
    if (channels == nullptr) return nullptr;
    for (int32_t ch = 0; ch < core_->channels(); ++ch)
        if (channels[ch] == nullptr) return nullptr;
    return channels;
}

void Vst3Processor::apply(vst3::ParamID id, double normalised) {
    switch (kindOf(layout_, id)) {
        case ParameterKind::Table: core_->setNormalised(static_cast<ParamId>(id), static_cast<float>(normalised)); break;
        case ParameterKind::Bypass:
            if (!std::isnan(normalised)) bypassed_.store(normalised >= 0.5, std::memory_order_relaxed);
            break;
        default: break;  // the meters are ours to report, not the host's to set
    }
}

vst3::tresult Vst3Processor::process(vst3::ProcessData& data) {
    BlockChanges changes(data.inputParameterChanges, layout_);
    const auto apply = [this](vst3::ParamID id, double value) { this->apply(id, value); };
    const vst3::int32 frames = data.numSamples > 0 ? data.numSamples : 0;
    float** inputs = channelsOf(data.inputs, data.numInputs);
    float** outputs = channelsOf(data.outputs, data.numOutputs);
    const bool floats = data.symbolicSampleSize == vst3::kSample32;
    if (!active_.load(std::memory_order_relaxed) || !floats || (frames > 0 && (inputs == nullptr || outputs == nullptr))) {
        changes.applyUpTo(BlockChanges::kAfterTheBlock, apply);
        if (floats) silence(data);
        return active_.load(std::memory_order_relaxed) ? vst3::kInvalidArgument : vst3::kNotInitialized;
    }

    core_->beginMeterBlock();
    changes.applyUpTo(0, apply);
    for (vst3::int32 at = 0; at < frames;) {
        const vst3::int32 next = changes.nextOffset(frames);
        runSpan(inputs, outputs, at, next - at);
        at = next;
        changes.applyUpTo(at, apply);
    }
    // Points at or beyond the end take effect from the next block.
    changes.applyUpTo(BlockChanges::kAfterTheBlock, apply);
    core_->publishMeters();
    reportMeters(data.outputParameterChanges);
    if (frames > 0) data.outputs[0].silenceFlags = 0;
    return vst3::kResultOk;
}

void Vst3Processor::runSpan(float* const* inputs, float* const* outputs, vst3::int32 start, vst3::int32 frames) {
    const float* in[Surround51::kChannels];
    float* out[Surround51::kChannels];
    const int32_t channels = core_->channels();
    for (vst3::int32 done = 0; done < frames;) {
        const auto piece = static_cast<uint32_t>(
            frames - done < static_cast<vst3::int32>(BypassDelay::kPieceFrames) ? frames - done
                                                                                : BypassDelay::kPieceFrames);
        for (int32_t ch = 0; ch < channels; ++ch) {
            in[ch] = inputs[ch] + start + done;
            out[ch] = outputs[ch] + start + done;
        }
        // The dry line reads the input before the engines may overwrite it
        // in place.
        const bool bypassed = bypassed_.load(std::memory_order_relaxed);
        dry_.push(in, piece, bypassed);
        core_->process(in, out, piece);
        if (bypassed) dry_.emit(out, piece);
        done += static_cast<vst3::int32>(piece);
    }
}

void Vst3Processor::silence(vst3::ProcessData& data) const {
    if (data.outputs == nullptr || data.numSamples <= 0) return;
    for (vst3::int32 bus = 0; bus < data.numOutputs; ++bus) {
        vst3::AudioBusBuffers& buffers = data.outputs[bus];
        if (buffers.channelBuffers32 == nullptr || buffers.numChannels <= 0) continue;
        // The silence flags have room for 64 channels.
        const vst3::int32 channels = buffers.numChannels < 64 ? buffers.numChannels : 64;
        for (vst3::int32 ch = 0; ch < channels; ++ch)
            if (buffers.channelBuffers32[ch] != nullptr)
                std::memset(buffers.channelBuffers32[ch], 0, sizeof(float) * static_cast<size_t>(data.numSamples));
        buffers.silenceFlags = channels == 64 ? ~0ull : (1ull << channels) - 1;
    }
}

void Vst3Processor::reportMeters(vst3::IParameterChanges* changes) const {
    if (changes == nullptr) return;
    const PluginCore::Meters meters = core_->meters();
    const vst3::ParamID ids[] = {kGainMeterId, kReductionMeterId};
    const float values[] = {meters.levelerGainDb, meters.limiterReductionDb};
    for (int i = 0; i < 2; ++i) {
        vst3::int32 index = 0;
        vst3::IParamValueQueue* queue = changes->addParameterData(ids[i], index);
        if (queue != nullptr) queue->addPoint(0, meterNormalised(ids[i], values[i]), index);
    }
}

}  // namespace orvanta_vst3
