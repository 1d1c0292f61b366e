// Orvanta: the VST 2.4 leveler effect. One class, compiled once per channel
// layout: ORVANTA_SURROUND51=1 builds the 5.1 effect (six channels), 0 the
// stereo effect, each over a plug-in core of its layout.
//
// Parameter hand-over. The host and the editor may call setParameter on any
// thread while processReplacing runs. The core stores the normalised and the
// plain value at once (getParameter and the displays answer the new value
// immediately) and hands the change to the audio thread, which applies the
// changes, in the order they came, at the start of the next block (or in
// setSampleRate / resume, which the host calls while processing is off).
// So the engines never see half a coefficient set and no thread ever waits
// for another.
#pragma once

#include <cstdint>
#include <memory>

#include "ParamTable.h"
#include "PluginCore.h"
#include "audioeffectx.h"

#ifndef ORVANTA_SURROUND51
#define ORVANTA_SURROUND51 0
#endif

namespace orvanta_vst {

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
    static constexpr VstInt32 kChannels = kIsSurround51 ? Surround51::kChannels : 2;
    static constexpr VstInt32 kArrangementType = kIsSurround51 ? kSpeakerArr51 : kSpeakerArrStereo;
    static constexpr VstInt32 kVendorVersion = 1150;  // version 1.15

    // Threads: the host's loader thread (from VSTPluginMain). Throws
    // std::bad_alloc when memory cannot be had; the entry answers null then.
    explicit Orvanta(audioMasterCallback audioMaster);
    ~Orvanta() override;

    // Threads: any, also while processReplacing runs. Stores the values at
    // once and queues the engine change; never blocks or allocates. A NaN
    // changes nothing; other values outside 0..1 are clamped.
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
    static constexpr VstInt32 kParams = paramCount(kLayout);

    bool isParameter(VstInt32 index) const { return index >= 0 && index < kParams; }
    // Makes `arrangement` the layout's own: kChannels zeroed speakers.
    void resetArrangement(orvanta_vst::OwnedArrangement& arrangement);

    // The engines, the parameter values (what the host set, for getParameter,
    // and what the engines get, for getParameterDisplay) and their hand-over.
    std::unique_ptr<PluginCore> core;
    orvanta_vst::OwnedArrangement inputArrangement;
    orvanta_vst::OwnedArrangement outputArrangement;

    static constexpr int kProgramNameChars = kVstMaxProgNameLen;  // 24
    char programName[kProgramNameChars + 1];
};
