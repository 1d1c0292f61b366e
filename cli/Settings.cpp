#include "Settings.h"

#include <cstdio>

// Max Gain bounds how far a quiet passage is raised; Freeze Level is the
// loudness below which the measurement holds still, so pauses, breaths and
// room tone are not pulled up towards the target.
const Preset kPresets[kPresetCount] = {
    {"podcast", -16.0f, -1.0f, 15.0f, -50.0f,
     "speech recorded at uneven levels: up to 15 dB of lift for quiet voices, "
     "frozen below -50 LUFS so pauses stay quiet"},
    {"streaming", -14.0f, -1.0f, 9.0f, -45.0f,
     "music: at most 9 dB of lift so quiet intros and codas keep some of their "
     "dynamics, frozen below -45 LUFS"},
    {"broadcast", -23.0f, -1.0f, 12.0f, -60.0f,
     "programme loudness for radio and TV: 12 dB of lift, frozen only below "
     "-60 LUFS since quiet scenes sit well under the target"},
};

const Preset* findPreset(const std::string& name) {
    for (const Preset& preset : kPresets)
        if (name == preset.name) return &preset;
    return nullptr;
}

Settings Settings::fromPreset(const Preset& preset) {
    Settings settings;
    settings.presetName = preset.name;
    for (int32_t i = 0; i < kParamCount; ++i) settings.values[i] = paramTable[i].engineDefault;
    settings.values[static_cast<int32_t>(ParamId::TargetLevel)] = preset.targetLufs;
    settings.values[static_cast<int32_t>(ParamId::TruePeak)] = preset.truePeakDbtp;
    settings.values[static_cast<int32_t>(ParamId::MaxGain)] = preset.maxGainDb;
    settings.values[static_cast<int32_t>(ParamId::FreezeLevel)] = preset.freezeLufs;
    return settings;
}

const char* optionName(ParamId id) {
    return isValidParam(id) ? paramTable[static_cast<int32_t>(id)].optionName : "";
}

std::string describeSettings(const Settings& settings, Layout layout) {
    std::string text;
    char item[96];
    for (int32_t i = 0; i < paramCount(layout); ++i) {
        const auto id = static_cast<ParamId>(i);
        const ParamInfo& row = paramTable[i];
        if (id == ParamId::CorrMixMode)
            std::snprintf(item, sizeof item, "%s %s", row.vstName,
                          mixModeText(static_cast<int32_t>(settings.values[i])));
        else
            std::snprintf(item, sizeof item, "%s %.1f %s", row.vstName,
                          static_cast<double>(settings.values[i]), row.vstLabel);
        if (!text.empty()) text += ", ";
        text += item;
    }
    return text;
}
