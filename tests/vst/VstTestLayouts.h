// The two effect libraries under test and what each must report.
#pragma once

#include <ostream>
#include <string>

#include "VstHost.h"

namespace vsttest {

struct EffectCase {
    const char* file;  // in the plugin folder
    int channels;
    int params;
    VstInt32 uniqueId;
    const char* effectName;
    const char* productName;
    VstInt32 arrangementType;
    bool surround;
};

inline const EffectCase kStereo{"Orvanta64.so", 2, 8, vstFourCharCode('O', 'R', 'v', 't'),
                                "Orvanta 64 Bit", "Orvanta", kSpeakerArrStereo, false};
inline const EffectCase kSurround{"Orvanta64_51.so", 6, 9, vstFourCharCode('O', 'R', '5', '1'),
                                  "Orvanta 5.1 64 Bit", "Orvanta 5.1", kSpeakerArr51, true};

// Whether the libraries were linked with an editor (the build says so).
constexpr bool kHasEditor = ORVANTA_TEST_HAS_EDITOR != 0;
constexpr VstInt32 kExpectedFlags = effFlagsCanReplacing | (kHasEditor ? effFlagsHasEditor : 0);

inline std::string pluginPath(const EffectCase& c) {
    return std::string(ORVANTA_TEST_PLUGIN_DIR) + "/" + c.file;
}

inline std::string caseName(const EffectCase& c) { return c.surround ? "Surround51" : "Stereo"; }

// Test names show the library, not the record's bytes.
inline void PrintTo(const EffectCase& c, std::ostream* os) { *os << c.file; }

}  // namespace vsttest
