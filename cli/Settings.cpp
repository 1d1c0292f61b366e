#include "Settings.h"

#include <cmath>
#include <cstdio>

// Max Gain bounds how far a quiet passage is raised; Freeze Level is the
// loudness below which the measurement holds still, so pauses, breaths and
// room tone are not pulled up towards the target. The tolerances and limits
// are the standards' own where they publish one; where a service publishes
// only a reference loudness, +-1 LU is ours (the accuracy listeners notice).
const Preset kPresets[kPresetCount] = {
    {"podcast", -16.0f, -1.0f, 15.0f, -50.0f, 1.0f, NAN, Material::Speech,
     "speech recorded at uneven levels: up to 15 dB of lift for quiet voices, "
     "frozen below -50 LUFS so pauses stay quiet; judged within +-1 LU"},
    {"streaming", -14.0f, -1.0f, 9.0f, -45.0f, 1.0f, NAN, Material::Music,
     "music: at most 9 dB of lift so quiet intros and codas keep some of their "
     "dynamics, frozen below -45 LUFS; judged within +-1 LU"},
    {"broadcast", -23.0f, -1.0f, 12.0f, -60.0f, 0.5f, NAN, Material::Mixed,
     "programme loudness for radio and TV: 12 dB of lift, frozen only below "
     "-60 LUFS since quiet scenes sit well under the target; judged within +-0.5 LU"},
    {"ebu-r128", -23.0f, -1.0f, 12.0f, -60.0f, 0.5f, NAN, Material::Mixed,
     "EBU R 128 programme loudness: -23 LUFS within +-0.5 LU, true peak at most -1 dBTP"},
    {"ebu-r128-s1", -23.0f, -1.0f, 12.0f, -60.0f, 0.5f, -18.0f, Material::Mixed,
     "EBU R 128 s1, short-form content (commercials, trailers, promos): as R 128, "
     "and no short-term loudness above -18 LUFS"},
    {"atsc-a85", -24.0f, -2.0f, 12.0f, -60.0f, 2.0f, NAN, Material::Mixed,
     "ATSC A/85, television in the US: -24 LKFS within +-2 dB, true peak at most -2 dBTP "
     "(room for the AC-3 encoder)"},
    {"apple-podcasts", -16.0f, -1.0f, 15.0f, -50.0f, 1.0f, NAN, Material::Speech,
     "Apple Podcasts: -16 LUFS within +-1 dB, true peak at most -1 dBTP"},
    {"spotify", -14.0f, -1.0f, 9.0f, -45.0f, 1.0f, NAN, Material::Music,
     "Spotify's playback loudness: -14 LUFS, true peak at most -1 dBTP; louder "
     "masters are turned down, quieter ones only lifted as far as the peaks allow"},
    {"youtube", -14.0f, -1.0f, 9.0f, -45.0f, 1.0f, NAN, Material::Mixed,
     "YouTube's playback loudness: -14 LUFS, true peak at most -1 dBTP; louder "
     "uploads are turned down"},
    {"aes-td1008", -18.0f, -1.0f, 15.0f, -50.0f, 1.0f, NAN, Material::Speech,
     "AES TD1008 for news and talk in streams and on demand: -18 LUFS, true peak "
     "at most -1 dBTP"},
};

const Preset* findPreset(const std::string& name) {
    for (const Preset& preset : kPresets)
        if (name == preset.name) return &preset;
    return nullptr;
}

std::string presetNames() {
    std::string names;
    for (const Preset& preset : kPresets) names += (names.empty() ? "" : ", ") + std::string(preset.name);
    return names;
}

const char* materialName(Material material) {
    switch (material) {
        case Material::Speech: return "speech";
        case Material::Music: return "music";
        case Material::Mixed: return "mixed";
    }
    return "";
}

bool findMaterial(const std::string& name, Material& material) {
    for (Material m : {Material::Speech, Material::Music, Material::Mixed})
        if (name == materialName(m)) {
            material = m;
            return true;
        }
    return false;
}

float defaultRangeTargetLu(Material material) {
    // Music: most pop and rock has less range than this and keeps all of it;
    // orchestral and film music is narrowed to what a living room takes.
    // Mixed: enough for a music bed under speech to stay a bed.
    switch (material) {
        case Material::Music: return 15.0f;
        case Material::Mixed: return 8.0f;
        case Material::Speech: break;
    }
    return 0.0f;
}

Settings Settings::fromPreset(const Preset& preset) {
    Settings settings;
    settings.presetName = preset.name;
    for (int32_t i = 0; i < kParamCount; ++i) settings.values[i] = paramTable[i].engineDefault;
    settings.values[static_cast<int32_t>(ParamId::TargetLevel)] = preset.targetLufs;
    settings.values[static_cast<int32_t>(ParamId::TruePeak)] = preset.truePeakDbtp;
    settings.values[static_cast<int32_t>(ParamId::MaxGain)] = preset.maxGainDb;
    settings.values[static_cast<int32_t>(ParamId::FreezeLevel)] = preset.freezeLufs;
    settings.material = preset.material;
    settings.rangeTargetLu = defaultRangeTargetLu(preset.material);
    settings.toleranceLu = preset.toleranceLu;
    settings.maxShortTermLufs = preset.maxShortTermLufs;
    return settings;
}

DeliveryTarget Settings::delivery() const {
    DeliveryTarget goal;
    goal.targetLufs = value(ParamId::TargetLevel);
    goal.toleranceLu = toleranceLu;
    goal.ceilingDbtp = value(ParamId::TruePeak);
    goal.maxShortTermLufs = maxShortTermLufs;
    return goal;
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
