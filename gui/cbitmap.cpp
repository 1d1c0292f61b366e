#include "cbitmap.h"

#include "platform/Platform.h"

namespace VSTGUI {

CBitmap::CBitmap(const CResourceDescription& description) {
    const EmbeddedResource* resource =
        description.name ? findEmbeddedResource(description.name) : nullptr;
    if (resource) surface_ = decodePngImage(resource->data, resource->size);
}

CBitmap::~CBitmap() {
    if (surface_) cairo_surface_destroy(surface_);
}

CCoord CBitmap::getWidth() const {
    return surface_ ? cairo_image_surface_get_width(surface_) : 0;
}

CCoord CBitmap::getHeight() const {
    return surface_ ? cairo_image_surface_get_height(surface_) : 0;
}

}  // namespace VSTGUI
