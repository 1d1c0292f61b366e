#include "PluginCore.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "Meters.h"
#include "ParameterState.h"

namespace {

// The engines count frames in signed 32 bits; longer blocks go through in
// pieces of this size.
constexpr uint64_t kMaxEngineFrames = 1u << 30;

constexpr float kNormalisedMin = 0.0f;
constexpr float kNormalisedMax = 1.0f;

}  // namespace

std::unique_ptr<PluginCore> PluginCore::create(Layout layout, float sampleRateHz) noexcept {
    // A rate that is no number has no meaning; every other value is the
    // engines' to clamp.
    if (std::isnan(sampleRateHz)) return nullptr;
    try {
        return std::unique_ptr<PluginCore>(new PluginCore(layout, sampleRateHz));
    } catch (...) {  // allocation failure: whatever was built has been released
        return nullptr;
    }
}

// The start-up sequence of every front end: the layout's defaults on the main
// engine (channel share first), then its rate; the 5.1 LFE engine, which only
// limits, gets only the True Peak default and the rate.
PluginCore::PluginCore(Layout layout, float sampleRateHz) : layout_(layout) {
    for (int32_t i = 0; i < kParamCount; ++i) {
        plain_[i].store(paramTable[i].engineDefault, std::memory_order_relaxed);
        normalised_[i].store(paramTable[i].normalisedDefault, std::memory_order_relaxed);
    }
    if (layout == Layout::Surround51) {
        surround_ = std::make_unique<Surround51>();
        applyInitialParameters(surround_->main, layout);
        surround_->main.setSampleRate(sampleRateHz);
        surround_->lfe.setTruePeak(paramTable[static_cast<int32_t>(ParamId::TruePeak)].engineDefault);
        surround_->lfe.setSampleRate(sampleRateHz);
    } else {
        single_ = std::make_unique<LevelerCore>();
        applyInitialParameters(*single_, layout);
        single_->setSampleRate(sampleRateHz);
    }
}

PluginCore::~PluginCore() = default;

int32_t PluginCore::channels() const {
    switch (layout_) {
        case Layout::Mono: return 1;
        case Layout::Stereo: return 2;
        case Layout::Surround51: return Surround51::kChannels;
    }
    return 0;
}

bool PluginCore::isParameter(ParamId id) const {
    const auto index = static_cast<int32_t>(id);
    return index >= 0 && index < parameterCount();
}

LevelerCore& PluginCore::mainEngine() { return single_ ? *single_ : surround_->main; }
const LevelerCore& PluginCore::mainEngine() const { return single_ ? *single_ : surround_->main; }
LevelerCore* PluginCore::lfeEngine() { return surround_ ? &surround_->lfe : nullptr; }

// ---------------------------------------------------------------- parameters

bool PluginCore::setPlain(ParamId id, float value) {
    if (!isParameter(id) || !std::isfinite(value)) return false;
    const float plain = plainFromPort(id, value);
    store(id, plain, toNormalised(id, plain));
    return true;
}

bool PluginCore::setNormalised(ParamId id, float value) {
    if (!isParameter(id) || std::isnan(value)) return false;
    const float normalised = std::fmin(std::fmax(value, kNormalisedMin), kNormalisedMax);
    if (id == ParamId::CorrMixMode) {
        const int32_t mode = normalisedToMode(normalised);
        store(id, static_cast<float>(mode), modeToNormalised(mode));
    } else {
        store(id, toEngineValue(id, normalised), normalised);
    }
    return true;
}

float PluginCore::plain(ParamId id) const {
    return isParameter(id) ? plain_[static_cast<int32_t>(id)].load(std::memory_order_relaxed) : 0.0f;
}

float PluginCore::normalised(ParamId id) const {
    return isParameter(id) ? normalised_[static_cast<int32_t>(id)].load(std::memory_order_relaxed) : 0.0f;
}

void PluginCore::store(ParamId id, float plain, float normalised) {
    const auto index = static_cast<int32_t>(id);
    normalised_[index].store(normalised, std::memory_order_relaxed);
    plain_[index].store(plain, std::memory_order_relaxed);
    if (!pending_.push(ParameterChange{index, plain})) resyncPending_.store(true, std::memory_order_release);
}

void PluginCore::applyToEngines(int32_t index, float plain) {
    applyEngineValue(mainEngine(), lfeEngine(), static_cast<ParamId>(index), plain);
}

void PluginCore::applyPendingChanges() {
    // At most one queue's worth per call, so that producers that never stop
    // cannot hold the audio thread here; what remains waits for the next block.
    ParameterChange change;
    for (uint32_t taken = 0; taken < kQueuedChanges && pending_.pop(change); ++taken)
        applyToEngines(change.index, change.plainValue);
    // After the queue, so that no older queued value lands after the resync.
    if (resyncPending_.load(std::memory_order_relaxed) &&
        resyncPending_.exchange(false, std::memory_order_acquire)) {
        for (int32_t i = 0; i < parameterCount(); ++i)
            applyToEngines(i, plain_[i].load(std::memory_order_relaxed));
    }
}

// ---------------------------------------------------------------- processing

bool PluginCore::process(const float* const* inputs, float* const* outputs, uint64_t frames) {
    applyPendingChanges();
    if (frames == 0) return true;
    if (inputs == nullptr || outputs == nullptr) return false;
    for (int32_t ch = 0; ch < channels(); ++ch)
        if (inputs[ch] == nullptr || outputs[ch] == nullptr) return false;
    for (uint64_t done = 0; done < frames;) {
        const uint64_t left = frames - done;
        const auto n = static_cast<int32_t>(left < kMaxEngineFrames ? left : kMaxEngineFrames);
        processPiece(inputs, outputs, done, n);
        done += static_cast<uint64_t>(n);
    }
    return true;
}

void PluginCore::processPiece(const float* const* inputs, float* const* outputs, uint64_t offset,
                              int32_t frames) {
    const float* in[Surround51::kChannels];
    float* out[Surround51::kChannels];
    for (int32_t ch = 0; ch < channels(); ++ch) {
        in[ch] = inputs[ch] + offset;
        out[ch] = outputs[ch] + offset;
    }
    switch (layout_) {
        case Layout::Mono: single_->processMono(in[0], out[0], frames); break;
        case Layout::Stereo: single_->processStereo(in[0], in[1], out[0], out[1], frames); break;
        case Layout::Surround51: surround_->process(in, out, frames); break;
    }
}

void PluginCore::setSampleRate(float hz) {
    applyPendingChanges();
    if (!std::isfinite(hz)) return;
    if (surround_)
        surround_->setSampleRate(hz);
    else
        single_->setSampleRate(hz);
}

void PluginCore::reset() {
    applyPendingChanges();
    if (surround_)
        surround_->reset();
    else
        single_->reset();
}

uint32_t PluginCore::latency() const { return mainEngine().latency(); }

void PluginCore::startDetectorAt(float lufs) {
    applyPendingChanges();  // a gain-law change after the start would restart the detector
    mainEngine().startDetectorAt(lufs);
}

// ---------------------------------------------------------------- meters

void PluginCore::beginMeterBlock() {
    mainEngine().clearDeepestEnvelope();
    if (LevelerCore* lfe = lfeEngine()) lfe->clearDeepestEnvelope();
}

void PluginCore::publishMeters() {
    using namespace orvanta_meters;
    gainMeterDb_.store(levelerGainDb(mainEngine().getLevelerGain()), std::memory_order_relaxed);
    // 5.1: the deeper of the two limiters (the main channels' or the LFE's).
    float reduction = limiterReductionDb(mainEngine().deepestReductionDb());
    if (const LevelerCore* lfe = lfeEngine()) {
        const float lfeReduction = limiterReductionDb(lfe->deepestReductionDb());
        reduction = reduction > lfeReduction ? reduction : lfeReduction;
    }
    reductionMeterDb_.store(reduction, std::memory_order_relaxed);
}

PluginCore::Meters PluginCore::meters() const {
    return {gainMeterDb_.load(std::memory_order_relaxed), reductionMeterDb_.load(std::memory_order_relaxed)};
}

float PluginCore::levelerGain() const { return mainEngine().getLevelerGain(); }

double PluginCore::deepestReductionDb() const {
    const double main = mainEngine().deepestReductionDb();
    return surround_ ? std::max(main, surround_->lfe.deepestReductionDb()) : main;
}

// ---------------------------------------------------------------- state

size_t PluginCore::saveState(char* text, size_t capacity) const {
    float values[kParamCount];
    for (int32_t i = 0; i < parameterCount(); ++i) values[i] = plain_[i].load(std::memory_order_relaxed);
    return writeParameterState(values, parameterCount(), text, capacity);
}

bool PluginCore::restoreState(const char* text, size_t length) {
    float values[kParamCount];
    if (!readParameterState(text, length, kMaxStateBytes, parameterCount(), values)) return false;
    // Every value stored before the one flag that hands them over together.
    for (int32_t i = 0; i < parameterCount(); ++i) {
        const auto id = static_cast<ParamId>(i);
        normalised_[i].store(toNormalised(id, values[i]), std::memory_order_relaxed);
        plain_[i].store(values[i], std::memory_order_relaxed);
    }
    resyncPending_.store(true, std::memory_order_release);
    return true;
}
