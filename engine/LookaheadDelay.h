// The leveler's look-ahead delay: every audio channel's raw input samples
// (amplitude, without the anti-denormal offset) wait `length` frames (34 ms)
// before the frame's leveler gain scales them, so the gain has already
// reacted to what follows them.
//
// One index serves every line: a sample written at a frame leaves exactly
// `length` frames later, at the same slot.
#pragma once

#include <cstdint>
#include <vector>

#include "Channels.h"

namespace orvanta {

struct LookaheadDelay {
    std::vector<float> line[kAudioChannels];  // `length` samples each
    uint16_t length = 0;                      // the delay in frames
    uint16_t last = 0;                        // length - 2: the wrap test of `index`
    uint16_t index = 0;                       // read and write slot of the next frame

    // A new length, from slot 0; refill() then sizes the lines.
    void setLength(uint16_t frames);
    // Every line emptied and filled to `length` with zeros (set-up only: it
    // may allocate).
    void refill();
    // Every line filled with zeros in place, without allocating.
    void clear();

    // Frame by frame: the sample leaving channel ch's line, with `x` stored
    // in its place; advance() once every channel of the frame is through.
    float exchange(int ch, float x) {
        float& slot = line[ch][index];
        const float leaving = slot;
        slot = x;
        return leaving;
    }
    void advance() { index = index > last ? 0 : static_cast<uint16_t>(index + 1); }

    // A pass of n frames (n <= length): the samples leaving channel ch's
    // line, times each frame's gain (or one gain for all), into out[0..n).
    // The lines do not change until store().
    void leaving(int ch, int32_t n, const float* gain, float* out) const;
    void leaving(int ch, int32_t n, float gain, float* out) const;
    // Stores the pass's n samples of channels 0..channels-1 and advances the
    // index by n.
    void store(int32_t n, int channels, const float* const* samples);

private:
    // Frames of a pass before the lines wrap.
    int32_t beforeWrap(int32_t n) const { return length - index < n ? length - index : n; }
};

}  // namespace orvanta
