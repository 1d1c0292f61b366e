#include "ccontrols.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "cbitmap.h"
#include "cframe.h"

namespace VSTGUI {

// ---------------------------------------------------------------- CControl

CControl::CControl(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* background)
    : CView(size), listener_(listener), tag_(tag) {
    if (background) setBackground(background);
}

float CControl::boundValue(float value) const {
    if (std::isnan(value)) return min_;
    return std::min(max_, std::max(min_, value));
}

void CControl::setValue(float value) { value_ = boundValue(value); }

bool CControl::isDirty() const { return CView::isDirty() || value_ != drawnValue_; }

void CControl::setDirty(bool state) {
    CView::setDirty(state);
    if (!state) drawnValue_ = value_;
}

void CControl::valueChanged() {
    if (listener_) listener_->valueChanged(this);
}

void CControl::beginEdit() {
    if (editing_) return;
    editing_ = true;
    if (listener_) listener_->controlBeginEdit(this);
    if (getFrame() && getFrame()->getEditor()) getFrame()->getEditor()->beginEdit(tag_);
}

void CControl::endEdit() {
    if (!editing_) return;
    editing_ = false;
    if (getFrame() && getFrame()->getEditor()) getFrame()->getEditor()->endEdit(tag_);
    if (listener_) listener_->controlEndEdit(this);
}

bool CControl::isDefaultValueGesture(const CButtonState& buttons) {
    return buttons.isLeftButton() && buttons.getModifierState() == kControl;
}

// ------------------------------------------------------- CHorizontalSlider

CHorizontalSlider::CHorizontalSlider(const CRect& size, IControlListener* listener, int32_t tag,
                                     int32_t iMinPos, int32_t iMaxPos, CBitmap* handle,
                                     CBitmap* background, const CPoint& offset,
                                     const int32_t style)
    : CControl(size, listener, tag, background),
      handle_(handle),
      offset_(offset),
      style_(style | kHorizontal),
      minPos_(iMinPos - size.left),
      rangeHandle_(static_cast<CCoord>(iMaxPos) - iMinPos),
      handleWidth_(handle ? handle->getWidth() : 0),
      handleHeight_(handle ? handle->getHeight() : 0) {
    if (handle_) handle_->remember();
    setWantsFocus(true);
}

CHorizontalSlider::~CHorizontalSlider() {
    if (handle_) handle_->forget();
}

CRect CHorizontalSlider::getHandleRect() const {
    // Whole pixels, rounded down: value v puts the left edge at
    // minPos + floor(range * v), so equal values always draw alike.
    double travel = std::floor(static_cast<double>(getValue()) * rangeHandle_);
    if (style_ & kRight) travel = rangeHandle_ - travel;
    const CRect& size = getViewSize();
    const CCoord left = size.left + offset_.x + minPos_ + travel;
    const CCoord top = size.top + offset_.y;
    return CRect(left, top, left + handleWidth_, top + handleHeight_);
}

void CHorizontalSlider::draw(CDrawContext* context) {
    if (getBackground() && !getTransparency())
        context->drawBitmap(getBackground(), getViewSize(), offset_);
    if (handle_) context->drawBitmap(handle_, getHandleRect());
    setDirty(false);
}

void CHorizontalSlider::changeValueByUser(float value) {
    const float before = getValue();
    setValue(value);
    if (getValue() != before) valueChanged();
}

CMouseEventResult CHorizontalSlider::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    if (isDefaultValueGesture(buttons)) {
        beginEdit();
        setValue(getDefaultValue());
        valueChanged();
        endEdit();
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    beginEdit();
    dragging_ = true;
    lastPointerX_ = where.x;
    const CRect handle = getHandleRect();
    if (where.x >= handle.left && where.x < handle.right) {
        grabOffset_ = where.x - handle.left;
    } else {
        // A press beside the handle centres the handle on the pointer.
        grabOffset_ = handleWidth_ / 2;
        if (!(buttons & kShift)) onMouseMoved(where, buttons);
    }
    return kMouseEventHandled;
}

CMouseEventResult CHorizontalSlider::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (!dragging_) return kMouseEventNotHandled;
    if (rangeHandle_ <= 0) return kMouseEventHandled;
    float value;
    if (buttons & kShift) {
        // Fine mode: the pointer's movement counts zoomFactor times less.
        value = getValue() +
                static_cast<float>((where.x - lastPointerX_) / (rangeHandle_ * zoomFactor_));
    } else {
        const CCoord handleLeftAtZero = getViewSize().left + offset_.x + minPos_;
        double normalised = (where.x - grabOffset_ - handleLeftAtZero) / rangeHandle_;
        if (style_ & kRight) normalised = 1.0 - normalised;
        value = static_cast<float>(normalised);
    }
    lastPointerX_ = where.x;
    changeValueByUser(value);
    return kMouseEventHandled;
}

CMouseEventResult CHorizontalSlider::onMouseUp(CPoint&, const CButtonState&) {
    if (!dragging_) return kMouseEventNotHandled;
    dragging_ = false;
    endEdit();
    return kMouseEventHandled;
}

bool CHorizontalSlider::onWheel(const CPoint&, float distance, const CButtonState& buttons) {
    float step = wheelIncrement_ * distance;
    if (buttons & kShift) step /= zoomFactor_;
    beginEdit();
    changeValueByUser(getValue() + step);
    endEdit();
    return true;
}

int32_t CHorizontalSlider::onKeyDown(VstKeyCode& keyCode) {
    float direction = 0.0f;
    switch (keyCode.virt) {
        case kVirtualKeyRight:
        case kVirtualKeyUp: direction = 1.0f; break;
        case kVirtualKeyLeft:
        case kVirtualKeyDown: direction = -1.0f; break;
        default: return -1;
    }
    float step = wheelIncrement_ * direction;
    if (keyCode.modifier & kModifierShift) step /= zoomFactor_;
    beginEdit();
    changeValueByUser(getValue() + step);
    endEdit();
    return 1;
}

// ----------------------------------------------------------- CParamDisplay

CParamDisplay::CParamDisplay(const CRect& size, CBitmap* background, const int32_t style)
    : CControl(size, nullptr, -1, background), style_(style) {}

void CParamDisplay::setValueToStringFunction(const ValueToStringFunction& function) {
    valueToString_ = function;
    setDirty();
}

void CParamDisplay::valueToString(float value, char utf8String[256]) {
    utf8String[0] = 0;
    if (valueToString_ && valueToString_(value, utf8String, this)) {
        utf8String[255] = 0;
        return;
    }
    std::snprintf(utf8String, 256, "%.2f", value);
}

void CParamDisplay::draw(CDrawContext* context) {
    const CRect& size = getViewSize();
    if (getBackground()) {
        context->drawBitmap(getBackground(), size);
    } else if (!getTransparency()) {
        context->fillRect(size, backColor_);
        context->frameRect(size, frameColor_);
    }
    char text[256];
    valueToString(getValue(), text);
    context->drawString(text, size, alignment_, font_, fontColor_, antialias_);
    setDirty(false);
}

// ----------------------------------------------------------- CSplashScreen

// The shown bitmap: the frame's modal view while the splash is open.
class CSplashScreen::SplashView : public CView {
public:
    SplashView(const CRect& size, CSplashScreen* owner) : CView(size), owner_(owner) {}

    CMouseEventResult onMouseDown(CPoint&, const CButtonState& buttons) override {
        if (buttons.isLeftButton() && owner_) owner_->unSplash();
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    void ownerGone() { owner_ = nullptr; }

private:
    CSplashScreen* owner_;
};

CSplashScreen::CSplashScreen(const CRect& size, IControlListener* listener, int32_t tag,
                             CBitmap* background, const CRect& toDisplay, const CPoint& offset)
    : CControl(size, listener, tag), splashView_(new SplashView(toDisplay, this)) {
    (void)offset;  // the bitmap is shown from its top-left corner
    splashView_->setBackground(background);
}

CSplashScreen::~CSplashScreen() {
    // The frame may still hold the view as its modal view while it is being
    // destroyed; the view must not call back into this control then.
    splashView_->ownerGone();
    splashView_->forget();
}

void CSplashScreen::draw(CDrawContext*) { setDirty(false); }

CMouseEventResult CSplashScreen::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    setValue(getValue() == getMax() ? getMin() : getMax());
    CFrame* frame = getFrame();
    if (getValue() == getMax()) {
        if (!frame || !frame->setModalView(splashView_)) setValue(getMin());
    } else if (frame && frame->getModalView() == splashView_) {
        frame->setModalView(nullptr);
    }
    valueChanged();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

void CSplashScreen::unSplash() {
    setValue(getMin());
    CFrame* frame = getFrame();
    if (frame && frame->getModalView() == splashView_) frame->setModalView(nullptr);
    valueChanged();
}

}  // namespace VSTGUI
