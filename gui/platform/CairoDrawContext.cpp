#include "CairoDrawContext.h"

#include <cmath>
#include <cstring>

#include "../cbitmap.h"

namespace VSTGUI {

namespace {

void setSourceColor(cairo_t* context, const CColor& color) {
    cairo_set_source_rgba(context, color.red / 255.0, color.green / 255.0, color.blue / 255.0,
                          color.alpha / 255.0);
}

}  // namespace

void CairoDrawContext::drawBitmap(CBitmap* bitmap, const CRect& destination, const CPoint& offset) {
    if (!bitmap || !bitmap->isLoaded() || destination.isEmpty()) return;
    cairo_save(context_);
    cairo_rectangle(context_, destination.left, destination.top, destination.getWidth(),
                    destination.getHeight());
    cairo_clip(context_);
    cairo_set_source_surface(context_, static_cast<CairoBitmap*>(bitmap->getPlatformBitmap())->surface(), destination.left - offset.x,
                             destination.top - offset.y);
    // Bitmaps are drawn 1:1 at whole pixels; no filtering blurs them.
    cairo_pattern_set_filter(cairo_get_source(context_), CAIRO_FILTER_NEAREST);
    cairo_paint(context_);
    cairo_restore(context_);
}

void CairoDrawContext::fillRect(const CRect& area, const CColor& color) {
    if (color.alpha == 0 || area.isEmpty()) return;
    setSourceColor(context_, color);
    cairo_rectangle(context_, area.left, area.top, area.getWidth(), area.getHeight());
    cairo_fill(context_);
}

void CairoDrawContext::frameRect(const CRect& area, const CColor& color) {
    if (color.alpha == 0 || area.isEmpty()) return;
    setSourceColor(context_, color);
    cairo_set_line_width(context_, 1.0);
    // Half-pixel inset puts the one-pixel line exactly on the border pixels.
    cairo_rectangle(context_, area.left + 0.5, area.top + 0.5, area.getWidth() - 1,
                    area.getHeight() - 1);
    cairo_stroke(context_);
}

void CairoDrawContext::drawString(const char* utf8Text, const CRect& area, CHoriTxtAlign alignment,
                              const CFontDesc& font, const CColor& color, bool antialias) {
    if (!utf8Text || !*utf8Text || area.isEmpty()) return;
    cairo_save(context_);
    cairo_select_font_face(context_, resolveFontFamily(font.name), CAIRO_FONT_SLANT_NORMAL,
                           CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(context_, font.size);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options,
                                     antialias ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
    // Whole-pixel glyph advances: every glyph starts on a pixel, so a text
    // looks the same on every drawing surface (window or off-screen).
    // Settings the window system may otherwise supply its own defaults for.
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_subpixel_order(options, CAIRO_SUBPIXEL_ORDER_DEFAULT);
    cairo_set_font_options(context_, options);
    cairo_font_options_destroy(options);

    cairo_text_extents_t text;
    cairo_text_extents(context_, utf8Text, &text);
    cairo_font_extents_t fontExtents;
    cairo_font_extents(context_, &fontExtents);

    double x = area.left;
    if (alignment == kCenterText)
        x = area.left + (area.getWidth() - text.x_advance) / 2.0;
    else if (alignment == kRightText)
        x = area.right - text.x_advance;
    // The line box (ascent + descent) is centred vertically in the area; the
    // baseline is snapped to a whole pixel so the glyphs stay sharp.
    const double baseline = std::round(
        area.top + (area.getHeight() + fontExtents.ascent - fontExtents.descent) / 2.0);

    setSourceColor(context_, color);
    cairo_move_to(context_, std::round(x), baseline);
    cairo_show_text(context_, utf8Text);
    cairo_restore(context_);
}

void CairoDrawContext::save(const CRect& area) {
    cairo_save(context_);
    cairo_rectangle(context_, area.left, area.top, area.getWidth(), area.getHeight());
    cairo_clip(context_);
}

void CairoDrawContext::restore() { cairo_restore(context_); }

// ------------------------------------------------------------- bitmaps

namespace {
struct PngReader {
    const unsigned char* data;
    size_t size;
    size_t position;
};

cairo_status_t readPngBytes(void* closure, unsigned char* destination, unsigned int length) {
    auto* reader = static_cast<PngReader*>(closure);
    if (length > reader->size - reader->position) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(destination, reader->data + reader->position, length);
    reader->position += length;
    return CAIRO_STATUS_SUCCESS;
}
}  // namespace

cairo_surface_t* decodePngImage(const unsigned char* data, size_t size) {
    if (!data || size == 0) return nullptr;
    PngReader reader{data, size, 0};
    cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(readPngBytes, &reader);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    return surface;
}

IPlatformBitmap* IPlatformBitmap::createFromResource(const char* name) {
    const EmbeddedResource* resource = findEmbeddedResource(name);
    if (!resource) return nullptr;
    cairo_surface_t* surface = decodePngImage(resource->data, resource->size);
    return surface ? new CairoBitmap(surface) : nullptr;
}

}  // namespace VSTGUI
