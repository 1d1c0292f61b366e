// The parameters a VST 3 host sees, per layout, in the host's order: the
// table's (their ids are their ParamId values, as the VST 2.4 indices),
// then Bypass and the two meters. The ids never change: hosts keep them in
// their automation and sessions.
//
// Values a host sends are normalised, 0..1; plain values are in engine units
// (LUFS, dBTP, dB, %, the mix mode 0..3), 0 or 1 for Bypass, and dB for the
// meters. Texts are the VST 2.4 effect's display texts (Bypass: "Off",
// "On"; meters: "%.1f" in dB).
//
// Pure functions of constant data: no allocation, no lock; any thread
// (the text functions format with snprintf).
#pragma once

#include <cstddef>
#include <cstdint>

#include "ParamTable.h"
#include "interface/Controller.h"

namespace orvanta_vst3 {

constexpr vst3::ParamID kBypassId = 100;
// Read-only: the processor reports them at the end of every block.
constexpr vst3::ParamID kGainMeterId = 101;       // "Leveler Gain"
constexpr vst3::ParamID kReductionMeterId = 102;  // "Limiter Reduction"

enum class ParameterKind { None, Table, Bypass, GainMeter, ReductionMeter };

int32_t parameterCount(Layout layout);
// What `id` names in `layout`; None for any id it does not have.
ParameterKind kindOf(Layout layout, vst3::ParamID id);
// The host's description of parameter `index`; false outside the count.
bool describeParameter(Layout layout, int32_t index, vst3::ParameterInfo& info);

// The normalised value a parameter keeps for the one a host sends: clamped
// to 0..1, the mix mode on mode / 3 of the mode it selects, Bypass on 0 or
// 1. False for a NaN or an id the layout lacks (nothing is to change).
bool settleNormalised(Layout layout, vst3::ParamID id, double sent, double& kept);
// The plain value of a normalised one (clamped first), and the normalised
// value of a plain one (off-grid values to the grid, out of range to the
// bound). 0 for unknown ids.
double plainOf(Layout layout, vst3::ParamID id, double normalised);
double normalisedOf(Layout layout, vst3::ParamID id, double plain);
// The display text of a normalised value (empty for unknown ids); `bytes`
// at least kDisplayTextBytes.
void textOf(Layout layout, vst3::ParamID id, double normalised, char* text, size_t bytes);
// The inverse of the display texts, by the table's rules for its own
// parameters ("-16", "-16.0 LUFS", "2 LLiHLg") and "on"/"off"/"1"/"0" for
// Bypass. False for anything else and for the meters, which take no input.
bool normalisedFromText(Layout layout, vst3::ParamID id, const char* text, double& normalised);

// A meter reading in dB as the host's normalised value: the meter's range
// of core/Meters.h mapped onto 0..1.
double meterNormalised(vst3::ParamID meterId, float db);

}  // namespace orvanta_vst3
