// The cairo side of the X11 backend: bitmaps as cairo image surfaces and the
// views' drawing context over a cairo context. Also used by the Linux tests
// to draw what a window must show.
#pragma once

#include <cairo.h>

#include <cstddef>

#include "../cdrawcontext.h"
#include "Platform.h"

namespace VSTGUI {

// An image surface (ARGB32 or RGB24), owned.
class CairoBitmap : public IPlatformBitmap {
public:
    explicit CairoBitmap(cairo_surface_t* surface) : surface_(surface) {}
    ~CairoBitmap() override { cairo_surface_destroy(surface_); }
    CairoBitmap(const CairoBitmap&) = delete;
    CairoBitmap& operator=(const CairoBitmap&) = delete;
    int getWidth() const override { return cairo_image_surface_get_width(surface_); }
    int getHeight() const override { return cairo_image_surface_get_height(surface_); }
    cairo_surface_t* surface() const { return surface_; }

private:
    cairo_surface_t* surface_;
};

class CairoDrawContext : public CDrawContext {
public:
    explicit CairoDrawContext(cairo_t* context) : context_(context) {}

    void drawBitmap(CBitmap* bitmap, const CRect& destination,
                    const CPoint& offset = CPoint()) override;
    void fillRect(const CRect& area, const CColor& color) override;
    void frameRect(const CRect& area, const CColor& color) override;
    void drawString(const char* utf8Text, const CRect& area, CHoriTxtAlign alignment,
                    const CFontDesc& font, const CColor& color, bool antialias) override;
    void save(const CRect& area) override;
    void restore() override;

private:
    cairo_t* context_;
};

// Decodes a PNG held in memory into an image surface (ARGB32 or RGB24).
// Answers null for data that is not a decodable PNG.
cairo_surface_t* decodePngImage(const unsigned char* data, size_t size);

// The family to ask cairo for when `preferred` is wanted: `preferred` when
// the system has it, otherwise its metric-compatible substitute
// (Arial -> Liberation Sans), so that texts keep their widths.
const char* resolveFontFamily(const char* preferred);

}  // namespace VSTGUI
