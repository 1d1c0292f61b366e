// The UTF-16 texts of the VST 3 interface and our ASCII ones.
#pragma once

#include <cstddef>

#include "interface/Base.h"

namespace orvanta_vst3 {

// Writes `text` into a field of `units` UTF-16 units, cut to fit and
// terminated; bytes above 127 (none of our texts has one) become '?'.
inline void toUtf16(const char* text, vst3::char16* field, size_t units) {
    if (field == nullptr || units == 0) return;
    size_t i = 0;
    for (; text != nullptr && text[i] != '\0' && i + 1 < units; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        field[i] = byte < 128 ? static_cast<vst3::char16>(byte) : u'?';
    }
    for (; i < units; ++i) field[i] = 0;
}

// Reads a terminated UTF-16 text of at most `units` units into `text`
// (`units` bytes); false for a null text, a text without a terminator there,
// or a unit outside ASCII (no value text of ours has one).
inline bool fromUtf16(const vst3::char16* field, char* text, size_t units) {
    if (field == nullptr || units == 0) return false;
    for (size_t i = 0; i < units; ++i) {
        if (field[i] == 0) {
            text[i] = '\0';
            return true;
        }
        if (field[i] > 127) return false;
        text[i] = static_cast<char>(field[i]);
    }
    return false;
}

}  // namespace orvanta_vst3
