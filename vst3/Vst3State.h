// The component state in a host's stream: the core's saved state (its text
// format, keyed by the parameters' symbols), then a "bypass=0" or
// "bypass=1" line, which the core's reader skips as a symbol it does not
// know. The controller reads the same bytes to show what the processor has.
//
// Threads: the host's user-interface thread (state calls); never the audio
// thread. Nothing here allocates.
#pragma once

#include <cstddef>

#include "PluginCore.h"
#include "interface/Base.h"

namespace orvanta_vst3 {

// Large enough for the core's state and the bypass line.
constexpr size_t kStateBytes = PluginCore::kMaxStateBytes;

// The state text of `core` with `bypassed`; its length, or 0 when it does
// not fit into `capacity`.
size_t writeComponentState(const PluginCore& core, bool bypassed, char* text, size_t capacity);
// The bypass line's value in a state text; false when it has none.
bool bypassedInState(const char* text, size_t length);

// Reads the rest of `stream` into `text`, up to the stream's end or its first
// failed read: false for a null stream, a count the stream cannot have read,
// or more than `capacity` bytes.
bool readStream(vst3::IBStream* stream, char* text, size_t capacity, size_t& length);
// Writes all of `text`; false when the stream takes less.
bool writeStream(vst3::IBStream* stream, const char* text, size_t length);

}  // namespace orvanta_vst3
