// What a fresh effect reports for each parameter (the 5.1 effect has all
// nine, the stereo one the first eight): the Linux and the Windows hosts
// check the same values.
#pragma once

namespace vsthost {

inline const float kDefaultNormalised[9] = {0.5f, 1.0f, 0.25f, 0.5f, 0.5f, 1.0f, 1.0f, 0.0f, 0.25f};
inline const char* const kDefaultDisplay[9] = {"-20.0", "0.0",   "0.0",      "-40.0", "-20.0",
                                               "100.0", "100.0", "0 LLiHLi", "0.0"};
inline const char* const kNames[9] = {"Target Level",   "True Peak",      "Max Gain",
                                      "Freeze Level",   "Input Level",    "Correction High",
                                      "Correction Low", "Corr Mix Mode",  "LFE Gain"};
inline const char* const kLabels[9] = {"LUFS", "dBTP", "dB", "LUFS", "LUFS", "%", "%", "", "dB"};

}  // namespace vsthost
