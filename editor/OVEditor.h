// The editor window: the background image with every label, one slider and
// one value display per parameter, and a click area under the product name
// that shows the credits image.
//
// The editor keeps no parameter state: it shows the plug-in's normalised
// values and sends every user change back through EditorParameters, so the
// plug-in applies it and its host records it. It knows no plug-in format: a
// front end embeds it in the host's window, drives it from the host's run
// loop or timer (idle), and tells it of every parameter change.
//
// Threads: the thread that opens the window is the user-interface thread;
// everything but parameterChanged runs there. The editor starts no thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <thread>

#include "EditorLayout.h"
#include "EditorParameters.h"
#include "ParamTable.h"
#include "ccontrols.h"
#include "cframe.h"

class OVEditor : public VSTGUI::VSTGUIEditorInterface, public VSTGUI::IControlListener {
public:
    static constexpr int32_t kMaxRows = kParamCount;

    // The front end, on the thread that will run the window (a host's loader
    // or main thread): makes that thread ready for windows (OLE on Windows).
    OVEditor(EditorParameters& parameters, const EditorLayout& layout);
    // Closes a window the host left open; undoes the thread's set-up.
    ~OVEditor() override;

    // The window's size in pixels: the layout's until the first open, then
    // the background image's (0 when it failed to load).
    int32_t width() const { return widthPx; }
    int32_t height() const { return heightPx; }

    // Builds the window inside `parentWindow` (the host's native handle: an
    // X11 window id, or an HWND) with the current values. False when no
    // window can be made there (no display, not a window). A second open
    // replaces the first window. The calling thread becomes the
    // user-interface thread.
    bool open(void* parentWindow);
    // Destroys the window and every view in it; open may follow again.
    void close();
    bool isOpen() const { return frame != nullptr; }
    // The host's idle call, timer or run-loop callback: brings the rows that
    // other threads changed up to date, reads window events, repaints.
    void idle();
    // Key events the host delivers to the editor; true when a view took it.
    bool onKeyDown(VSTGUI::VstKeyCode& key);
    bool onKeyUp(VSTGUI::VstKeyCode& key);
    // While the window is open on X11: the file descriptor of its display
    // connection, which becomes readable when events wait (a host run loop
    // may watch it and call idle). -1 otherwise.
    int eventFileDescriptor() const;

    // Any thread: parameter `index` has a new value. On the user-interface
    // thread the row is drawn at once; on any other thread only the row's
    // bit is recorded (no window-system call, no view), and the next idle
    // draws it. Indices outside the rows are ignored.
    void parameterChanged(int32_t index);

    // The views, user-interface thread (inside idle's event reading).
    void valueChanged(VSTGUI::CControl* control) override;
    void beginEdit(int32_t index) override;
    void endEdit(int32_t index) override;
    VSTGUI::CFrame* getFrame() const override { return frame; }

    const EditorLayout& getLayout() const { return layout; }

private:
    // Reads the row's value into its slider and display.
    void refreshRow(int32_t row);
    bool isRow(int32_t index) const {
        return static_cast<uint32_t>(index) < static_cast<uint32_t>(layout.rowCount);
    }
    bool isUserInterfaceThread() const {
        return std::this_thread::get_id() == userInterfaceThread.load(std::memory_order_relaxed);
    }

    EditorParameters& parameters;
    const EditorLayout& layout;
    VSTGUI::CFrame* frame = nullptr;
    int32_t widthPx;
    int32_t heightPx;
    VSTGUI::CSplashScreen* splashScreen = nullptr;
    std::array<VSTGUI::CHorizontalSlider*, kMaxRows> sliders{};
    std::array<VSTGUI::CParamDisplay*, kMaxRows> displays{};
    // Rows changed by other threads since the last idle, one bit per row.
    std::atomic<uint32_t> pendingRows{0};
    // Written by open() on that thread, read by parameterChanged() on any.
    std::atomic<std::thread::id> userInterfaceThread{};
    // The thread whose set-up the destructor undoes (platform/Platform.h).
    std::thread::id setUpThread;
    bool threadSetUp;
};
