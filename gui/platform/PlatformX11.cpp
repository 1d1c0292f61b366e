// The X11 backend of the window seam: the editor window as a child of the
// host's window on its own display connection, events read when the frame
// asks (the host's idle calls), drawing through cairo's Xlib surface.
//
// Xlib's error handler is process-wide and its default ends the process.
// While any editor window exists a chaining handler is installed: errors on
// our own connections (a host that destroyed its window before closing the
// editor, a bad parent handle) are swallowed, every other error goes to the
// handler that was there before.
#include "Platform.h"

#include "CairoDrawContext.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo-xlib.h>
#include <dlfcn.h>
#include <fontconfig/fontconfig.h>

#include <array>
#include <cstring>
#include <string>
#include <strings.h>

namespace VSTGUI {

namespace {

// ------------------------------------------------------- staying loaded

// pixman, which cairo draws with, builds its tables in a load-time
// constructor and never frees them: every unload of a module that brought
// cairo into the process loses about 12 KB, and hosts that rescan their
// plug-ins in-process load and unload us again and again. So once a module
// with this backend is loaded, cairo (and pixman with it) stays in the
// process; the module itself still unloads.
[[maybe_unused]] const bool cairoStaysLoaded =
    dlopen("libcairo.so.2", RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE) != nullptr;

// ------------------------------------------------------- error trapping

constexpr size_t kMaxOpenConnections = 64;
std::array<Display*, kMaxOpenConnections> ourDisplays{};
size_t ourDisplayCount = 0;
XErrorHandler previousErrorHandler = nullptr;
bool errorOnOurDisplay = false;

int chainingErrorHandler(Display* display, XErrorEvent* event) {
    for (size_t i = 0; i < ourDisplayCount; ++i) {
        if (ourDisplays[i] == display) {
            errorOnOurDisplay = true;
            return 0;
        }
    }
    return previousErrorHandler ? previousErrorHandler(display, event) : 0;
}

bool registerDisplay(Display* display) {
    if (ourDisplayCount == kMaxOpenConnections) return false;
    if (ourDisplayCount == 0) previousErrorHandler = XSetErrorHandler(chainingErrorHandler);
    ourDisplays[ourDisplayCount++] = display;
    return true;
}

void unregisterDisplay(Display* display) {
    for (size_t i = 0; i < ourDisplayCount; ++i) {
        if (ourDisplays[i] == display) {
            ourDisplays[i] = ourDisplays[--ourDisplayCount];
            break;
        }
    }
    if (ourDisplayCount == 0) {
        // Put the host's handler back unless someone replaced ours meanwhile.
        XErrorHandler current = XSetErrorHandler(previousErrorHandler);
        if (current != chainingErrorHandler) XSetErrorHandler(current);
        previousErrorHandler = nullptr;
    }
}

CButtonState buttonStateFrom(unsigned int xState, unsigned int pressedButton) {
    int32_t state = 0;
    if (pressedButton == Button1 || (xState & Button1Mask)) state |= kLButton;
    if (pressedButton == Button2 || (xState & Button2Mask)) state |= kMButton;
    if (pressedButton == Button3 || (xState & Button3Mask)) state |= kRButton;
    if (xState & ShiftMask) state |= kShift;
    if (xState & ControlMask) state |= kControl;
    if (xState & Mod1Mask) state |= kAlt;
    return CButtonState(state);
}

// -------------------------------------------------------------- window

class X11Frame : public IPlatformFrame {
public:
    X11Frame(IPlatformFrameCallback* owner, Display* display, Window window, Visual* visual,
             int width, int height)
        : owner_(owner), display_(display), window_(window), width_(width), height_(height) {
        surface_ = cairo_xlib_surface_create(display_, window_, visual, width_, height_);
    }

    ~X11Frame() override {
        cairo_surface_destroy(surface_);
        if (window_) XDestroyWindow(display_, window_);
        XSync(display_, False);
        unregisterDisplay(display_);
        XCloseDisplay(display_);
    }

    void processEvents() override {
        while (window_ && XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            handle(event);
        }
    }

    void invalidRect(const CRect& area) override { dirty_.unite(area); }

    void drawDirty() override {
        if (!window_ || dirty_.isEmpty()) return;
        const CRect area = dirty_;
        dirty_ = CRect();
        cairo_t* context = cairo_create(surface_);
        cairo_rectangle(context, area.left, area.top, area.getWidth(), area.getHeight());
        cairo_clip(context);
        // Paint into an off-screen group first, so the window never shows a
        // half-drawn state (background without its controls).
        cairo_push_group(context);
        CairoDrawContext drawContext(context);
        owner_->platformDrawRect(drawContext, area);
        cairo_pop_group_to_source(context);
        cairo_paint(context);
        cairo_destroy(context);
        cairo_surface_flush(surface_);
        // Wait for the server, so the pixels are on screen when this returns.
        XSync(display_, False);
    }

    uintptr_t getNativeHandle() const override { return window_; }
    int getEventFileDescriptor() const override { return ConnectionNumber(display_); }

private:
    void handle(XEvent& event) {
        switch (event.type) {
            case Expose:
                dirty_.unite(CRect(event.xexpose.x, event.xexpose.y,
                                   event.xexpose.x + event.xexpose.width,
                                   event.xexpose.y + event.xexpose.height));
                break;
            case ButtonPress: {
                const CPoint where(event.xbutton.x, event.xbutton.y);
                const CButtonState buttons =
                    buttonStateFrom(event.xbutton.state, event.xbutton.button);
                // Buttons 4 and 5 are the wheel's notches up and down.
                if (event.xbutton.button == Button4)
                    owner_->platformOnMouseWheel(where, 1.0f, buttons);
                else if (event.xbutton.button == Button5)
                    owner_->platformOnMouseWheel(where, -1.0f, buttons);
                else
                    owner_->platformOnMouseDown(where, buttons);
                break;
            }
            case ButtonRelease:
                if (event.xbutton.button >= Button1 && event.xbutton.button <= Button3) {
                    owner_->platformOnMouseUp(CPoint(event.xbutton.x, event.xbutton.y),
                                              buttonStateFrom(event.xbutton.state, 0));
                }
                break;
            case MotionNotify: {
                // Only the latest position of a run of motion events matters;
                // a run ends at any other event, so a release is never
                // delivered before motion that happened ahead of it.
                while (XEventsQueued(display_, QueuedAlready) > 0) {
                    XEvent next;
                    XPeekEvent(display_, &next);
                    if (next.type != MotionNotify || next.xmotion.window != window_) break;
                    XNextEvent(display_, &event);
                }
                owner_->platformOnMouseMoved(CPoint(event.xmotion.x, event.xmotion.y),
                                             buttonStateFrom(event.xmotion.state, 0));
                break;
            }
            case DestroyNotify:
                // The host destroyed its window, and ours with it.
                if (event.xdestroywindow.window == window_) window_ = 0;
                break;
            default:
                break;
        }
    }

    IPlatformFrameCallback* owner_;
    Display* display_;
    Window window_;
    int width_;
    int height_;
    cairo_surface_t* surface_ = nullptr;
    CRect dirty_;
};

}  // namespace

IPlatformFrame* IPlatformFrame::create(IPlatformFrameCallback* owner, void* parentWindow,
                                       const CRect& size) {
    const Window parent = reinterpret_cast<uintptr_t>(parentWindow);
    const int width = static_cast<int>(size.getWidth());
    const int height = static_cast<int>(size.getHeight());
    // X windows cannot have a zero size, and an X11 window id has 29 bits.
    constexpr uintptr_t kLargestWindowId = 0x1FFFFFFF;
    if (!owner || parent == 0 || parent > kLargestWindowId || width <= 0 || height <= 0)
        return nullptr;

    Display* display = XOpenDisplay(nullptr);
    if (!display) return nullptr;
    if (!registerDisplay(display)) {
        XCloseDisplay(display);
        return nullptr;
    }

    // Ask the server whether the parent exists before building on it.
    errorOnOurDisplay = false;
    XWindowAttributes parentAttributes;
    const Status found = XGetWindowAttributes(display, parent, &parentAttributes);
    XSync(display, False);
    if (!found || errorOnOurDisplay) {
        unregisterDisplay(display);
        XCloseDisplay(display);
        return nullptr;
    }

    XSetWindowAttributes attributes;
    std::memset(&attributes, 0, sizeof attributes);
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask |
                            PointerMotionMask | StructureNotifyMask;
    const Window window =
        XCreateWindow(display, parent, 0, 0, static_cast<unsigned>(width),
                      static_cast<unsigned>(height), 0, CopyFromParent, InputOutput,
                      CopyFromParent, CWEventMask, &attributes);
    XMapWindow(display, window);
    XSync(display, False);
    if (errorOnOurDisplay) {
        unregisterDisplay(display);
        XCloseDisplay(display);
        return nullptr;
    }
    return new X11Frame(owner, display, window, parentAttributes.visual, width, height);
}

// ------------------------------------------------------------- resources

namespace {
const EmbeddedResource* resourceTable = nullptr;
size_t resourceCount = 0;
}  // namespace

void setEmbeddedResources(const EmbeddedResource* table, size_t count) {
    resourceTable = table;
    resourceCount = table ? count : 0;
}

const EmbeddedResource* findEmbeddedResource(const char* name) {
    if (!name) return nullptr;
    for (size_t i = 0; i < resourceCount; ++i) {
        if (strcasecmp(resourceTable[i].name, name) == 0) return &resourceTable[i];
    }
    return nullptr;
}

// -------------------------------------------------------------- threads

// X11 needs no per-thread set-up.
bool beginEditorThread() { return false; }
void endEditorThread() {}

// ----------------------------------------------------------------- fonts

const char* resolveFontFamily(const char* preferred) {
    // Arial is the editor's font; Liberation Sans has the same metrics.
    static const char* resolvedArial = nullptr;
    if (!preferred || strcasecmp(preferred, "Arial") != 0) return preferred ? preferred : "sans";
    if (resolvedArial) return resolvedArial;
    resolvedArial = "Liberation Sans";
    if (FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("Arial"))) {
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result;
        if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
            FcChar8* family = nullptr;
            if (FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch &&
                strcasecmp(reinterpret_cast<const char*>(family), "Arial") == 0)
                resolvedArial = "Arial";
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
    }
    return resolvedArial;
}

}  // namespace VSTGUI
