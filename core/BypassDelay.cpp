#include "BypassDelay.h"

#include <algorithm>
#include <cstring>

void BypassDelay::prepare(int32_t channels, uint32_t latencyFrames) {
    channels_ = channels > 0 ? channels : 0;
    latency_ = latencyFrames;
    position_ = 0;
    lines_.assign(static_cast<size_t>(channels_), std::vector<float>(latency_, 0.0f));
    leaving_.assign(static_cast<size_t>(channels_), std::vector<float>(kPieceFrames, 0.0f));
}

void BypassDelay::clear() {
    for (auto& line : lines_) std::fill(line.begin(), line.end(), 0.0f);
    position_ = 0;
}

void BypassDelay::push(const float* const* inputs, uint32_t frames, bool keepLeaving) {
    frames = std::min(frames, kPieceFrames);
    if (latency_ == 0) {
        // No delay: what leaves is what enters.
        for (int32_t ch = 0; keepLeaving && ch < channels_; ++ch)
            std::memcpy(leaving_[ch].data(), inputs[ch], sizeof(float) * frames);
        return;
    }
    uint32_t at = position_;
    for (int32_t ch = 0; ch < channels_; ++ch) {
        float* line = lines_[ch].data();
        float* leaving = leaving_[ch].data();
        const float* in = inputs[ch];
        at = position_;
        for (uint32_t i = 0; i < frames; ++i) {
            if (keepLeaving) leaving[i] = line[at];
            line[at] = in[i];
            if (++at == latency_) at = 0;
        }
    }
    position_ = at;
}

void BypassDelay::emit(float* const* outputs, uint32_t frames) const {
    frames = std::min(frames, kPieceFrames);
    for (int32_t ch = 0; ch < channels_; ++ch)
        std::memcpy(outputs[ch], leaving_[ch].data(), sizeof(float) * frames);
}
