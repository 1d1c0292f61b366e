#include "ParameterState.h"

#include <charconv>
#include <cstring>
#include <system_error>

#include "ParamTable.h"

namespace {

constexpr char kHeader[] = "orvanta-state 1";
constexpr size_t kHeaderChars = sizeof kHeader - 1;
// No symbol is longer than 15 characters, and no float needs more than 15
// for its shortest form; longer fields are garbage, not values to cut.
constexpr size_t kMaxFieldChars = 63;

// Appends `length` bytes at `at` if they fit below `capacity`.
bool append(char* text, size_t capacity, size_t& at, const char* bytes, size_t length) {
    if (length > capacity - at) return false;
    std::memcpy(text + at, bytes, length);
    at += length;
    return true;
}

// The next line of `text` from `at` (without its "\n" or "\r\n").
bool nextLine(const char* text, size_t length, size_t& at, const char*& line, size_t& lineLength) {
    if (at >= length) return false;
    line = text + at;
    const void* newline = std::memchr(line, '\n', length - at);
    lineLength = newline ? static_cast<size_t>(static_cast<const char*>(newline) - line) : length - at;
    at += lineLength + (newline ? 1 : 0);
    if (lineLength > 0 && line[lineLength - 1] == '\r') --lineLength;
    return true;
}

}  // namespace

size_t writeParameterState(const float* plainValues, int32_t count, char* text, size_t capacity) {
    // Written whole here first, so a buffer too small is left as it was.
    char state[kHeaderChars + 1 + kParamCount * (2 * kMaxFieldChars + 2)];
    size_t at = 0;
    bool fits = append(state, sizeof state, at, kHeader, kHeaderChars) && append(state, sizeof state, at, "\n", 1);
    for (int32_t i = 0; fits && i < count && i < kParamCount; ++i) {
        const char* symbol = paramTable[i].symbol;
        char value[32];
        const auto written = std::to_chars(value, value + sizeof value, plainValues[i]);
        fits = written.ec == std::errc() && append(state, sizeof state, at, symbol, std::strlen(symbol)) &&
               append(state, sizeof state, at, "=", 1) &&
               append(state, sizeof state, at, value, static_cast<size_t>(written.ptr - value)) &&
               append(state, sizeof state, at, "\n", 1);
    }
    if (!fits || text == nullptr || at > capacity) return 0;
    std::memcpy(text, state, at);
    return at;
}

bool readParameterState(const char* text, size_t length, size_t maxLength, int32_t count,
                        float* plainValues) {
    if (text == nullptr || length > maxLength || count > kParamCount) return false;
    size_t at = 0;
    const char* line;
    size_t lineLength;
    if (!nextLine(text, length, at, line, lineLength) || lineLength != kHeaderChars ||
        std::memcmp(line, kHeader, kHeaderChars) != 0)
        return false;

    float values[kParamCount];
    bool named[kParamCount] = {};
    for (int32_t i = 0; i < count; ++i) values[i] = paramTable[i].engineDefault;
    while (nextLine(text, length, at, line, lineLength)) {
        if (lineLength == 0) continue;
        const void* equals = std::memchr(line, '=', lineLength);
        if (equals == nullptr) return false;
        const size_t symbolLength = static_cast<size_t>(static_cast<const char*>(equals) - line);
        const size_t valueLength = lineLength - symbolLength - 1;
        if (symbolLength > kMaxFieldChars || valueLength > kMaxFieldChars) return false;
        // A value must hold no terminator of its own: text after one would
        // go unread.
        char value[kMaxFieldChars + 1];
        std::memcpy(value, line + symbolLength + 1, valueLength);
        value[valueLength] = '\0';
        if (std::strlen(value) != valueLength) return false;
        ParamId id;
        if (!paramFromSymbol(line, symbolLength, id)) continue;  // a later version's parameter
        const auto index = static_cast<int32_t>(id);
        if (index >= count) continue;  // a parameter of another layout
        if (named[index] || !plainFromText(id, value, values[index])) return false;
        named[index] = true;
    }
    for (int32_t i = 0; i < count; ++i) plainValues[i] = values[i];
    return true;
}
