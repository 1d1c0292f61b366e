// AudioEffect: the base of a VST 2.4 effect. It keeps the effect record that
// the host receives, turns the record's entries and the first-generation
// dispatcher opcodes (0..24) into virtual operations, owns the editor and
// wraps the host callback.
//
// The record's entries catch every exception, so nothing is ever thrown
// across the host interface.
#pragma once

#include "aeffectx.h"

class AEffEditor;

class AudioEffect {
public:
    // Sets up the record: magic, the five entries, the counts, ioRatio 1,
    // object = this, unique ID "NoEf", version 1, replacing processing.
    AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
    // Destroys the editor, if any.
    virtual ~AudioEffect();

    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    AEffect* getAeffect() { return &cEffect; }

    // ---- operations the host reaches through the record ----
    // Threads: any thread (host automation, user interface, or the audio
    // thread itself), also while processReplacing runs. Touches only the
    // effect's parameter store.
    virtual void setParameter(VstInt32 /*index*/, float /*value*/) {}
    // Threads: any thread. Reads the parameter store only.
    virtual float getParameter(VstInt32 /*index*/) { return 0.0f; }
    // Threads: the host's audio thread, one block at a time, only between
    // resume and suspend.
    virtual void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) = 0;

    // Threads: the host's dispatcher thread (user interface or loader), one
    // call at a time. effSetSampleRate, effSetBlockSize and effMainsChanged
    // only while processing is switched off: they may touch the engines;
    // every other opcode touches only the record, the program name, the
    // stored parameter values, the arrangements or the editor.
    virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt);

    // ---- virtual operations behind the dispatcher (defaults: do nothing) ----
    virtual void open() {}
    virtual void close() {}
    virtual void suspend() {}
    virtual void resume() {}
    virtual void setSampleRate(float rate) { sampleRate = rate; }
    virtual void setBlockSize(VstInt32 size) { blockSize = size; }
    virtual void setProgram(VstInt32 program) { curProgram = program; }
    virtual VstInt32 getProgram() { return curProgram; }
    virtual void setProgramName(char* /*name*/) {}
    virtual void getProgramName(char* name) { name[0] = 0; }
    virtual void getParameterLabel(VstInt32 /*index*/, char* label) { label[0] = 0; }
    virtual void getParameterDisplay(VstInt32 /*index*/, char* text) { text[0] = 0; }
    virtual void getParameterName(VstInt32 /*index*/, char* text) { text[0] = 0; }

    // ---- operations for the effect class and the editor ----
    // Sets the parameter, then tells the host (audioMasterAutomate) so it can
    // record the change. Threads: the editor's user-interface thread.
    virtual void setParameterAutomated(VstInt32 index, float value);
    // Stores the editor (owned from now on) and sets or clears
    // effFlagsHasEditor accordingly.
    void setEditor(AEffEditor* newEditor);
    AEffEditor* getEditor() { return editor; }
    float getSampleRate() const { return sampleRate; }
    VstInt32 getBlockSize() const { return blockSize; }

    void setUniqueID(VstInt32 id) { cEffect.uniqueID = id; }
    void setNumInputs(VstInt32 inputs) { cEffect.numInputs = inputs; }
    void setNumOutputs(VstInt32 outputs) { cEffect.numOutputs = outputs; }
    void setInitialDelay(VstInt32 delaySamples) { cEffect.initialDelay = delaySamples; }
    void canProcessReplacing(bool state) { setFlag(effFlagsCanReplacing, state); }
    void canDoubleReplacing(bool state) { setFlag(effFlagsCanDoubleReplacing, state); }
    void isSynth(bool state) { setFlag(effFlagsIsSynth, state); }

protected:
    void setFlag(VstInt32 flag, bool state) {
        cEffect.flags = state ? (cEffect.flags | flag) : (cEffect.flags & ~flag);
    }
    // The host callback, or 0 without a host (a null callback makes no call).
    VstIntPtr callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

    audioMasterCallback audioMaster;  // null when constructed without a host
    AEffEditor* editor;               // owned; null when there is none
    float sampleRate;                 // Hz
    VstInt32 blockSize;               // largest block the host announced
    VstInt32 numPrograms;
    VstInt32 numParams;
    VstInt32 curProgram;
    AEffect cEffect;
};
