#include "Vst3State.h"

#include <cstring>

namespace orvanta_vst3 {

namespace {

constexpr char kBypassOn[] = "bypass=1\n";
constexpr char kBypassOff[] = "bypass=0\n";
constexpr size_t kBypassLineChars = sizeof kBypassOn - 1;
constexpr char kBypassKey[] = "\nbypass=";
constexpr size_t kBypassKeyChars = sizeof kBypassKey - 1;

}  // namespace

size_t writeComponentState(const PluginCore& core, bool bypassed, char* text, size_t capacity) {
    if (text == nullptr || capacity < kBypassLineChars) return 0;
    const size_t length = core.saveState(text, capacity - kBypassLineChars);
    if (length == 0) return 0;
    std::memcpy(text + length, bypassed ? kBypassOn : kBypassOff, kBypassLineChars);
    return length + kBypassLineChars;
}

bool bypassedInState(const char* text, size_t length) {
    // The line follows the header at the earliest, so it starts after a
    // newline.
    for (size_t at = 0; at + kBypassKeyChars < length; ++at) {
        if (std::memcmp(text + at, kBypassKey, kBypassKeyChars) == 0) return text[at + kBypassKeyChars] == '1';
    }
    return false;
}

bool readStream(vst3::IBStream* stream, char* text, size_t capacity, size_t& length) {
    if (stream == nullptr || text == nullptr) return false;
    length = 0;
    // One byte more than fits tells a state that is too long.
    char spare;
    for (;;) {
        const bool full = length == capacity;
        char* into = full ? &spare : text + length;
        const auto wanted = static_cast<vst3::int32>(full ? 1 : capacity - length);
        vst3::int32 got = 0;
        const vst3::tresult result = stream->read(into, wanted, &got);
        if (got < 0 || got > wanted) return false;
        if (full && got > 0) return false;
        length += static_cast<size_t>(got);
        if (result != vst3::kResultOk || got == 0 || full) break;
    }
    return true;
}

bool writeStream(vst3::IBStream* stream, const char* text, size_t length) {
    if (stream == nullptr) return false;
    vst3::int32 written = 0;
    const auto bytes = static_cast<vst3::int32>(length);
    const vst3::tresult result = stream->write(const_cast<char*>(text), bytes, &written);
    return result == vst3::kResultOk && written == bytes;
}

}  // namespace orvanta_vst3
