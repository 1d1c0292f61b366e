// PluginCore: what every front end is built on. One leveler for a channel
// layout (mono, stereo, 5.1) and a sample rate: the engines of the layout and
// their start-up sequence, the parameter values and their hand-over to the
// audio thread, block processing, rate changes and resets, the latency, the
// meters and the saved state. A front end translates its host's calls into
// these and owns no engine of its own.
//
// Threads. Three roles:
//   - the owner: the thread that creates the core and, while no block is being
//     processed, changes its rate or resets it (a host's main or loader thread);
//   - the audio thread: process, beginMeterBlock and publishMeters, one block at
//     a time (a host that moves processing between threads hands it over);
//   - any thread: setting and reading parameter values, reading the published
//     meters, saving and restoring the state.
// A parameter value is stored at once (every reader sees it immediately) and
// queued for the audio thread, which applies the queued values whole and in
// order at the start of the next process call, or in setSampleRate and reset.
// So the engines never see half a coefficient set and no thread waits for
// another. A change set on the audio thread between two process calls takes
// effect at the first frame of the second: front ends that receive changes at
// sample offsets split their blocks there. When the queue is full, the
// producer raises a resync instead; after the queue, the audio thread then
// applies every stored value in index order, which lands the engines on the
// latest values.
// process, the parameter setters, beginMeterBlock and publishMeters allocate
// nothing, take no lock and make no system call.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "LevelerCore.h"
#include "ParamTable.h"
#include "ParameterChangeQueue.h"
#include "Surround51.h"

class PluginCore {
public:
    // Changes that may wait between two blocks before the resync takes over:
    // far more than a host sends per block, even one that automates every
    // parameter at every sub-block.
    static constexpr uint32_t kQueuedChanges = 256;
    // The largest state saveState writes is far smaller; restoreState refuses
    // anything longer.
    static constexpr size_t kMaxStateBytes = 4096;

    // Owner thread. A core for `layout` at `sampleRateHz` (the engines clamp
    // the rate to 8000..384000 Hz; below 10 Hz it becomes 48000), brought to
    // the layout's default parameters; null when memory cannot be had or the
    // rate is NaN. Never throws.
    static std::unique_ptr<PluginCore> create(Layout layout, float sampleRateHz) noexcept;
    ~PluginCore();
    PluginCore(const PluginCore&) = delete;
    PluginCore& operator=(const PluginCore&) = delete;

    // Any thread.
    Layout layout() const { return layout_; }
    int32_t channels() const;  // 1, 2 or 6, in the engine's order (5.1: L R C LFE Ls Rs)
    int32_t parameterCount() const { return paramCount(layout_); }
    bool isParameter(ParamId id) const;

    // ---- parameters: any thread, the audio thread included ----
    // A plain value in engine units, by the control-port rules: clamped to the
    // bounds, the mix mode rounded to a mode (trunc(v + 0.5)) and clamped to
    // 0..3. A NaN or an infinity, or an id the layout does not have, changes
    // nothing: false.
    bool setPlain(ParamId id, float plain);
    // A host's normalised value: clamped to 0..1 (a NaN changes nothing:
    // false) and mapped by the table. The mix mode keeps mode / 3 as its
    // normalised value, so a host reads back the mode it will restore.
    bool setNormalised(ParamId id, float normalised);
    // The stored values: what the engines have or are about to get. 0 for an
    // id the layout does not have.
    float plain(ParamId id) const;
    float normalised(ParamId id) const;

    // ---- audio thread ----
    // Applies the waiting parameter changes, then processes `frames` frames
    // of planar buffers, one per channel in channels() order; an output may be
    // its own channel's input. Any length is taken (the engines run in pieces
    // of at most 2^30 frames). Null buffers: nothing is processed, the engines
    // keep their state, and the answer is false (the waiting changes are
    // applied all the same).
    bool process(const float* const* inputs, float* const* outputs, uint64_t frames);
    // The limiter's deepest reduction starts afresh: a host block begins.
    void beginMeterBlock();
    // Publishes the meters for readers on other threads: the leveler gain
    // after the last frame processed, and the deepest limiter reduction of
    // the engines since beginMeterBlock.
    void publishMeters();

    // ---- owner thread, while no block is being processed ----
    // Both apply the waiting parameter changes first. A new rate re-derives
    // the engines (their arrays are sized again: this allocates) and clears
    // their signal state; a rate that is no finite number is ignored. reset
    // clears the signal state and keeps every parameter.
    void setSampleRate(float hz);
    void reset();
    // Frames between an input frame and its output, at the current rate.
    uint32_t latency() const;
    // Offline front ends, before the first block: the waiting changes are
    // applied, then the main engine's detector starts as in a pause of a
    // programme at `lufs` (LevelerCore::startDetectorAt). The plug-ins never
    // call it.
    void startDetectorAt(float lufs);

    // ---- meters ----
    struct Meters {
        float levelerGainDb;       // kGainMeterFloorDb..kGainMeterCeilingDb
        float limiterReductionDb;  // 0..kReductionMeterMaxDb
    };
    // Any thread: the meters as last published (0 dB each before the first).
    Meters meters() const;
    // Audio or owner thread, between process calls: the raw values, the
    // linear leveler gain and the deepest reduction (dB, unpinned) since
    // beginMeterBlock over every engine of the layout.
    float levelerGain() const;
    double deepestReductionDb() const;

    // ---- state: any thread but the audio thread ----
    // Writes the parameter values as text ("orvanta-state 1", then one
    // "symbol=value" line per parameter of the layout) into `text`; answers
    // the length, or 0 when `capacity` is too small (then nothing is
    // written). Never allocates.
    size_t saveState(char* text, size_t capacity) const;
    // Restores a saved state whole or not at all: unknown symbols are
    // skipped, values are taken by the port rules (clamped), parameters the
    // state does not name go to their defaults. False, and nothing changed,
    // for anything that is not such a state (another header or version, a
    // malformed line, a value that is no finite number, a symbol named twice,
    // more than kMaxStateBytes). The audio thread receives the restored values
    // together, before its next block.
    bool restoreState(const char* text, size_t length);

private:
    PluginCore(Layout layout, float sampleRateHz);

    LevelerCore& mainEngine();
    const LevelerCore& mainEngine() const;
    LevelerCore* lfeEngine();
    // Stores both values of a parameter and queues the plain one.
    void store(ParamId id, float plain, float normalised);
    void applyPendingChanges();
    void applyToEngines(int32_t index, float plain);
    void processPiece(const float* const* inputs, float* const* outputs, uint64_t offset,
                      int32_t frames);

    const Layout layout_;
    std::unique_ptr<LevelerCore> single_;   // mono and stereo
    std::unique_ptr<Surround51> surround_;  // 5.1: main engine, LFE engine, their hand-over

    // Relaxed atomics: each value is read and written whole by any thread;
    // the order in which the engines receive them comes from the queue.
    std::atomic<float> plain_[kParamCount];
    std::atomic<float> normalised_[kParamCount];
    ParameterChangeQueue<kQueuedChanges> pending_;
    std::atomic<bool> resyncPending_{false};

    std::atomic<float> gainMeterDb_{0.0f};
    std::atomic<float> reductionMeterDb_{0.0f};
};
