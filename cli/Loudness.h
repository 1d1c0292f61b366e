// EBU R128 measurement of a stream of interleaved frames with libebur128:
// integrated loudness, loudness range, maximum true peak, and the short-term
// loudness every 100 ms for the plot.
#pragma once

#include <cstdint>
#include <vector>

#include "ChannelMap.h"

#include <ebur128.h>

struct LoudnessFigures {
    double integratedLufs = 0;  // -inf when every block is gated out (silence)
    double rangeLu = 0;
    double truePeakDbtp = 0;    // -inf for digital silence
};

class LoudnessMeter {
public:
    // `fileMap` is the file's channel order (engineToFile of its layout): the
    // LFE is left out and the back channels weigh 1.41, mono counts as dual
    // mono (as the engine measures it). `stepFrames` is the spacing of the
    // short-term series.
    LoudnessMeter(const ChannelLayout& layout, int rate, int64_t stepFrames);  // throws FileError
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    void add(const float* interleaved, int64_t frames);
    LoudnessFigures figures() const;
    // Short-term loudness (LUFS, -inf for silence) at the end of every step.
    const std::vector<float>& shortTerm() const { return shortTerm_; }

private:
    ebur128_state* state_ = nullptr;
    int channels_;
    int64_t stepFrames_;
    int64_t intoStep_ = 0;
    std::vector<float> shortTerm_;
};
