// The params extension: the parameter table's rows as CLAP parameters in
// plain engine units, then the two meters as read-only parameters.
//
// Ids are fixed forever (hosts store them with automation): a table row's id
// is its ParamId, the meters have ids of their own after a gap, so a row the
// table may gain later never meets them.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "ClapExtensions.h"
#include "ClapPlugin.h"
#include "Meters.h"

namespace {

constexpr clap_id kGainMeterId = 100;       // "Leveler Gain" (dB)
constexpr clap_id kReductionMeterId = 101;  // "Limiter Reduction" (dB)
constexpr uint32_t kMeterCount = 2;

struct MeterRow {
    clap_id id;
    const char* name;
    double lower;
    double upper;
};
constexpr MeterRow kMeters[kMeterCount] = {
    {kGainMeterId, "Leveler Gain", orvanta_meters::kGainMeterFloorDb, orvanta_meters::kGainMeterCeilingDb},
    {kReductionMeterId, "Limiter Reduction", 0.0, orvanta_meters::kReductionMeterMaxDb},
};

const MeterRow* meterRow(clap_id id) {
    for (const MeterRow& row : kMeters)
        if (row.id == id) return &row;
    return nullptr;
}

void copyName(char (&field)[kClapNameSize], const char* name) {
    std::snprintf(field, sizeof field, "%s", name);
}

// The plain value a host's value stands for: clamped to the row's bounds in
// double precision (so a huge value is the bound, not an infinity), and for
// the stepped mix mode truncated to its mode, as stepped values are taken.
// NaN: false.
bool plainFromHost(ParamId id, double value, float& plain) {
    if (std::isnan(value)) return false;
    const ParamInfo& row = paramTable[static_cast<int32_t>(id)];
    double clamped = std::fmin(std::fmax(value, static_cast<double>(row.lower)), static_cast<double>(row.upper));
    if (id == ParamId::CorrMixMode) clamped = std::trunc(clamped);
    plain = static_cast<float>(clamped);
    return true;
}

// ---------------------------------------------------------------- callbacks

// Main thread (any thread is answered): the rows of the layout, then the meters.
uint32_t ORVANTA_CLAP_ABI paramsCount(const clap_plugin_t* plugin) {
    const ClapPlugin* self = ClapPlugin::from(plugin);
    return self ? self->paramCount() : 0;
}

// Main thread (any thread is answered; constant data).
bool ORVANTA_CLAP_ABI paramsGetInfo(const clap_plugin_t* plugin, uint32_t index, clap_param_info_t* info) {
    const ClapPlugin* self = ClapPlugin::from(plugin);
    return self && self->paramInfo(index, info);
}

// Main thread (any thread is answered): the stored value, or the published meter.
bool ORVANTA_CLAP_ABI paramsGetValue(const clap_plugin_t* plugin, clap_id id, double* value) {
    const ClapPlugin* self = ClapPlugin::from(plugin);
    return self && self->paramValue(id, value);
}

// Main thread (any thread is answered).
bool ORVANTA_CLAP_ABI paramsValueToText(const clap_plugin_t* plugin, clap_id id, double value, char* text,
                                        uint32_t capacity) {
    const ClapPlugin* self = ClapPlugin::from(plugin);
    return self && self->valueToText(id, value, text, capacity);
}

// Main thread (any thread is answered).
bool ORVANTA_CLAP_ABI paramsTextToValue(const clap_plugin_t* plugin, clap_id id, const char* text,
                                        double* value) {
    const ClapPlugin* self = ClapPlugin::from(plugin);
    return self && self->textToValue(id, text, value);
}

// The audio thread while active, else the main thread; never during process
// (ClapProcess.cpp).
void ORVANTA_CLAP_ABI paramsFlush(const clap_plugin_t* plugin, const clap_input_events_t* in,
                                  const clap_output_events_t* out) {
    if (ClapPlugin* self = ClapPlugin::from(plugin)) self->flush(in, out);
}

const clap_plugin_params_t kParams{paramsCount,       paramsGetInfo,     paramsGetValue,
                                   paramsValueToText, paramsTextToValue, paramsFlush};

}  // namespace

const clap_plugin_params_t* clapParamsExtension() { return &kParams; }

uint32_t ClapPlugin::paramCount() const { return static_cast<uint32_t>(core_->parameterCount()) + kMeterCount; }

bool ClapPlugin::paramInfo(uint32_t index, clap_param_info_t* info) const {
    if (info == nullptr || index >= paramCount()) return false;
    std::memset(info, 0, sizeof *info);
    const auto rows = static_cast<uint32_t>(core_->parameterCount());
    if (index >= rows) {
        const MeterRow& meter = kMeters[index - rows];
        info->id = meter.id;
        info->flags = CLAP_PARAM_IS_READONLY;
        copyName(info->name, meter.name);
        info->min_value = meter.lower;
        info->max_value = meter.upper;
        info->default_value = 0.0;
        return true;
    }
    const ParamInfo& row = paramTable[index];
    info->id = index;
    info->flags = CLAP_PARAM_IS_AUTOMATABLE;
    if (row.stepCount > 0) info->flags |= CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_ENUM;
    copyName(info->name, row.vstName);
    info->min_value = shownBound(row.lower);
    info->max_value = shownBound(row.upper);
    info->default_value = row.engineDefault;
    return true;
}

bool ClapPlugin::paramValue(clap_id id, double* value) const {
    if (value == nullptr) return false;
    const auto param = static_cast<ParamId>(id);
    if (id < static_cast<uint32_t>(kParamCount) && core_->isParameter(param)) {
        *value = core_->plain(param);
        return true;
    }
    const PluginCore::Meters meters = core_->meters();
    if (id == kGainMeterId) *value = meters.levelerGainDb;
    else if (id == kReductionMeterId) *value = meters.limiterReductionDb;
    else return false;
    return true;
}

bool ClapPlugin::valueToText(clap_id id, double value, char* text, uint32_t capacity) const {
    if (text == nullptr || capacity == 0 || std::isnan(value)) return false;
    const auto param = static_cast<ParamId>(id);
    if (id < static_cast<uint32_t>(kParamCount) && core_->isParameter(param)) {
        float plain = 0.0f;
        plainFromHost(param, value, plain);
        formatValueWithUnit(param, plain, text, capacity);
        return true;
    }
    if (const MeterRow* meter = meterRow(id)) {
        std::snprintf(text, capacity, "%.1f dB", std::fmin(std::fmax(value, meter->lower), meter->upper));
        return true;
    }
    return false;
}

bool ClapPlugin::textToValue(clap_id id, const char* text, double* value) const {
    const auto param = static_cast<ParamId>(id);
    // The meters take no input.
    if (value == nullptr || id >= static_cast<uint32_t>(kParamCount) || !core_->isParameter(param)) return false;
    float plain = 0.0f;
    if (!plainFromText(param, text, plain)) return false;
    *value = plain;
    return true;
}

void ClapPlugin::sendMeters(const clap_output_events_t* out, uint32_t frames) {
    if (out == nullptr || out->try_push == nullptr) return;
    const PluginCore::Meters meters = core_->meters();
    const float values[kMeterCount] = {meters.levelerGainDb, meters.limiterReductionDb};
    for (uint32_t i = 0; i < kMeterCount; ++i) {
        if (values[i] == sentMeters_[i]) continue;
        clap_event_param_value_t event{};
        event.header = {sizeof event, frames > 0 ? frames - 1 : 0, kClapCoreEventSpace, CLAP_EVENT_PARAM_VALUE,
                        kClapEventDontRecord};
        event.param_id = kMeters[i].id;
        event.note_id = -1;
        event.port_index = event.channel = event.key = -1;
        event.value = values[i];
        // A host whose list is full hears of the value with a later block.
        if (out->try_push(out, &event.header)) sentMeters_[i] = values[i];
    }
}

bool ClapPlugin::applyEvent(const clap_event_header_t* event) {
    if (event == nullptr || event->space_id != kClapCoreEventSpace || event->type != CLAP_EVENT_PARAM_VALUE ||
        event->size < sizeof(clap_event_param_value_t))
        return false;
    const auto& change = *reinterpret_cast<const clap_event_param_value_t*>(event);
    const auto param = static_cast<ParamId>(change.param_id);
    // Unknown ids and the read-only meters change nothing.
    if (change.param_id >= static_cast<uint32_t>(kParamCount) || !core_->isParameter(param)) return false;
    float plain = 0.0f;
    if (!plainFromHost(param, change.value, plain) || !core_->setPlain(param, plain)) return false;
    changedRows_.fetch_or(1u << change.param_id, std::memory_order_acq_rel);
    return true;
}
