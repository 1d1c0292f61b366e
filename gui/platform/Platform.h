// The one seam between the view layer and the window system. Everything that
// depends on the operating system's windowing lives behind it: creating the
// editor window as a child of the host's window, reading its events,
// providing the drawing surface, and finding and decoding embedded images.
// The views above draw with cairo, which exists on every target system; a
// second backend only has to implement this header.
#pragma once

#include <cairo.h>

#include <cstddef>
#include <cstdint>

#include "../vstguibase.h"

namespace VSTGUI {

// What the window reports to the frame that owns it. All calls come from
// inside IPlatformFrame::processEvents() or drawDirty(), on the thread that
// created the window.
class IPlatformFrameCallback {
public:
    virtual ~IPlatformFrameCallback() = default;
    // Paint the given window area; the context is clipped to it.
    virtual void platformDrawRect(cairo_t* context, const CRect& area) = 0;
    virtual void platformOnMouseDown(const CPoint& where, const CButtonState& buttons) = 0;
    virtual void platformOnMouseMoved(const CPoint& where, const CButtonState& buttons) = 0;
    virtual void platformOnMouseUp(const CPoint& where, const CButtonState& buttons) = 0;
    virtual void platformOnMouseWheel(const CPoint& where, float distance,
                                      const CButtonState& buttons) = 0;
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
};

// Embedded images. A module that carries images registers its table once;
// lookups compare names without regard to case, as resource names are
// case-insensitive on every system that has them.
struct EmbeddedResource {
    const char* name;
    const unsigned char* data;
    size_t size;
};
void setEmbeddedResources(const EmbeddedResource* table, size_t count);
const EmbeddedResource* findEmbeddedResource(const char* name);

// The family to ask cairo for when `preferred` is wanted: `preferred` when
// the system has it, otherwise its metric-compatible substitute
// (Arial -> Liberation Sans), so that texts keep their widths.
const char* resolveFontFamily(const char* preferred);

// Decodes a PNG held in memory into an image surface (ARGB32 or RGB24).
// Answers null for data that is not a decodable PNG.
cairo_surface_t* decodePngImage(const unsigned char* data, size_t size);

}  // namespace VSTGUI
