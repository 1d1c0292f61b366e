// Our declarations of the VST 3 editor view: the plug-in's view in a host
// window, the host's frame around it, and on Linux the host's run loop that
// drives the view's timers and file descriptors on the user-interface
// thread.
#pragma once

#include "Base.h"

namespace vst3 {

struct ViewRect {
    int32 left;
    int32 top;
    int32 right;
    int32 bottom;
};

constexpr const char* kPlatformTypeHwnd = "HWND";
constexpr const char* kPlatformTypeX11EmbedWindowId = "X11EmbedWindowID";

class IPlugFrame;

class IPlugView : public FUnknown {
public:
    using Base = FUnknown;
    static constexpr Uid iid = makeUid(0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29);

    virtual tresult ORVANTA_VST3_API isPlatformTypeSupported(FIDString type) = 0;
    virtual tresult ORVANTA_VST3_API attached(void* parent, FIDString type) = 0;
    virtual tresult ORVANTA_VST3_API removed() = 0;
    virtual tresult ORVANTA_VST3_API onWheel(float distance) = 0;
    // Virtual key codes and modifier bits as the VST 2.4 interface numbers
    // them (left 11, up 12, right 13, down 14; shift 1).
    virtual tresult ORVANTA_VST3_API onKeyDown(char16 key, int16 keyCode, int16 modifiers) = 0;
    virtual tresult ORVANTA_VST3_API onKeyUp(char16 key, int16 keyCode, int16 modifiers) = 0;
    virtual tresult ORVANTA_VST3_API getSize(ViewRect* size) = 0;
    virtual tresult ORVANTA_VST3_API onSize(ViewRect* newSize) = 0;
    virtual tresult ORVANTA_VST3_API onFocus(TBool state) = 0;
    virtual tresult ORVANTA_VST3_API setFrame(IPlugFrame* frame) = 0;
    virtual tresult ORVANTA_VST3_API canResize() = 0;
    virtual tresult ORVANTA_VST3_API checkSizeConstraint(ViewRect* rect) = 0;
};

class IPlugFrame : public FUnknown {
public:
    using Base = FUnknown;
    static constexpr Uid iid = makeUid(0x367FAF01, 0xAFA94693, 0x8D4DA2A0, 0xED0882A3);

    virtual tresult ORVANTA_VST3_API resizeView(IPlugView* view, ViewRect* newSize) = 0;
};

class IEventHandler : public FUnknown {
public:
    using Base = FUnknown;
    static constexpr Uid iid = makeUid(0x561E65C9, 0x13A0496F, 0x813A2C35, 0x654D7983);

    virtual void ORVANTA_VST3_API onFDIsSet(int fileDescriptor) = 0;
};

class ITimerHandler : public FUnknown {
public:
    using Base = FUnknown;
    static constexpr Uid iid = makeUid(0x10BDD94F, 0x41424774, 0x821FAD8F, 0xECA72CA9);

    virtual void ORVANTA_VST3_API onTimer() = 0;
};

// Linux hosts offer it on their IPlugFrame (or their host context).
class IRunLoop : public FUnknown {
public:
    using Base = FUnknown;
    static constexpr Uid iid = makeUid(0x18C35366, 0x97764F1A, 0x9C5B8385, 0x7A871389);

    virtual tresult ORVANTA_VST3_API registerEventHandler(IEventHandler* handler, int fileDescriptor) = 0;
    virtual tresult ORVANTA_VST3_API unregisterEventHandler(IEventHandler* handler) = 0;
    virtual tresult ORVANTA_VST3_API registerTimer(ITimerHandler* handler, uint64 milliseconds) = 0;
    virtual tresult ORVANTA_VST3_API unregisterTimer(ITimerHandler* handler) = 0;
};

}  // namespace vst3
