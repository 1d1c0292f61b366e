#include "EngineGroup.h"

#include <cstring>
#include <new>

EngineGroup::EngineGroup(Layout layout, int rateHz, const Settings& settings)
    : core_(PluginCore::create(layout, static_cast<float>(rateHz))) {
    if (!core_) throw std::bad_alloc();
    core_->reset();
    for (int32_t i = 0; i < paramCount(layout); ++i) {
        const float value = settings.values[i];
        if (std::memcmp(&value, &paramTable[i].engineDefault, sizeof value) == 0) continue;
        core_->setPlain(static_cast<ParamId>(i), value);
    }
}

void EngineGroup::process(const float* const* inputs, float* const* outputs, int32_t frames) {
    core_->process(inputs, outputs, frames > 0 ? static_cast<uint64_t>(frames) : 0);
}

double EngineGroup::takeDeepestReductionDb() {
    const double db = core_->deepestReductionDb();
    core_->beginMeterBlock();
    return db;
}
