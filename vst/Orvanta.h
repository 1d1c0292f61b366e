// Orvanta: the VST 2.4 leveler effect. One class, compiled once per channel
// layout: ORVANTA_SURROUND51=1 builds the 5.1 effect (six channels, a main
// and an LFE engine), 0 the stereo effect (one engine).
//
// Parameter hand-over. The host and the editor may call setParameter on any
// thread while processReplacing runs. setParameter stores the normalised and
// the plain value at once (atomics: getParameter and the displays answer the
// new value immediately) and queues (index, plain value) for the thread that
// owns the engines. That thread applies the queued changes, in the order they
// came, at the start of the next block (or in setSampleRate / resume, which
// the host calls while processing is off), through the same engine operations
// that an immediate call would use. So the engines never see half a
// coefficient set and no thread ever waits for another.
// When the queue is full, the producer raises a resync flag instead; after
// draining the queue, the owner then re-applies every stored plain value in
// index order, which brings the engines to the latest values.
#pragma once

#include <atomic>
#include <cstdint>
#include <type_traits>

#include "LevelerCore.h"
#include "ParamTable.h"
#include "ParameterChangeQueue.h"
#include "Surround51.h"
#include "audioeffectx.h"

#ifndef ORVANTA_SURROUND51
#define ORVANTA_SURROUND51 0
#endif

namespace orvanta_vst {

// The stereo effect's engine: one group of two channels.
struct StereoEngines {
    static constexpr VstInt32 kChannels = 2;
    LevelerCore engine;

    LevelerCore& main() { return engine; }
    LevelerCore* lfe() { return nullptr; }
    void setSampleRate(float hz) { engine.setSampleRate(hz); }
    void reset() { engine.reset(); }
    uint32_t latency() const { return engine.latency(); }
    void process(float** inputs, float** outputs, int32_t count) {
        engine.processStereo(inputs[0], inputs[1], outputs[0], outputs[1], count);
    }
};

// The 5.1 effect's engines: the main group and the LFE limiter, wired
// together by the shared 5.1 unit (channel order L, R, C, LFE, Ls, Rs).
struct SurroundEngines {
    static constexpr VstInt32 kChannels = Surround51::kChannels;
    Surround51 unit;

    LevelerCore& main() { return unit.main; }
    LevelerCore* lfe() { return &unit.lfe; }
    void setSampleRate(float hz) { unit.setSampleRate(hz); }
    void reset() { unit.reset(); }
    uint32_t latency() const { return unit.latency(); }
    void process(float** inputs, float** outputs, int32_t count) {
        unit.process(inputs, outputs, count);
    }
};

// Owns a speaker arrangement block (released with free, as the shell
// allocates it with calloc).
struct OwnedArrangement {
    VstSpeakerArrangement* block = nullptr;
    OwnedArrangement() = default;
    OwnedArrangement(const OwnedArrangement&) = delete;
    OwnedArrangement& operator=(const OwnedArrangement&) = delete;
    ~OwnedArrangement();
};

}  // namespace orvanta_vst

class Orvanta : public AudioEffectX {
public:
    static constexpr bool kIsSurround51 = ORVANTA_SURROUND51 != 0;
    static constexpr Layout kLayout = kIsSurround51 ? Layout::Surround51 : Layout::Stereo;
    using Engines = typename std::conditional<kIsSurround51, orvanta_vst::SurroundEngines,
                                              orvanta_vst::StereoEngines>::type;
    static constexpr VstInt32 kChannels = Engines::kChannels;
    static constexpr VstInt32 kArrangementType = kIsSurround51 ? kSpeakerArr51 : kSpeakerArrStereo;
    static constexpr VstInt32 kVendorVersion = 1150;  // version 1.15
    // Changes that may wait between two blocks before the resync takes over:
    // far more than a host sends per block even when it automates every
    // parameter at every sub-block.
    static constexpr uint32_t kQueuedChanges = 256;

    // Threads: the host's loader thread (from VSTPluginMain). Throws
    // std::bad_alloc when memory cannot be had; the entry answers null then.
    explicit Orvanta(audioMasterCallback audioMaster);
    ~Orvanta() override;

    // Threads: any, also while processReplacing runs. Stores the values at
    // once and queues the engine change; never blocks or allocates.
    void setParameter(VstInt32 index, float value) override;
    // Threads: any. The stored normalised value.
    float getParameter(VstInt32 index) override;
    // Threads: the audio thread. Applies the waiting parameter changes, then
    // processes the block in place or out of place.
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;

    // Threads: the dispatcher thread, while processing is off.
    void resume() override;
    void setSampleRate(float rate) override;

    // Threads: the dispatcher thread (host or editor). Touch only the
    // program name, the stored parameter values and the arrangements.
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    void getParameterLabel(VstInt32 index, char* label) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterName(VstInt32 index, char* text) override;
    bool setSpeakerArrangement(VstSpeakerArrangement* input,
                               VstSpeakerArrangement* output) override;
    bool getSpeakerArrangement(VstSpeakerArrangement** input,
                               VstSpeakerArrangement** output) override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override { return kVendorVersion; }
    VstInt32 getPlugCategory() override { return kPlugCategEffect; }

private:
    static constexpr VstInt32 kParams = kIsSurround51 ? 9 : 8;

    bool isParameter(VstInt32 index) const { return index >= 0 && index < kParams; }
    // The engine owner's side of the hand-over: queued changes in order, then
    // the full resync if a producer found the queue full.
    void applyPendingChanges();
    void applyToEngines(int32_t index, float plainValue);
    // Makes `arrangement` the layout's own: kChannels zeroed speakers.
    void resetArrangement(orvanta_vst::OwnedArrangement& arrangement);

    Engines engines;
    orvanta_vst::OwnedArrangement inputArrangement;
    orvanta_vst::OwnedArrangement outputArrangement;

    // What the host set (getParameter) and what the engines get
    // (getParameterDisplay), per ParamId. Relaxed atomics: each value is
    // read and written whole by any thread; ordering with the engines comes
    // from the queue.
    std::atomic<float> normalisedValue[kParamCount];
    std::atomic<float> plainValue[kParamCount];
    ParameterChangeQueue<kQueuedChanges> pendingChanges;
    std::atomic<bool> resyncPending{false};

    static constexpr int kProgramNameChars = kVstMaxProgNameLen;  // 24
    char programName[kProgramNameChars + 1];
};
