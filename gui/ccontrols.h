// Controls: views with a value that the user changes, and their listener.
#pragma once

#include <cstdint>
#include <functional>

#include "cview.h"

namespace VSTGUI {

class CControl;

// Told of user changes to a control. controlBeginEdit/controlEndEdit frame
// a gesture (a drag from press to release).
class IControlListener {
public:
    virtual ~IControlListener() = default;
    virtual void valueChanged(CControl* control) = 0;
    virtual void controlBeginEdit(CControl*) {}
    virtual void controlEndEdit(CControl*) {}
};

// A view with a value in [min, max] (0..1 unless changed), a default value,
// a tag that names it to the listener, and edit bracketing towards the
// frame's editor.
class CControl : public CView {
public:
    CControl(const CRect& size, IControlListener* listener = nullptr, int32_t tag = -1,
             CBitmap* background = nullptr);

    // Every value is limited to [min, max]; a NaN becomes min.
    virtual void setValue(float value);
    float getValue() const { return value_; }
    void setDefaultValue(float value) { defaultValue_ = value; }
    float getDefaultValue() const { return defaultValue_; }
    float getMin() const { return min_; }
    float getMax() const { return max_; }
    int32_t getTag() const { return tag_; }
    IControlListener* getListener() const { return listener_; }

    // Reports the current value to the listener.
    virtual void valueChanged();
    // Start and end of a user gesture: the listener and the frame's editor
    // (which tells the host) hear of it.
    void beginEdit();
    void endEdit();
    bool isEditing() const { return editing_; }

    // A control is also dirty when its value differs from the one last drawn.
    bool isDirty() const override;
    void setDirty(bool state = true) override;

protected:
    float boundValue(float value) const;
    // The default-value gesture: left button with Ctrl and no other modifier.
    static bool isDefaultValueGesture(const CButtonState& buttons);

private:
    IControlListener* listener_;
    int32_t tag_;
    float value_ = 0.0f;
    float drawnValue_ = 0.0f;
    float defaultValue_ = 0.5f;
    float min_ = 0.0f;
    float max_ = 1.0f;
    bool editing_ = false;
};

// A horizontal slider: a handle bitmap that travels between two positions.
// A press on the handle drags it from where it was taken; a press beside it
// centres it on the pointer first. Shift drags slower by the zoom factor;
// Ctrl + click sets the default value.
class CHorizontalSlider : public CControl {
public:
    enum Style : int32_t { kHorizontal = 1 << 0, kLeft = 1 << 2, kRight = 1 << 3 };

    // iMinPos and iMaxPos are the extreme left-edge positions of the handle,
    // in frame coordinates.
    CHorizontalSlider(const CRect& size, IControlListener* listener, int32_t tag, int32_t iMinPos,
                      int32_t iMaxPos, CBitmap* handle, CBitmap* background,
                      const CPoint& offset = CPoint(0, 0), const int32_t style = kLeft);
    ~CHorizontalSlider() override;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    bool onWheel(const CPoint& where, float distance, const CButtonState& buttons) override;
    int32_t onKeyDown(VstKeyCode& keyCode) override;

    // The handle's rectangle for the current value, in frame coordinates.
    CRect getHandleRect() const;
    int32_t getStyle() const { return style_; }
    void setZoomFactor(float factor) { zoomFactor_ = factor; }

private:
    // Sets a value from a user action; reports it when it changed.
    void changeValueByUser(float value);

    CBitmap* handle_;
    CPoint offset_;
    int32_t style_;
    CCoord minPos_;       // handle left edge at value 0, relative to the view
    CCoord rangeHandle_;  // pixels the handle travels from value 0 to 1
    CCoord handleWidth_;
    CCoord handleHeight_;
    float zoomFactor_ = 10.0f;
    float wheelIncrement_ = 0.1f;
    CCoord grabOffset_ = 0;  // pointer x minus handle left edge while dragging
    CCoord lastPointerX_ = 0;
    bool dragging_ = false;
};

// A read-only display of a control value as text. A value-to-text function,
// when set and answering true, supplies the text; otherwise the value is
// printed with two decimals.
class CParamDisplay : public CControl {
public:
    using ValueToStringFunction =
        std::function<bool(float value, char utf8String[256], CParamDisplay* display)>;

    explicit CParamDisplay(const CRect& size, CBitmap* background = nullptr,
                           const int32_t style = 0);

    void draw(CDrawContext* context) override;

    void setValueToStringFunction(const ValueToStringFunction& function);
    void setFont(const CFontDesc& font) { font_ = font; setDirty(); }
    void setFontColor(const CColor& color) { fontColor_ = color; setDirty(); }
    void setBackColor(const CColor& color) { backColor_ = color; setDirty(); }
    void setFrameColor(const CColor& color) { frameColor_ = color; setDirty(); }
    void setShadowColor(const CColor& color) { shadowColor_ = color; setDirty(); }
    void setAntialias(bool state) { antialias_ = state; setDirty(); }
    void setHoriAlign(CHoriTxtAlign alignment) { alignment_ = alignment; setDirty(); }
    int32_t getStyle() const { return style_; }

    // The text that the display shows for `value`.
    void valueToString(float value, char utf8String[256]);

private:
    ValueToStringFunction valueToString_;
    CFontDesc font_;
    CColor fontColor_{255, 255, 255, 255};
    CColor backColor_{0, 0, 0, 255};
    CColor frameColor_{0, 0, 0, 255};
    CColor shadowColor_{255, 255, 255, 255};
    CHoriTxtAlign alignment_ = kCenterText;
    int32_t style_;
    bool antialias_ = true;
};

// A click area that shows a bitmap over `toDisplay` as the frame's modal
// view; a click on the shown bitmap hides it. Each switch reports to the
// listener (value max while shown, min while hidden).
class CSplashScreen : public CControl {
public:
    CSplashScreen(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* background,
                  const CRect& toDisplay, const CPoint& offset = CPoint(0, 0));
    ~CSplashScreen() override;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    // Hides the shown bitmap.
    void unSplash();

private:
    class SplashView;
    SplashView* splashView_;
};

}  // namespace VSTGUI
