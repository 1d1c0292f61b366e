// The saved state of a core: its parameter values as short text, keyed by
// the parameters' LV2 symbols, which never change.
//
//   orvanta-state 1
//   target_level=-16
//   true_peak=-1
//   ...
//
// One "symbol=value" line per parameter, values in engine units written in
// the shortest form that reads back to the same float. A reader of version 1
// skips symbols it does not know (a later version's additions), so states
// stay readable in both directions as long as the version stays 1.
//
// Pure functions over arrays of plain values: no allocation, any thread.
#pragma once

#include <cstddef>
#include <cstdint>

// Writes the first `count` parameters' values; answers the length, or 0 (and
// nothing written) when `capacity` is too small.
size_t writeParameterState(const float* plainValues, int32_t count, char* text, size_t capacity);

// Reads a state into the first `count` entries of `plainValues`: named
// parameters by the control-port rules (clamped, the mode rounded), the
// others at their defaults. False, and `plainValues` untouched, for anything
// that is not a version-1 state: another header, a line without '=', a value
// that is no finite number, a symbol named twice, more than `maxLength` bytes.
bool readParameterState(const char* text, size_t length, size_t maxLength, int32_t count,
                        float* plainValues);
