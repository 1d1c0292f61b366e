// Views: rectangles in the frame that draw themselves and may take the mouse.
#pragma once

#include <cstdint>

#include "cdrawcontext.h"
#include "vstguibase.h"

namespace VSTGUI {

class CBitmap;
class CFrame;

// A key event as the host delivers it: character, virtual key, modifiers.
// The numbers of the virtual keys and modifier bits are those of the VST 2.4
// interface, so a host's key code passes through unchanged.
struct VstKeyCode {
    int32_t character = 0;
    unsigned char virt = 0;
    unsigned char modifier = 0;
};
enum : unsigned char {
    kVirtualKeyLeft = 11,
    kVirtualKeyUp = 12,
    kVirtualKeyRight = 13,
    kVirtualKeyDown = 14,
};
enum : unsigned char { kModifierShift = 1 };

class CView : public CBaseObject {
public:
    explicit CView(const CRect& size) : size_(size) {}
    ~CView() override;

    virtual void draw(CDrawContext* context);

    virtual CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons);
    // `distance` is in wheel notches, positive away from the user.
    virtual bool onWheel(const CPoint& where, float distance, const CButtonState& buttons);
    // Answers 1 when the key was used, -1 when not.
    virtual int32_t onKeyDown(VstKeyCode& keyCode);
    virtual int32_t onKeyUp(VstKeyCode& keyCode);

    const CRect& getViewSize() const { return size_; }
    virtual void setViewSize(const CRect& size);

    // A dirty view is repainted by the frame's next idle pass.
    virtual bool isDirty() const { return dirty_; }
    virtual void setDirty(bool state = true) { dirty_ = state; }
    // Asks the frame to repaint the view's area.
    void invalid();

    void setTransparency(bool state) { transparent_ = state; }
    bool getTransparency() const { return transparent_; }
    void setMouseEnabled(bool state) { mouseEnabled_ = state; }
    bool getMouseEnabled() const { return mouseEnabled_; }
    void setWantsFocus(bool state) { wantsFocus_ = state; }
    bool wantsFocus() const { return wantsFocus_; }

    // The view keeps its own reference to the bitmap.
    void setBackground(CBitmap* background);
    CBitmap* getBackground() const { return background_; }

    CFrame* getFrame() const { return frame_; }
    // Called by the frame when the view is added to it or removed from it.
    void attached(CFrame* frame) { frame_ = frame; }

private:
    CRect size_;
    CBitmap* background_ = nullptr;
    CFrame* frame_ = nullptr;
    bool dirty_ = false;
    bool transparent_ = false;
    bool mouseEnabled_ = true;
    bool wantsFocus_ = false;
};

}  // namespace VSTGUI
