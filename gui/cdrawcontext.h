// Drawing context handed to the views: the drawing operations they use, in
// the layer's own rectangles and colours. Each window-system backend
// implements it over its own drawing library (platform/).
#pragma once

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
    CDrawContext() = default;
    CDrawContext(const CDrawContext&) = delete;
    CDrawContext& operator=(const CDrawContext&) = delete;
    virtual ~CDrawContext() = default;

    // Draws the bitmap into `destination`, taking its pixels from `offset`
    // inside the bitmap; pixels outside the bitmap are left alone.
    virtual void drawBitmap(CBitmap* bitmap, const CRect& destination,
                            const CPoint& offset = CPoint()) = 0;
    virtual void fillRect(const CRect& area, const CColor& color) = 0;
    // A one-pixel line on the border pixels of `area`.
    virtual void frameRect(const CRect& area, const CColor& color) = 0;
    // One line of text, centred vertically in `area` (its line box of ascent
    // plus descent), aligned horizontally as asked, baseline on a whole pixel.
    virtual void drawString(const char* utf8Text, const CRect& area, CHoriTxtAlign alignment,
                            const CFontDesc& font, const CColor& color, bool antialias) = 0;

    // Limits drawing to `area` (within the current limit) until the matching
    // restore().
    virtual void save(const CRect& area) = 0;
    virtual void restore() = 0;
};

}  // namespace VSTGUI
