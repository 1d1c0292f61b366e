// The editor window as a VST 3 view: the same window as the VST 2.4
// effect's (editor/OVEditor), of fixed size (380 x 390; 5.1 380 x 420),
// embedded in the host's X11 window on Linux or its HWND on Windows.
//
// Idle time: on Linux the host's run loop (IRunLoop, found on the view's
// frame or in the host context) calls the window on its user-interface
// thread, on a timer and whenever the window's X connection has events; a
// host without a run loop gets no window. On Windows the window's messages
// come through the host's message loop, and a thread timer of the
// user-interface thread does the rest. The view starts no thread, so
// nothing touches X after removed.
//
// Threads: the host's user-interface thread, for every entry.
// parameterChanged may come from any thread (see OVEditor).
#pragma once

#include <cstdint>

#include "ComObject.h"
#include "EditorParameters.h"
#include "OVEditor.h"
#include "interface/Processing.h"
#include "interface/View.h"

namespace orvanta_vst3 {

class Vst3Controller;
class Vst3View;

#if defined(_WIN32)
using ViewObject = ComObject<Vst3View, vst3::IPlugView>;
#else
using ViewObject = ComObject<Vst3View, vst3::IPlugView, vst3::IEventHandler, vst3::ITimerHandler>;
#endif

class Vst3View final : public ViewObject, private EditorParameters {
public:
    // Between two idle calls, a change made on another thread waits at most
    // this long to be drawn; short enough to look immediate.
    static constexpr uint32_t kIdleIntervalMs = 25;

    // The controller's createView: a view that holds a reference to the
    // controller until it is released; null without memory.
    static Vst3View* create(Vst3Controller& controller) noexcept;

    // ---- IPlugView ----
    vst3::tresult ORVANTA_VST3_API isPlatformTypeSupported(vst3::FIDString type) override;
    // Opens the window in `parent`; kResultFalse when that cannot be done
    // (no window there, no run loop on Linux). Attaching an attached view
    // moves it.
    vst3::tresult ORVANTA_VST3_API attached(void* parent, vst3::FIDString type) override;
    // Stops the idle calls, then closes the window.
    vst3::tresult ORVANTA_VST3_API removed() override;
    vst3::tresult ORVANTA_VST3_API onWheel(float distance) override;
    vst3::tresult ORVANTA_VST3_API onKeyDown(vst3::char16 key, vst3::int16 keyCode, vst3::int16 modifiers) override;
    vst3::tresult ORVANTA_VST3_API onKeyUp(vst3::char16 key, vst3::int16 keyCode, vst3::int16 modifiers) override;
    vst3::tresult ORVANTA_VST3_API getSize(vst3::ViewRect* size) override;
    vst3::tresult ORVANTA_VST3_API onSize(vst3::ViewRect* newSize) override;
    vst3::tresult ORVANTA_VST3_API onFocus(vst3::TBool state) override;
    vst3::tresult ORVANTA_VST3_API setFrame(vst3::IPlugFrame* frame) override;
    // The size is fixed.
    vst3::tresult ORVANTA_VST3_API canResize() override;
    vst3::tresult ORVANTA_VST3_API checkSizeConstraint(vst3::ViewRect* rect) override;

#if !defined(_WIN32)
    // ---- the host's run loop, user-interface thread ----
    void ORVANTA_VST3_API onFDIsSet(int fileDescriptor) override;
    void ORVANTA_VST3_API onTimer() override;
#endif

    // Any thread: row `row` of the window shows a new value.
    void parameterChanged(int32_t row) { window_.parameterChanged(row); }
    // The Windows timer's callback.
    void idle() { window_.idle(); }

private:
    friend ViewObject;
    explicit Vst3View(Vst3Controller& controller);
    ~Vst3View();

    // The platform's idle calls for the open window (Vst3ViewLinux.cpp,
    // Vst3ViewWin32.cpp); false when the window cannot have them.
    bool startIdle();
    void stopIdle();

    // EditorParameters, on the controller.
    float value(int32_t index) const override;
    void beginEdit(int32_t index) override;
    void setValue(int32_t index, float normalised) override;
    void endEdit(int32_t index) override;

    Vst3Controller& controller_;
    OVEditor window_;
    vst3::IPlugFrame* frame_ = nullptr;  // the host's, valid between setFrame calls
    bool attached_ = false;
#if defined(_WIN32)
    uintptr_t timer_ = 0;
#else
    HostRef<vst3::IRunLoop> runLoop_;
    bool watchingEvents_ = false;
#endif
};

}  // namespace orvanta_vst3
