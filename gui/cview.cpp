#include "cview.h"

#include "cbitmap.h"
#include "cframe.h"

namespace VSTGUI {

CView::~CView() {
    if (background_) background_->forget();
}

void CView::draw(CDrawContext* context) {
    if (background_) context->drawBitmap(background_, size_);
}

CMouseEventResult CView::onMouseDown(CPoint&, const CButtonState&) {
    return kMouseEventNotImplemented;
}
CMouseEventResult CView::onMouseMoved(CPoint&, const CButtonState&) {
    return kMouseEventNotImplemented;
}
CMouseEventResult CView::onMouseUp(CPoint&, const CButtonState&) {
    return kMouseEventNotImplemented;
}
bool CView::onWheel(const CPoint&, float, const CButtonState&) { return false; }
int32_t CView::onKeyDown(VstKeyCode&) { return -1; }
int32_t CView::onKeyUp(VstKeyCode&) { return -1; }

void CView::setViewSize(const CRect& size) {
    invalid();
    size_ = size;
    invalid();
}

void CView::invalid() {
    if (frame_) frame_->invalidRect(size_);
}

void CView::setBackground(CBitmap* background) {
    if (background) background->remember();
    if (background_) background_->forget();
    background_ = background;
    setDirty();
}

}  // namespace VSTGUI
