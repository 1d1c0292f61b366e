// One file levelled from start to end: open and check the input, check the
// destination, measure the programme and land it on its target in passes
// over the engine (see Landing.h; one pass with --single-pass), each run in
// fixed chunks with the latency removed, measure input and output, judge
// the result, write atomically, and draw the plot. With --check the file is
// only measured and judged.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Arguments.h"
#include "Landing.h"
#include "Loudness.h"

struct JobRequest {
    std::string input;
    std::string output;
    std::string plotFile;  // "" = no plot
    const Options* options = nullptr;
    std::string refusal;   // set when the run already knows this file cannot be done
    // Every input of the run: no output may be one of them.
    const std::vector<std::pair<dev_t, ino_t>>* inputIds = nullptr;
};

// Shared between the job's thread and the progress display.
struct JobProgress {
    enum State { Waiting, Running, Done };
    std::atomic<int> state{Waiting};
    std::atomic<int64_t> framesDone{0};
    std::atomic<int64_t> framesTotal{0};
    std::atomic<int> rateHz{0};
    std::atomic<int> pass{0};  // 0: measuring the input; then the engine's passes
    std::chrono::steady_clock::time_point start;  // written before state = Running
};

// The curves of the plot, one point per step (100 ms) of the output's time.
struct PlotSeries {
    double stepSeconds = 0.1;
    std::vector<float> inputShortTerm, outputShortTerm;  // LUFS
    std::vector<float> gainDb;                           // leveler gain
    std::vector<float> reductionDb;                      // limiter reduction, >= 0
};

struct JobResult {
    std::string input, output, plotFile;
    bool ok = false;
    bool interrupted = false;
    bool started = true;  // false: the run was interrupted before this file's turn
    std::string error;  // names the file and the cause
    std::string warning;

    Settings settings;   // as asked: the preset and the options
    EngineSetup engine;  // what the engine ran with for the written file
    std::vector<SettingChange> changes;
    int passes = 0;      // over the engine, the written one included
    double largestRideDb = 0;  // the ride's largest move of the target (speech)
    bool checkOnly = false, singlePass = false;
    DeliveryTarget goal;
    Verdict verdict;
    bool missed = false;  // the delivery target was missed (not written, or --single-pass/--check: judged so)
    Layout layout = Layout::Stereo;
    int channels = 0;
    int rateHz = 0;
    int64_t frames = 0;
    uint32_t latencyFrames = 0;
    bool reordered = false;            // the file's map differs from the engine's order
    bool channelOrderChanged = false;  // written in the engine's order: the format cannot keep the map
    std::string inputFormat, outputFormat;
    LoudnessFigures in, out;
    bool outputMeasuredFromFile = false;  // lossy output: measured by decoding it
    double gainMaxDb = 0, gainMinDb = 0, reductionMaxDb = 0;
    double seconds = 0;  // wall time of the whole job
    PlotSeries series;

    double durationSeconds() const { return rateHz ? static_cast<double>(frames) / rateHz : 0.0; }
    double speed() const { return seconds > 0 ? durationSeconds() / seconds : 0.0; }
};

// Never throws; the caller marks `progress` Done once it has stored the result. `stop` becomes non-zero on SIGINT or SIGTERM: the job then
// removes its temporary file and returns with `interrupted` set.
JobResult levelFile(const JobRequest& request, JobProgress& progress, const std::atomic<int>& stop);

// Spacing of the plot's points: 100 ms, or a multiple of it that keeps a long
// file to about 1500 points. `frames` < 0: unknown length.
int64_t plotStepFrames(int rateHz, int64_t frames);
