// Value-to-text functions of the editor's value displays: the normalised
// value a display holds becomes the engine value, by the parameter table's
// own mapping, printed to one decimal with its unit (formatValueWithUnit).
// EditorParameters' default display text is the row's function.
//
// Each has the shape of CParamDisplay's value-to-string function. They are
// stateless, ignore the display, and may run on any thread.
#pragma once

namespace VSTGUI {
class CParamDisplay;
}

// The text buffer holds 256 bytes; every function writes a terminated text
// into it and answers true (false only for a null buffer).
bool formatTargetLevel(float value, char utf8String[256], VSTGUI::CParamDisplay* display);
bool formatTruePeak(float value, char utf8String[256], VSTGUI::CParamDisplay* display);
// Max Gain and LFE Gain share their range, -10 to +30 dB.
bool formatGain(float value, char utf8String[256], VSTGUI::CParamDisplay* display);
bool formatFreezeLevel(float value, char utf8String[256], VSTGUI::CParamDisplay* display);
bool formatInputLevel(float value, char utf8String[256], VSTGUI::CParamDisplay* display);
// Correction High and Correction Low.
bool formatPercent(float value, char utf8String[256], VSTGUI::CParamDisplay* display);
// Corr Mix Mode: the mode's name, "0 LLiHLi" to "3 LLgHLg".
bool formatMixMode(float value, char utf8String[256], VSTGUI::CParamDisplay* display);
