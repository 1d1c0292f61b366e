// Leveler settings of the offline tool: one engine value per parameter, the
// preset they started from, and the delivery presets.
//
// Values are engine values as a LADSPA control port carries them, already
// clamped to the parameter's range (Corr Mix Mode as its mode 0..3).
#pragma once

#include <cstdint>
#include <string>

#include "ParamTable.h"

struct Preset {
    const char* name;
    float targetLufs;
    float truePeakDbtp;
    float maxGainDb;
    float freezeLufs;
    const char* why;  // one line for --help
};

// podcast, streaming, broadcast; the first is the default.
constexpr int32_t kPresetCount = 3;
extern const Preset kPresets[kPresetCount];
const Preset* findPreset(const std::string& name);

struct Settings {
    std::string presetName;       // the preset the values started from
    bool changed[kParamCount] = {};  // set by an explicit option
    float values[kParamCount] = {};

    // The table's defaults with a preset's four values on top.
    static Settings fromPreset(const Preset& preset);
    float value(ParamId id) const { return values[static_cast<int32_t>(id)]; }
};

// Command-line option name of a parameter ("target", "true-peak", ...).
const char* optionName(ParamId id);

// "Target -16.0 LUFS, True Peak -1.0 dBTP, ..." for the report and the plot;
// LFE Gain only for 5.1.
std::string describeSettings(const Settings& settings, Layout layout);
