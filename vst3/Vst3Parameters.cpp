#include "Vst3Parameters.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "Meters.h"
#include "Utf16.h"

namespace orvanta_vst3 {

namespace {

using orvanta_meters::kGainMeterCeilingDb;
using orvanta_meters::kGainMeterFloorDb;
using orvanta_meters::kReductionMeterMaxDb;

// The host's order after the table's parameters.
constexpr vst3::ParamID kExtraIds[] = {kBypassId, kGainMeterId, kReductionMeterId};
constexpr int32_t kExtraCount = 3;

double clampUnit(double v) { return v < 0.0 ? 0.0 : v > 1.0 ? 1.0 : v; }

bool isTableId(Layout layout, vst3::ParamID id) {
    return id < static_cast<vst3::ParamID>(paramCount(layout));
}

ParamId tableId(vst3::ParamID id) { return static_cast<ParamId>(id); }

// A meter's dB range.
void meterRange(vst3::ParamID meterId, double& lowDb, double& highDb) {
    if (meterId == kGainMeterId) {
        lowDb = kGainMeterFloorDb;
        highDb = kGainMeterCeilingDb;
    } else {
        lowDb = 0.0;
        highDb = kReductionMeterMaxDb;
    }
}

}  // namespace

int32_t parameterCount(Layout layout) { return paramCount(layout) + kExtraCount; }

ParameterKind kindOf(Layout layout, vst3::ParamID id) {
    if (isTableId(layout, id)) return ParameterKind::Table;
    switch (id) {
        case kBypassId: return ParameterKind::Bypass;
        case kGainMeterId: return ParameterKind::GainMeter;
        case kReductionMeterId: return ParameterKind::ReductionMeter;
        default: return ParameterKind::None;
    }
}

bool describeParameter(Layout layout, int32_t index, vst3::ParameterInfo& info) {
    if (index < 0 || index >= parameterCount(layout)) return false;
    std::memset(&info, 0, sizeof info);
    const char* title;
    const char* units;
    if (index < paramCount(layout)) {
        const ParamInfo& row = paramTable[index];
        info.id = static_cast<vst3::ParamID>(index);
        title = row.vstName;
        units = row.vstLabel;
        info.stepCount = row.stepCount;
        info.defaultNormalizedValue = row.normalisedDefault;
        info.flags = vst3::ParameterInfo::kCanAutomate;
        if (row.stepCount > 0) info.flags |= vst3::ParameterInfo::kIsList;
    } else {
        info.id = kExtraIds[index - paramCount(layout)];
        if (info.id == kBypassId) {
            title = "Bypass";
            units = "";
            info.stepCount = 1;
            info.flags = vst3::ParameterInfo::kCanAutomate | vst3::ParameterInfo::kIsBypass;
        } else {
            title = info.id == kGainMeterId ? "Leveler Gain" : "Limiter Reduction";
            units = "dB";
            info.defaultNormalizedValue = meterNormalised(info.id, 0.0f);
            info.flags = vst3::ParameterInfo::kIsReadOnly;
        }
    }
    toUtf16(title, info.title, 128);
    toUtf16(title, info.shortTitle, 128);
    toUtf16(units, info.units, 128);
    return true;
}

bool settleNormalised(Layout layout, vst3::ParamID id, double sent, double& kept) {
    if (std::isnan(sent)) return false;
    const double v = clampUnit(sent);
    switch (kindOf(layout, id)) {
        case ParameterKind::None: return false;
        case ParameterKind::Table:
            // As the core keeps it: the mode's own value, the others as sent.
            kept = id == static_cast<vst3::ParamID>(ParamId::CorrMixMode)
                       ? modeToNormalised(normalisedToMode(static_cast<float>(v)))
                       : v;
            return true;
        case ParameterKind::Bypass: kept = v >= 0.5 ? 1.0 : 0.0; return true;
        default: kept = v; return true;
    }
}

double plainOf(Layout layout, vst3::ParamID id, double normalised) {
    const double v = std::isnan(normalised) ? 0.0 : clampUnit(normalised);
    switch (kindOf(layout, id)) {
        case ParameterKind::Table: return toEngineValue(tableId(id), static_cast<float>(v));
        case ParameterKind::Bypass: return v >= 0.5 ? 1.0 : 0.0;
        case ParameterKind::GainMeter:
        case ParameterKind::ReductionMeter: {
            double low, high;
            meterRange(id, low, high);
            return low + v * (high - low);
        }
        case ParameterKind::None: break;
    }
    return 0.0;
}

double normalisedOf(Layout layout, vst3::ParamID id, double plain) {
    switch (kindOf(layout, id)) {
        case ParameterKind::Table: return toNormalised(tableId(id), static_cast<float>(plain));
        case ParameterKind::Bypass: return plain >= 0.5 ? 1.0 : 0.0;
        case ParameterKind::GainMeter:
        case ParameterKind::ReductionMeter: return meterNormalised(id, static_cast<float>(plain));
        case ParameterKind::None: break;
    }
    return 0.0;
}

void textOf(Layout layout, vst3::ParamID id, double normalised, char* text, size_t bytes) {
    if (text == nullptr || bytes < static_cast<size_t>(kDisplayTextBytes)) return;
    text[0] = '\0';
    const double plain = plainOf(layout, id, normalised);
    switch (kindOf(layout, id)) {
        case ParameterKind::Table: formatValue(tableId(id), static_cast<float>(plain), text); break;
        case ParameterKind::Bypass: std::snprintf(text, bytes, "%s", plain >= 0.5 ? "On" : "Off"); break;
        case ParameterKind::GainMeter:
        case ParameterKind::ReductionMeter: std::snprintf(text, bytes, "%.1f", plain); break;
        case ParameterKind::None: break;
    }
}

bool normalisedFromText(Layout layout, vst3::ParamID id, const char* text, double& normalised) {
    if (text == nullptr) return false;
    switch (kindOf(layout, id)) {
        case ParameterKind::Table: {
            float plain;
            if (!plainFromText(tableId(id), text, plain)) return false;
            normalised = toNormalised(tableId(id), plain);
            return true;
        }
        case ParameterKind::Bypass:
            if (strcasecmp(text, "on") == 0 || std::strcmp(text, "1") == 0) {
                normalised = 1.0;
                return true;
            }
            if (strcasecmp(text, "off") == 0 || std::strcmp(text, "0") == 0) {
                normalised = 0.0;
                return true;
            }
            return false;
        default: return false;
    }
}

double meterNormalised(vst3::ParamID meterId, float db) {
    double low, high;
    meterRange(meterId, low, high);
    if (std::isnan(db)) return 0.0;
    return clampUnit((static_cast<double>(db) - low) / (high - low));
}

}  // namespace orvanta_vst3
