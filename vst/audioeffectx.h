// AudioEffectX: the second-generation VST 2.4 effect base. It answers the
// dispatcher opcodes 25..79 through virtual operations (every default gives
// the interface's "not supported" answer, 0) and offers the host-callback
// wrappers and speaker-arrangement helpers that effects and editors use.
#pragma once

#include "audioeffect.h"

class AudioEffectX : public AudioEffect {
public:
    AudioEffectX(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
        : AudioEffect(audioMaster, numPrograms, numParams) {}

    // Threads: as AudioEffect::dispatcher.
    VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                         float opt) override;

    // ---- virtual operations behind the opcodes 25..79 ----
    virtual bool canParameterBeAutomated(VstInt32 index) { return index >= 0 && index < numParams; }
    virtual VstInt32 getPlugCategory() { return kPlugCategUnknown; }
    // Both arguments may be null; an effect answers false for what it cannot take.
    virtual bool setSpeakerArrangement(VstSpeakerArrangement* /*input*/,
                                       VstSpeakerArrangement* /*output*/) {
        return false;
    }
    // Stores the effect's own arrangements into the two places; the effect
    // keeps ownership.
    virtual bool getSpeakerArrangement(VstSpeakerArrangement** /*input*/,
                                       VstSpeakerArrangement** /*output*/) {
        return false;
    }
    virtual bool getEffectName(char* /*name*/) { return false; }
    virtual bool getVendorString(char* /*text*/) { return false; }
    virtual bool getProductString(char* /*text*/) { return false; }
    virtual VstInt32 getVendorVersion() { return 0; }
    virtual VstInt32 canDo(char* /*text*/) { return 0; }
    virtual VstInt32 getVstVersion() { return kVstVersion; }
    virtual VstInt32 getCurrentMidiProgram() { return -1; }
    virtual VstInt64 setTotalSampleToProcess(VstInt64 value) { return value; }

    // ---- host-callback wrappers; without a host they make no call ----
    // Asks the host for its rate; a positive answer becomes sampleRate.
    // Returns sampleRate.
    float updateSampleRate();
    // Frame one gesture on a parameter (the user holds a control).
    bool beginEdit(VstInt32 index);
    bool endEdit(VstInt32 index);
    // Asks the host to resize the editor's window.
    bool sizeWindow(VstInt32 width, VstInt32 height);

    // ---- speaker-arrangement helpers (they allocate: never on the audio thread) ----
    // Replaces the arrangement at `place` with a zero-filled one of
    // `channels` channels; keeps the old one and answers false when memory
    // cannot be had.
    static bool allocateArrangement(VstSpeakerArrangement** place, VstInt32 channels);
    static bool deallocateArrangement(VstSpeakerArrangement** place);
    static bool copySpeaker(VstSpeakerProperties* to, const VstSpeakerProperties* from);
    // Makes `place` a copy of `from` (type, channel count, every speaker).
    static bool matchArrangement(VstSpeakerArrangement** place,
                                 const VstSpeakerArrangement* from);
};
