#include "Loudness.h"

#include <ebur128.h>

#include <cmath>
#include <limits>

#include "AudioFile.h"

LoudnessMeter::LoudnessMeter(const ChannelLayout& layout, int rate, const MeterChoice& choice)
    : channels_(layout.channels), choice_(choice), maxShortTerm_(-HUGE_VAL) {
    const int64_t hundredMs = std::max<int64_t>(1, rate / 10);
    // Readings every 100 ms block; the series takes every n-th.
    step_ = hundredMs;
    if (choice.seriesStepFrames > 0) stepsPerPoint_ = std::max<int64_t>(1, choice.seriesStepFrames / step_);
    int mode = EBUR128_MODE_I | EBUR128_MODE_HISTOGRAM;
    if (choice.range) mode |= EBUR128_MODE_LRA;
    if (choice.truePeak) mode |= EBUR128_MODE_TRUE_PEAK;
    if (choice.maxShortTerm || choice.seriesStepFrames > 0) mode |= EBUR128_MODE_S;
    state_ = ebur128_init(static_cast<unsigned>(layout.channels), static_cast<unsigned long>(rate), mode);
    if (state_ == nullptr) throw FileError{"out of memory for the loudness meter"};
    if (layout.layout == Layout::Mono) {
        ebur128_set_channel(state_, 0, EBUR128_DUAL_MONO);
    } else if (layout.layout == Layout::Surround51) {
        static const int kTypes[6] = {EBUR128_LEFT, EBUR128_RIGHT, EBUR128_CENTER, EBUR128_UNUSED,
                                      EBUR128_LEFT_SURROUND, EBUR128_RIGHT_SURROUND};
        for (int e = 0; e < 6; ++e)
            ebur128_set_channel(state_, static_cast<unsigned>(layout.engineToFile[e]), kTypes[e]);
    } else {
        ebur128_set_channel(state_, static_cast<unsigned>(layout.engineToFile[0]), EBUR128_LEFT);
        ebur128_set_channel(state_, static_cast<unsigned>(layout.engineToFile[1]), EBUR128_RIGHT);
    }
}

LoudnessMeter::~LoudnessMeter() {
    if (state_) ebur128_destroy(&state_);
}

void LoudnessMeter::add(const float* interleaved, int64_t frames) {
    const bool readings = choice_.maxShortTerm || choice_.seriesStepFrames > 0;
    if (!readings) {
        ebur128_add_frames_float(state_, interleaved, static_cast<size_t>(frames));
        return;
    }
    while (frames > 0) {
        const int64_t n = std::min(frames, step_ - intoStep_);
        ebur128_add_frames_float(state_, interleaved, static_cast<size_t>(n));
        interleaved += n * channels_;
        frames -= n;
        intoStep_ += n;
        if (intoStep_ == step_) {
            intoStep_ = 0;
            // The short-term loudness is the mean power of the last thirty
            // 100 ms blocks: each reading measures only its own block
            // (libebur128's short-term reading sums all 3 s every time).
            double blockLufs = -HUGE_VAL;
            ebur128_loudness_window(state_, kBlockMs, &blockLufs);
            const double power = std::isfinite(blockLufs) ? std::pow(10.0, (blockLufs + 0.691) / 10.0) : 0.0;
            windowPower_ += power - blockPowers_[ringPos_];
            blockPowers_[ringPos_] = power;
            ringPos_ = (ringPos_ + 1) % kBlocksPerWindow;
            ++steps_;
            // The sum drifts by rounding; it is summed anew once a window.
            if (ringPos_ == 0) {
                windowPower_ = 0.0;
                for (double p : blockPowers_) windowPower_ += p;
            }
            const double mean = windowPower_ / kBlocksPerWindow;
            const double lufs = mean > 0.0 ? 10.0 * std::log10(mean) - 0.691 : -HUGE_VAL;
            if (choice_.maxShortTerm && std::isfinite(lufs)) maxShortTerm_ = std::max(maxShortTerm_, lufs);
            if (stepsPerPoint_ > 0 && steps_ % stepsPerPoint_ == 0) shortTerm_.push_back(static_cast<float>(lufs));
        }
    }
}

LoudnessFigures LoudnessMeter::figures() const {
    LoudnessFigures f;
    ebur128_loudness_global(state_, &f.integratedLufs);
    if (choice_.range) ebur128_loudness_range(state_, &f.rangeLu);
    f.maxShortTermLufs = maxShortTerm_;
    f.truePeakDbtp = -HUGE_VAL;
    if (!choice_.truePeak) return f;
    double peak = 0.0;
    for (int c = 0; c < channels_; ++c) {
        double p = 0.0;
        ebur128_true_peak(state_, static_cast<unsigned>(c), &p);
        peak = std::max(peak, p);
    }
    f.truePeakDbtp = peak > 0.0 ? 20.0 * std::log10(peak) : -HUGE_VAL;
    return f;
}

BackgroundMeter::BackgroundMeter(const ChannelLayout& layout, int rate, const MeterChoice& choice)
    : meter_(layout, rate, choice), channels_(layout.channels), thread_(&BackgroundMeter::run, this) {}

BackgroundMeter::~BackgroundMeter() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
        queue_.clear();
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void BackgroundMeter::add(const float* interleaved, int64_t frames) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return queue_.size() < kQueuedBlocks; });
    std::vector<float> block;
    if (!spare_.empty()) {
        block = std::move(spare_.back());
        spare_.pop_back();
    }
    block.assign(interleaved, interleaved + frames * channels_);
    queue_.push_back(std::move(block));
    lock.unlock();
    changed_.notify_all();
}

void BackgroundMeter::finish() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void BackgroundMeter::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return closing_ || !queue_.empty(); });
        if (queue_.empty()) return;  // closing, and every block measured
        std::vector<float> block = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        changed_.notify_all();
        meter_.add(block.data(), static_cast<int64_t>(block.size()) / channels_);
        lock.lock();
        spare_.push_back(std::move(block));
    }
}
