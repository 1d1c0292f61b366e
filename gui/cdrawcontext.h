// Drawing context handed to the views: a thin wrapper over a cairo context
// that speaks in the layer's own rectangles and colours.
#pragma once

#include <cairo.h>

#include "vstguibase.h"

namespace VSTGUI {

class CBitmap;

enum CHoriTxtAlign { kLeftText = 0, kCenterText, kRightText };

// A font by family name and pixel size. The editor's normal font is Arial
// at 12; where Arial is not installed its metric-compatible substitute is
// used, so texts keep their widths.
struct CFontDesc {
    const char* name = "Arial";
    double size = 12.0;
};

class CDrawContext {
public:
    explicit CDrawContext(cairo_t* context) : context_(context) {}

    // Draws the bitmap into `destination`, taking its pixels from `offset`
    // inside the bitmap; pixels outside the bitmap are left alone.
    void drawBitmap(CBitmap* bitmap, const CRect& destination, const CPoint& offset = CPoint());
    void fillRect(const CRect& area, const CColor& color);
    void frameRect(const CRect& area, const CColor& color);
    void drawString(const char* utf8Text, const CRect& area, CHoriTxtAlign alignment,
                    const CFontDesc& font, const CColor& color, bool antialias);

    // Limits drawing to `area` until the matching restore().
    void save(const CRect& area);
    void restore();

private:
    cairo_t* context_;
};

}  // namespace VSTGUI
