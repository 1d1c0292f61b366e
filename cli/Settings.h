// Leveler settings of the offline tool: one engine value per parameter, the
// delivery preset they started from, the levelling style by material, and
// the delivery presets themselves.
//
// Values are engine values as a LADSPA control port carries them, already
// clamped to the parameter's range (Corr Mix Mode as its mode 0..3).
#pragma once

#include <cstdint>
#include <string>

#include "ParamTable.h"

// How the leveler treats a programme's loudness changes.
enum class Material : int8_t {
    Speech,  // full correction: every passage, every voice brought to the target
    Music,   // the loudness range kept up to a limit (15 LU)
    Mixed,   // speech over music, magazine shows, films: the range kept up to 8 LU
};
const char* materialName(Material material);
bool findMaterial(const std::string& name, Material& material);
// The loudness range a material keeps at most (LU); speech corrects fully.
float defaultRangeTargetLu(Material material);

// A delivery standard: the loudness a file must have, how closely, under
// which true-peak ceiling, and the engine settings that suit it.
struct Preset {
    const char* name;
    float targetLufs;
    float truePeakDbtp;
    float maxGainDb;
    float freezeLufs;
    float toleranceLu;        // integrated loudness within target +- this
    float maxShortTermLufs;   // largest short-term loudness allowed; NAN: no limit
    Material material;        // the usual content
    const char* why;          // one paragraph for --help and the manual
};

constexpr int32_t kPresetCount = 10;
extern const Preset kPresets[kPresetCount];  // the first is the default
const Preset* findPreset(const std::string& name);
// "podcast, streaming, ..." for messages.
std::string presetNames();

// What a delivered file is judged by: the preset's tolerance and short-term
// limit around the target and ceiling the settings name.
struct DeliveryTarget {
    float targetLufs = 0;
    float toleranceLu = 0;
    float ceilingDbtp = 0;
    float maxShortTermLufs = 0;  // NAN: no limit
};

struct Settings {
    std::string presetName;       // the preset the values started from
    bool changed[kParamCount] = {};  // set by an explicit option
    float values[kParamCount] = {};
    Material material = Material::Speech;
    bool materialChanged = false;   // --material
    float rangeTargetLu = 0;        // --lra-target, or the material's
    bool rangeTargetChanged = false;
    float toleranceLu = 0;
    float maxShortTermLufs = 0;     // NAN: none
    bool ride = true;               // speech: the landing rides the target

    // The table's defaults with a preset's values on top.
    static Settings fromPreset(const Preset& preset);
    float value(ParamId id) const { return values[static_cast<int32_t>(id)]; }
    DeliveryTarget delivery() const;
};

// Command-line option name of a parameter ("target", "true-peak", ...).
const char* optionName(ParamId id);

// "Target -16.0 LUFS, True Peak -1.0 dBTP, ..." for the report and the plot;
// LFE Gain only for 5.1.
std::string describeSettings(const Settings& settings, Layout layout);
