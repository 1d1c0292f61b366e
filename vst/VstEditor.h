// The editor of the VST 2.4 effects: the format's editor interface around
// the editor window, and the window's parameter seam on the effect. The
// effect owns it from its constructor to its destructor; the window exists
// between the host's effEditOpen and effEditClose.
//
// Threads: the host calls the editor opcodes on its user-interface thread;
// parameterChanged comes from the effect's setParameter on any thread.
#pragma once

#include "EditorParameters.h"
#include "OVEditor.h"
#include "aeffeditor.h"

class AudioEffectX;

class VstEditor : public AEffEditor, private EditorParameters {
public:
    // The effect's constructor, on the host's loader thread.
    VstEditor(AudioEffectX* effect, const EditorLayout& layout);

    // Host, user-interface thread (effEditGetRect): the window's rectangle;
    // false for a null place.
    bool getRect(ERect** place) override;
    // Host, user-interface thread (effEditOpen, effEditClose, effEditIdle):
    // the window inside the host's parent, its end, and its idle time.
    bool open(void* parentWindow) override;
    void close() override;
    void idle() override;
    // Host, user-interface thread (effEditKeyDown, effEditKeyUp): keys go to
    // the view with the focus.
    bool onKeyDown(VstKeyCode& keyCode) override;
    bool onKeyUp(VstKeyCode& keyCode) override;
    // Host, user-interface thread (effSetEditKnobMode): kept; the sliders
    // have no knob mode to use it.
    bool setKnobMode(VstInt32 mode) override;

    // The effect's setParameter, any thread: the window shows the new value.
    void parameterChanged(VstInt32 index) { window.parameterChanged(index); }

    const OVEditor& getWindow() const { return window; }

private:
    // The seam, on the effect: its stored normalised values, and user
    // gestures as automation framed by begin and end edit.
    float value(int32_t index) const override;
    void beginEdit(int32_t index) override;
    void setValue(int32_t index, float normalised) override;
    void endEdit(int32_t index) override;

    AudioEffectX* owner;
    OVEditor window;
    ERect rect{0, 0, 0, 0};
    VstInt32 knobMode = 0;
};
