#include "EngineGroup.h"

#include <cmath>
#include <cstring>

EngineGroup::EngineGroup(Layout layout, int rateHz, const Settings& settings) : layout_(layout) {
    const float rate = static_cast<float>(rateHz);
    LevelerCore* lfe = nullptr;
    LevelerCore* engine = nullptr;
    if (layout == Layout::Surround51) {
        surround_ = std::make_unique<Surround51>();
        engine = &surround_->main;
        lfe = &surround_->lfe;
        applyInitialParameters(*engine, layout);
        engine->setSampleRate(rate);
        lfe->setTruePeak(paramTable[static_cast<int32_t>(ParamId::TruePeak)].engineDefault);
        lfe->setSampleRate(rate);
        surround_->reset();
    } else {
        single_ = std::make_unique<LevelerCore>();
        engine = single_.get();
        applyInitialParameters(*engine, layout);
        engine->setSampleRate(rate);
        engine->reset();
    }
    for (int32_t i = 0; i < paramCount(layout); ++i) {
        const float value = settings.values[i];
        if (std::memcmp(&value, &paramTable[i].engineDefault, sizeof value) == 0) continue;
        applyEngineValue(*engine, lfe, static_cast<ParamId>(i), value);
    }
}

uint32_t EngineGroup::latency() const { return main().latency(); }

void EngineGroup::startDetectorAt(float lufs) {
    (single_ ? *single_ : surround_->main).startDetectorAt(lufs);
}

void EngineGroup::setTargetLevel(float lufs) { (single_ ? *single_ : surround_->main).setTargetLevel(lufs); }

void EngineGroup::process(const float* const* inputs, float* const* outputs, int32_t frames) {
    switch (layout_) {
        case Layout::Mono:
            single_->processMono(inputs[0], outputs[0], frames);
            break;
        case Layout::Stereo:
            single_->processStereo(inputs[0], inputs[1], outputs[0], outputs[1], frames);
            break;
        case Layout::Surround51:
            surround_->process(inputs, outputs, frames);
            break;
    }
}

double EngineGroup::takeDeepestReductionDb() {
    auto take = [](LevelerCore& engine) {
        const double db = engine.deepestReductionDb();
        engine.clearDeepestEnvelope();
        return db;
    };
    if (single_) return take(*single_);
    return std::max(take(surround_->main), take(surround_->lfe));
}
