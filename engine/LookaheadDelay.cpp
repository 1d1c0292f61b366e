#include "LookaheadDelay.h"

#include <algorithm>
#include <cstring>

namespace orvanta {

void LookaheadDelay::setLength(uint16_t frames) {
    length = frames;
    last = static_cast<uint16_t>(frames - 2);
    index = 0;
}

void LookaheadDelay::refill() {
    for (auto& samples : line) samples.assign(length, 0.0f);
}

void LookaheadDelay::clear() {
    for (auto& samples : line) std::fill(samples.begin(), samples.end(), 0.0f);
}

// The frames of a pass read the lines from `index` on, in at most two runs:
// up to the end of the lines, then from slot 0.
void LookaheadDelay::leaving(int ch, int32_t n, const float* gain, float* out) const {
    const int32_t firstRun = beforeWrap(n);
    const float* samples = line[ch].data();
    for (int32_t i = 0; i < firstRun; ++i) out[i] = samples[index + i] * gain[i];
    for (int32_t i = firstRun; i < n; ++i) out[i] = samples[i - firstRun] * gain[i];
}

void LookaheadDelay::leaving(int ch, int32_t n, float gain, float* out) const {
    const int32_t firstRun = beforeWrap(n);
    const float* samples = line[ch].data();
    for (int32_t i = 0; i < firstRun; ++i) out[i] = samples[index + i] * gain;
    for (int32_t i = firstRun; i < n; ++i) out[i] = samples[i - firstRun] * gain;
}

void LookaheadDelay::store(int32_t n, int channels, const float* const* samples) {
    const int32_t firstRun = beforeWrap(n);
    for (int ch = 0; ch < channels; ++ch) {
        float* slots = line[ch].data();
        std::memcpy(slots + index, samples[ch], sizeof(float) * firstRun);
        std::memcpy(slots, samples[ch] + firstRun, sizeof(float) * (n - firstRun));
    }
    index = static_cast<uint16_t>(firstRun < n ? n - firstRun : index + n);
    if (index == length) index = 0;
}

}  // namespace orvanta
