#include "cframe.h"

#include "cbitmap.h"
#include "ccontrols.h"

namespace VSTGUI {

CFrame::CFrame(const CRect& size, VSTGUIEditorInterface* editor) : CView(size), editor_(editor) {}

CFrame::~CFrame() {
    // The window goes first, so nothing is drawn or delivered while the
    // views are released.
    delete platformFrame_;
    platformFrame_ = nullptr;
    mouseDownView_ = nullptr;
    focusView_ = nullptr;
    if (modalView_) {
        modalView_->attached(nullptr);
        modalView_->forget();
        modalView_ = nullptr;
    }
    for (CView* view : views_) {
        view->attached(nullptr);
        view->forget();
    }
    views_.clear();
}

bool CFrame::open(void* parent, PlatformType) {
    if (platformFrame_) return true;
    platformFrame_ = IPlatformFrame::create(this, parent, getViewSize());
    if (!platformFrame_) return false;
    invalidRect(getViewSize());
    return true;
}

bool CFrame::addView(CView* view) {
    if (!view) return false;
    views_.push_back(view);
    view->attached(this);
    view->setDirty(true);
    return true;
}

bool CFrame::setModalView(CView* view) {
    if (view && modalView_) return false;
    if (modalView_) {
        invalidRect(modalView_->getViewSize());
        if (mouseDownView_ == modalView_) mouseDownView_ = nullptr;
        CView* hidden = modalView_;
        modalView_ = nullptr;
        hidden->attached(nullptr);
        hidden->forget();
    }
    if (view) {
        view->remember();
        view->attached(this);
        modalView_ = view;
        // A gesture in progress on another view ends here: it gets no more
        // mouse events while the modal view is shown.
        if (CControl* control = dynamic_cast<CControl*>(mouseDownView_)) control->endEdit();
        mouseDownView_ = nullptr;
        invalidRect(view->getViewSize());
    }
    return true;
}

void CFrame::processPlatformEvents() {
    if (!platformFrame_ || readingEvents_) return;
    readingEvents_ = true;
    platformFrame_->processEvents();
    readingEvents_ = false;
}

void CFrame::idle() {
    for (CView* view : views_) {
        if (view->isDirty()) {
            invalidRect(view->getViewSize());
            view->setDirty(false);
        }
    }
    if (modalView_ && modalView_->isDirty()) {
        invalidRect(modalView_->getViewSize());
        modalView_->setDirty(false);
    }
    if (platformFrame_) platformFrame_->drawDirty();
}

void CFrame::invalidRect(const CRect& area) {
    CRect bounded = area;
    bounded.bound(getViewSize());
    if (platformFrame_ && !bounded.isEmpty()) platformFrame_->invalidRect(bounded);
}

uintptr_t CFrame::getNativeHandle() const {
    return platformFrame_ ? platformFrame_->getNativeHandle() : 0;
}

int CFrame::getEventFileDescriptor() const {
    return platformFrame_ ? platformFrame_->getEventFileDescriptor() : -1;
}

void CFrame::drawArea(CDrawContext& drawContext, const CRect& area) {
    drawContext.save(area);
    if (getBackground()) drawContext.drawBitmap(getBackground(), getViewSize());
    auto drawView = [&](CView* view) {
        CRect clip = view->getViewSize();
        clip.bound(area);
        if (clip.isEmpty()) return;
        drawContext.save(clip);
        view->draw(&drawContext);
        drawContext.restore();
    };
    for (CView* view : views_) drawView(view);
    if (modalView_) drawView(modalView_);
    drawContext.restore();
}

void CFrame::platformDrawRect(CDrawContext& context, const CRect& area) { drawArea(context, area); }

CView* CFrame::viewAt(const CPoint& where) const {
    if (modalView_) return modalView_->getViewSize().pointInside(where) ? modalView_ : nullptr;
    for (auto it = views_.rbegin(); it != views_.rend(); ++it) {
        if ((*it)->getMouseEnabled() && (*it)->getViewSize().pointInside(where)) return *it;
    }
    return nullptr;
}

void CFrame::onMouseDownAt(const CPoint& where, const CButtonState& buttons) {
    if (mouseDownView_) return;  // a second button during a drag
    CView* view = viewAt(where);
    if (!view) return;
    if (view->wantsFocus()) focusView_ = view;
    CPoint local = where;
    if (view->onMouseDown(local, buttons) == kMouseEventHandled) mouseDownView_ = view;
}

void CFrame::onMouseMovedAt(const CPoint& where, const CButtonState& buttons) {
    if (!mouseDownView_) return;
    CPoint local = where;
    mouseDownView_->onMouseMoved(local, buttons);
}

void CFrame::onMouseUpAt(const CPoint& where, const CButtonState& buttons) {
    if (!mouseDownView_) return;
    CView* view = mouseDownView_;
    mouseDownView_ = nullptr;
    CPoint local = where;
    view->onMouseUp(local, buttons);
}

void CFrame::onWheelAt(const CPoint& where, float distance, const CButtonState& buttons) {
    if (mouseDownView_) return;
    if (CView* view = viewAt(where)) view->onWheel(where, distance, buttons);
}

void CFrame::platformOnMouseDown(const CPoint& where, const CButtonState& buttons) {
    onMouseDownAt(where, buttons);
}
void CFrame::platformOnMouseMoved(const CPoint& where, const CButtonState& buttons) {
    onMouseMovedAt(where, buttons);
}
void CFrame::platformOnMouseUp(const CPoint& where, const CButtonState& buttons) {
    onMouseUpAt(where, buttons);
}
void CFrame::platformOnMouseWheel(const CPoint& where, float distance,
                                  const CButtonState& buttons) {
    onWheelAt(where, distance, buttons);
}

int32_t CFrame::onKeyDown(VstKeyCode& keyCode) {
    if (modalView_ || !focusView_) return -1;
    return focusView_->onKeyDown(keyCode);
}

int32_t CFrame::onKeyUp(VstKeyCode& keyCode) {
    if (modalView_ || !focusView_) return -1;
    return focusView_->onKeyUp(keyCode);
}

}  // namespace VSTGUI
