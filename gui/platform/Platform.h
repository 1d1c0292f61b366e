// The one seam between the view layer and the window system. Everything that
// depends on the operating system's windowing lives behind it: creating the
// editor window as a child of the host's window, reading its events,
// providing the drawing context, and finding and decoding embedded images.
// The views above draw through CDrawContext only. Backends: X11 with cairo
// (PlatformX11.cpp, CairoDrawContext.cpp) and Win32 with GDI+
// (PlatformWin32.cpp); each only has to implement this header.
#pragma once

#include <cstddef>
#include <cstdint>

#include "../vstguibase.h"

namespace VSTGUI {

class CDrawContext;
struct VstKeyCode;

// What the window reports to the frame that owns it. All calls come from
// inside IPlatformFrame::processEvents() or drawDirty(), on the thread that
// created the window.
class IPlatformFrameCallback {
public:
    virtual ~IPlatformFrameCallback() = default;
    // Paint the given window area; the context is clipped to it.
    virtual void platformDrawRect(CDrawContext& context, const CRect& area) = 0;
    virtual void platformOnMouseDown(const CPoint& where, const CButtonState& buttons) = 0;
    virtual void platformOnMouseMoved(const CPoint& where, const CButtonState& buttons) = 0;
    virtual void platformOnMouseUp(const CPoint& where, const CButtonState& buttons) = 0;
    virtual void platformOnMouseWheel(const CPoint& where, float distance,
                                      const CButtonState& buttons) = 0;
    // A key pressed or released while the window has the keyboard focus
    // (backends whose hosts deliver keys to the window itself); true when a
    // view took it.
    virtual bool platformOnKeyDown(VstKeyCode& key) {
        (void)key;
        return false;
    }
    virtual bool platformOnKeyUp(VstKeyCode& key) {
        (void)key;
        return false;
    }
};

// A window embedded in a host window. Not thread-safe: the thread that
// created it is the only one that may call it.
class IPlatformFrame {
public:
    // Creates a child window of `parentWindow` (the host's native handle) of
    // the given size. Answers null when there is no window system, the
    // parent is not a window, or the size is unusable.
    static IPlatformFrame* create(IPlatformFrameCallback* owner, void* parentWindow,
                                  const CRect& size);
    virtual ~IPlatformFrame() = default;

    // Reads every pending window-system event and hands it to the owner.
    virtual void processEvents() = 0;
    // Marks an area for repainting.
    virtual void invalidRect(const CRect& area) = 0;
    // Repaints the marked areas now, through the owner's platformDrawRect,
    // and waits until the window system has them on screen.
    virtual void drawDirty() = 0;
    // The native handle of the editor's own window (0 when it is gone).
    virtual uintptr_t getNativeHandle() const = 0;
    // A file descriptor that becomes readable when window-system events wait
    // for processEvents (the X11 display connection), for hosts that drive
    // the editor from a run loop watching descriptors; -1 where events come
    // otherwise (Win32 delivers them to the window procedure).
    virtual int getEventFileDescriptor() const { return -1; }
};

// A decoded image, ready for the backend's drawing context.
class IPlatformBitmap {
public:
    // Finds the module's embedded image of that name and decodes it (PNG,
    // with its alpha). Answers null when there is no such image or it
    // cannot be decoded.
    static IPlatformBitmap* createFromResource(const char* name);
    virtual ~IPlatformBitmap() = default;
    virtual int getWidth() const = 0;
    virtual int getHeight() const = 0;
};

// The editor binding's per-thread set-up, made by its constructor and undone
// by its destructor: on Windows OLE for the calling thread (drag and drop,
// clipboard), elsewhere nothing. beginEditorThread answers whether the
// matching endEditorThread is due on that thread.
bool beginEditorThread();
void endEditorThread();

// Embedded images as a table of byte arrays, for systems without resources
// in their module format (the X11 backend). A module that carries images
// registers its table once; lookups compare names without regard to case, as
// resource names are case-insensitive on every system that has them. The
// Win32 backend reads the module's "PNG" resources instead and ignores the
// table.
struct EmbeddedResource {
    const char* name;
    const unsigned char* data;
    size_t size;
};
void setEmbeddedResources(const EmbeddedResource* table, size_t count);
const EmbeddedResource* findEmbeddedResource(const char* name);

}  // namespace VSTGUI
