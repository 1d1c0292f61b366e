// The parameter table: the one description of the leveler's user parameters
// that every front end, the editor, the LV2 Turtle writer and the offline
// tool read: names, symbols, option names, units, bounds, defaults, steps,
// the host's normalised mapping and its inverse, display texts and their
// inverse, the LADSPA hints, and the engine operation each parameter drives.
//
// Every parameter has a plain value in engine units (LUFS, dBTP, dB, percent,
// or the correction mix mode 0..3), which LADSPA control ports carry and the
// engine setters take, and, in the VST effect, a normalised value 0..1, which
// the host and the editor see.
//
// Every function here is defined for every float argument, NaN and the
// infinities included, and for ParamId values outside the table; none of them
// allocates, locks or makes a system call except the text functions
// (snprintf).
// All of them may be called from any thread: the table is constant.
#pragma once

#include <cstddef>
#include <cstdint>

#include "LevelerCore.h"

// The index of a parameter: the VST parameter index and the LADSPA
// control-port index alike.
enum class ParamId : int32_t {
    TargetLevel,
    TruePeak,
    MaxGain,
    FreezeLevel,
    InputLevel,
    CorrectionHigh,
    CorrectionLow,
    CorrMixMode,
    LfeGain,  // 5.1 only
};
constexpr int32_t kParamCount = 9;  // rows of paramTable

enum class Layout { Mono, Stereo, Surround51 };

// Parameters of a layout: 8 for mono and stereo, 9 (with LFE Gain) for 5.1.
constexpr int32_t paramCount(Layout layout) {
    return layout == Layout::Surround51 ? kParamCount : kParamCount - 1;
}

enum class ParamUnit { Lufs, Dbtp, Db, Percent, Unitless };

struct ParamInfo {
    const char* vstName;    // "Target Level"
    const char* vstLabel;   // unit shown beside the value: "LUFS", or "" for the mix mode
    const char* portName;   // LADSPA control-port name: "Target Level (LUFS)"
    // The LV2 port symbol and the key of the saved state: persisted in
    // users' sessions, never to change.
    const char* symbol;      // "target_level"
    const char* optionName;  // orvanta-level's option, without the dashes: "target"
    ParamUnit unit;
    // Steps a host offers between the bounds: 0 for the continuous
    // parameters (the normalised mapping still quantises them to 0.1), 3 for
    // the mix mode's four modes.
    int32_t stepCount;
    float lower;            // bounds in engine units (Input Level's upper is -0.0f)
    float upper;
    int32_t hintDescriptor; // LADSPA range-hint bits; they select engineDefault
    float engineDefault;
    float normalisedDefault;
    // Normalised v to engine value: floor(v * mapA - mapB) * 0.1 in single
    // precision. mapA is the number of 0.1 steps in the range plus one half,
    // so the top step is as wide as the others; mapB is ten times -lower.
    // Both are 0 for the mix mode, which maps by quarters instead.
    float mapA;
    float mapB;
};

extern const ParamInfo paramTable[kParamCount];

// True when id names a row of the table.
bool isValidParam(ParamId id);

// Normalised (VST) value to engine value, without clamping to 0..1 or to the
// range: a value outside 0..1 maps by the same formula, NaN gives NaN and the
// infinities give infinities. CorrMixMode gives the mode 0..3 as a float
// (normalisedToMode). An id outside the table gives 0.
float toEngineValue(ParamId id, float normalised);

// Plain value to a normalised value that maps back onto it: every value of
// the 0.1 grid that toEngineValue yields for 0..1 gives it back exactly
// (toEngineValue(id, toNormalised(id, p)) == p); the lower bound gives 0,
// the upper bound 1. A value off the grid goes to the nearest grid value, one
// outside the bounds to the bound; NaN gives 0. The mix mode gives mode / 3
// (modeToNormalised) of the mode a port value selects.
float toNormalised(ParamId id, float plain);

// Normalised value to the correction mix mode: trunc(v * 4) in single
// precision, at most 3. Below 0 and NaN give mode 0.
int32_t normalisedToMode(float normalised);

// The normalised value the VST effect keeps for a mode: mode * (1/3) in double
// precision, rounded to single, so a host reads back 0, 1/3, 2/3 or 1.
float modeToNormalised(int32_t mode);

// LADSPA Corr Mix Mode port value to mode: trunc(v + 0.5), so 1.49 selects 1
// and 1.5 selects 2. Not clamped to 0..3; values beyond the int32 range
// saturate and NaN gives 0, so every float has a defined result.
int32_t portValueToMode(float portValue);

// Display text of a mode, "0 LLiHLi" to "3 LLgHLg" (LL/HL: low- and
// high-level correction; i: linear law, g: logarithmic law). A mode outside
// 0..3 gives the empty text.
const char* mixModeText(int32_t mode);

// Writes the VST display text of an engine value into text (at least
// kDisplayTextBytes bytes): "%.1f", or the mode text for CorrMixMode, cut to
// 8 characters and terminated; the bytes after the terminator, up to
// kDisplayTextBytes, are zero. An id outside the table writes the empty text.
constexpr int32_t kDisplayTextChars = 8;
constexpr int32_t kDisplayTextBytes = kDisplayTextChars + 1;
void formatValue(ParamId id, float engineValue, char* text);

// The display text with its unit, as the editor's value displays show it:
// "%.1f LUFS", "%.1f %" ..., the mode text for the mix mode. Written
// terminated into `bytes` bytes (nothing for a null text or 0 bytes).
void formatValueWithUnit(ParamId id, float engineValue, char* text, size_t bytes);

// The inverse of the display texts: a number in engine units, optionally
// followed by the row's unit ("-20.0", "-20.0 LUFS", "100%"; a decimal comma
// is read as a point), or for the mix mode its text ("2 LLiHLg"), its code
// ("LLiHLg") or its number. The value is then taken by the port rules
// (plainFromPort). False, and `plain` untouched, for anything else, a NaN or
// an infinity among them.
bool plainFromText(ParamId id, const char* text, float& plain);

// The parameter with this LV2 symbol; false when none has it.
bool paramFromSymbol(const char* symbol, size_t length, ParamId& id);

// Hostile-input helpers shared by the front ends.
// A value clamped to the row's bounds: infinities go to the nearer bound, NaN
// stays NaN (the caller decides what a NaN means; the engine never gets one).
// An id outside the table returns the value unchanged.
float clampToRange(ParamId id, float engineValue);
int32_t clampMode(int32_t mode);  // 0..3

// A bound as hosts are shown it: Input Level's upper bound -0 reads 0 (hosts
// print a negative zero as "-0"). The value is the same: a host that clamps to
// it hands over +0, which levels bit for bit as -0 does. Adding +0 turns -0
// into +0 and leaves every other float as it is.
inline float shownBound(float bound) { return bound + 0.0f; }

// The plain value a control port's finite value stands for: clamped to the
// bounds, and for the mix mode rounded to a mode (portValueToMode) and
// clamped to 0..3. The caller ignores non-finite values.
float plainFromPort(ParamId id, float portValue);

// Drives the engine operation of a parameter with an engine value, as it comes
// (the caller clamps). CorrMixMode: the value is the mode, truncated toward
// zero and clamped to 0..3 (so no float reaches the engine's 8-bit mode
// unconverted). True Peak also goes to lfeEngine when it is not null; every
// other parameter, LFE Gain included, goes to `engine` only.
void applyEngineValue(LevelerCore& engine, LevelerCore* lfeEngine, ParamId id, float value);

// Brings a freshly constructed engine (the main engine of a 5.1 group) to the
// default parameter set of the layout: the channel share (0.5 for mono and
// stereo, 0.2 for 5.1), then every default of the layout in index order. It
// does not touch the sample rate; the 5.1 LFE engine is the caller's (it gets
// only the True Peak default and the sample rate).
void applyInitialParameters(LevelerCore& engine, Layout layout);

// Channel share of the freeze threshold per detector channel.
float channelShare(Layout layout);
