// Bitmaps loaded from PNG images embedded in the module.
#pragma once

#include "vstguibase.h"

namespace VSTGUI {

class IPlatformBitmap;

// Names an embedded image, as a resource name ("ov_slider.png").
struct CResourceDescription {
    CResourceDescription(const char* resourceName) : name(resourceName) {}
    const char* name;
};

// An image decoded once at construction by the window-system backend. An
// image that cannot be found or decoded leaves an empty bitmap: width and
// height 0, drawing does nothing.
class CBitmap : public CBaseObject {
public:
    explicit CBitmap(const CResourceDescription& description);
    ~CBitmap() override;

    CCoord getWidth() const;
    CCoord getHeight() const;
    bool isLoaded() const { return platformBitmap_ != nullptr; }
    // The backend's decoded image, for the backend's drawing context.
    IPlatformBitmap* getPlatformBitmap() const { return platformBitmap_; }

private:
    IPlatformBitmap* platformBitmap_ = nullptr;
};

}  // namespace VSTGUI
