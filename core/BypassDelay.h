// The dry path of a bypass that keeps the latency: the input of every
// channel delayed by exactly the latency, so that a host's latency
// compensation stays right while the effect is bypassed and the output
// does not jump in time when the bypass is switched either way.
//
// A front end runs the engines all the time and feeds this line too; for
// the frames it bypasses it writes the line's output over the engines'.
// Blocks are taken in pieces of at most kPieceFrames, whose leaving frames
// the line keeps until emit, so that input and output may be one buffer.
//
// Threads: prepare and clear belong to the owner thread while no block is
// processed (prepare allocates); push and emit to the audio thread, which
// they neither block nor allocate on.
#pragma once

#include <cstdint>
#include <vector>

class BypassDelay {
public:
    static constexpr uint32_t kPieceFrames = 512;

    // Owner thread: `channels` lines of `latencyFrames` frames, all silent.
    void prepare(int32_t channels, uint32_t latencyFrames);
    // Owner thread: silence in every line, the sizes kept.
    void clear();
    uint32_t latency() const { return latency_; }

    // Audio thread: `frames` (at most kPieceFrames) input frames enter the
    // lines; when `keepLeaving`, the frames that leave them are kept for
    // emit. Channels beyond those prepared are ignored.
    void push(const float* const* inputs, uint32_t frames, bool keepLeaving);
    // Audio thread: writes the kept frames of the last push.
    void emit(float* const* outputs, uint32_t frames) const;

private:
    int32_t channels_ = 0;
    uint32_t latency_ = 0;
    uint32_t position_ = 0;
    std::vector<std::vector<float>> lines_;
    std::vector<std::vector<float>> leaving_;
};
