// Bitmaps loaded from PNG images embedded in the module.
#pragma once

#include <cairo.h>

#include "vstguibase.h"

namespace VSTGUI {

// Names an embedded image, as a resource name ("ov_slider.png").
struct CResourceDescription {
    CResourceDescription(const char* resourceName) : name(resourceName) {}
    const char* name;
};

// An image decoded once at construction. An image that cannot be found or
// decoded leaves an empty bitmap: width and height 0, drawing does nothing.
class CBitmap : public CBaseObject {
public:
    explicit CBitmap(const CResourceDescription& description);
    ~CBitmap() override;

    CCoord getWidth() const;
    CCoord getHeight() const;
    bool isLoaded() const { return surface_ != nullptr; }
    cairo_surface_t* getSurface() const { return surface_; }

private:
    cairo_surface_t* surface_ = nullptr;
};

}  // namespace VSTGUI
