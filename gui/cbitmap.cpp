#include "cbitmap.h"

#include "platform/Platform.h"

namespace VSTGUI {

CBitmap::CBitmap(const CResourceDescription& description) {
    if (description.name) platformBitmap_ = IPlatformBitmap::createFromResource(description.name);
}

CBitmap::~CBitmap() { delete platformBitmap_; }

CCoord CBitmap::getWidth() const { return platformBitmap_ ? platformBitmap_->getWidth() : 0; }

CCoord CBitmap::getHeight() const { return platformBitmap_ ? platformBitmap_->getHeight() : 0; }

}  // namespace VSTGUI
