// EBU R128 measurement of a stream of interleaved frames with libebur128:
// integrated loudness, loudness range, maximum true peak, and the short-term
// loudness every 100 ms for the plot.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
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

// A LoudnessMeter on a thread of its own, so the measurement (libebur128's
// true-peak oversampling above all) runs beside the engine instead of after
// it. add() copies the frames into a bounded queue; finish() waits until
// every frame is measured. The destructor stops and joins the thread.
class BackgroundMeter {
public:
    BackgroundMeter(const ChannelLayout& layout, int rate, int64_t stepFrames);  // throws FileError
    ~BackgroundMeter();
    BackgroundMeter(const BackgroundMeter&) = delete;
    BackgroundMeter& operator=(const BackgroundMeter&) = delete;

    void add(const float* interleaved, int64_t frames);
    void finish();
    const LoudnessMeter& meter() const { return meter_; }  // after finish()

private:
    static constexpr size_t kQueuedBlocks = 8;
    LoudnessMeter meter_;
    int channels_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<float>> queue_;
    std::vector<std::vector<float>> spare_;
    bool closing_ = false;
    std::thread thread_;
    void run();
};
