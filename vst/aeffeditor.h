// The editor interface of a VST 2.4 effect: the effect owns at most one
// editor and forwards the host's editor opcodes (effEditGetRect, effEditOpen,
// effEditClose, effEditIdle, effEditKeyDown, effEditKeyUp,
// effSetEditKnobMode) to it. Concrete editors derive from this class.
//
// Threads: the host calls every editor operation on its user-interface
// thread, never while the effect is being destroyed.
#pragma once

#include "aeffectx.h"

class AudioEffect;

class AEffEditor {
public:
    explicit AEffEditor(AudioEffect* effect = nullptr) : effect(effect), systemWindow(nullptr) {}
    virtual ~AEffEditor() {}

    virtual AudioEffect* getEffect() { return effect; }
    // Stores the window rectangle's address into *rect; true when it did.
    virtual bool getRect(ERect** rect) {
        if (rect) *rect = nullptr;
        return false;
    }
    // Opens the window inside the host's parent window `ptr`.
    virtual bool open(void* ptr) {
        systemWindow = ptr;
        return false;
    }
    virtual void close() { systemWindow = nullptr; }
    virtual bool isOpen() { return systemWindow != nullptr; }
    virtual void idle() {}
    virtual bool onKeyDown(VstKeyCode& /*keyCode*/) { return false; }
    virtual bool onKeyUp(VstKeyCode& /*keyCode*/) { return false; }
    virtual bool onWheel(float /*distance*/) { return false; }
    virtual bool setKnobMode(VstInt32 /*mode*/) { return false; }

protected:
    AudioEffect* effect;  // the owning effect
    void* systemWindow;   // the host's parent window while open, else null
};
