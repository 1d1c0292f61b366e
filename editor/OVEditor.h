// The editor window of the VST effects: the background image with every
// label, one slider and one value display per parameter, and a click area
// under the product name that shows the credits image.
//
// The editor keeps no parameter state: it shows the effect's normalised
// values (getParameter) and sends every user change back through
// setParameterAutomated, so the effect applies it and the host records it.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "EditorLayout.h"
#include "aeffguieditor.h"
#include "ccontrols.h"

class AudioEffect;

class OVEditor : public AEffGUIEditor, public VSTGUI::IControlListener, public VSTGUI::CBaseObject {
public:
    static constexpr int32_t kMaxRows = 9;

    // The effect's constructor, loader thread: registers with the effect;
    // touches only the effect's editor field and flags.
    OVEditor(AudioEffect* effect, const EditorLayout& layout);
    // The effect's destructor, user-interface thread: releases a frame the
    // host left open (its window and views).
    ~OVEditor() override;

    // Host (effEditOpen), user-interface thread: builds the window inside
    // `parentWindow` with the effect's current values (getParameter). False
    // when no window can be made there (no display, not a window).
    bool open(void* parentWindow) override;
    // Host (effEditIdle), user-interface thread: brings the rows that other
    // threads changed up to date, reads window events, repaints. Touches the
    // frame, its views and, through user gestures, the effect's parameters.
    void idle() override;
    // The effect's setParameter, any thread. On the thread that opened the
    // window it sets the row's controls and draws them at once; on any other
    // thread it only sets the row's bit in pendingRows (no X11, no views),
    // and the next idle() draws it. Indices outside the rows are ignored.
    void setParameter(VstInt32 index, float value) override;
    // The controls, user-interface thread (inside idle's event reading):
    // sends the slider's value to the effect's setParameterAutomated.
    void valueChanged(VSTGUI::CControl* control) override;

    const EditorLayout& getLayout() const { return layout; }

private:
    // Reads the row's value from the effect into its slider and display.
    void refreshRow(int32_t row);
    bool isRow(VstInt32 index) const {
        return static_cast<uint32_t>(index) < static_cast<uint32_t>(layout.rowCount);
    }

    const EditorLayout& layout;
    VSTGUI::CSplashScreen* splashScreen = nullptr;
    std::array<VSTGUI::CHorizontalSlider*, kMaxRows> sliders{};
    std::array<VSTGUI::CParamDisplay*, kMaxRows> displays{};
    // Rows changed by other threads since the last idle, one bit per row.
    // The only state shared between threads, hence atomic.
    std::atomic<uint32_t> pendingRows{0};
};
