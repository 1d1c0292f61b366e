// The binding of a frame to a VST 2.4 editor: the effect's editor opcodes
// reach the frame through it, and user gestures reach the effect.
//
// Threads: every operation but setParameter runs on the host's user-interface
// thread; the thread that calls open() is taken as that thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "../vst/aeffeditor.h"
#include "cframe.h"

class AudioEffect;

class AEffGUIEditor : public AEffEditor, public VSTGUI::VSTGUIEditorInterface {
public:
    // Registers the editor with the effect (which sets effFlagsHasEditor).
    explicit AEffGUIEditor(void* effect);
    ~AEffGUIEditor() override;

    // Host, user-interface thread: hands out the window rectangle; false
    // for a null place.
    bool getRect(ERect** rect) override;
    // Host, user-interface thread: remembers the parent and the calling
    // thread; derived editors build the frame.
    bool open(void* parentWindow) override;
    // Host, user-interface thread: destroys the frame and every view in it.
    void close() override;
    // Host, user-interface thread: reads window events and repaints what
    // changed, unless the editor is itself inside idle processing.
    void idle() override;
    // Host, user-interface thread: key events go to the view with focus.
    bool onKeyDown(VstKeyCode& keyCode) override;
    bool onKeyUp(VstKeyCode& keyCode) override;
    // Host, user-interface thread: stores the knob mode for knob controls.
    bool setKnobMode(VstInt32 mode) override;

    // The effect tells the editor of a parameter change (any thread).
    virtual void setParameter(VstInt32 index, float value) {
        (void)index;
        (void)value;
    }

    // User-interface thread, from the controls: framed gestures to the host.
    void beginEdit(int32_t index) override;
    void endEdit(int32_t index) override;
    VSTGUI::CFrame* getFrame() const override { return frame; }
    int32_t getKnobMode() const override { return knobMode; }

    // Milliseconds since the editor was created.
    uint32_t getTicks() const;

protected:
    // True on the thread that opened the window (the user-interface thread).
    bool isUserInterfaceThread() const {
        return std::this_thread::get_id() == userInterfaceThread.load(std::memory_order_relaxed);
    }

    ERect rect{0, 0, 0, 0};
    VSTGUI::CFrame* frame = nullptr;
    bool inIdleStuff = false;  // set while idle time is handed to the host
    static int32_t knobMode;

private:
    // Written by open() on that thread, read by setParameter() on any.
    std::atomic<std::thread::id> userInterfaceThread{};
    uint64_t createdAtMilliseconds;
    // The thread whose set-up the destructor undoes (platform/Platform.h).
    std::thread::id setUpThread;
    bool threadSetUp = false;
};
