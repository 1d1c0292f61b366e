// The frame: the editor's window, owner of every view in it.
#pragma once

#include <cstdint>
#include <vector>

#include "cview.h"
#include "platform/Platform.h"

namespace VSTGUI {

class CFrame;

// What the frame needs from the editor that owns it: the edit bracketing
// of user gestures, which the editor passes on to the host.
class VSTGUIEditorInterface {
public:
    virtual ~VSTGUIEditorInterface() = default;
    virtual void beginEdit(int32_t index) { (void)index; }
    virtual void endEdit(int32_t index) { (void)index; }
    virtual CFrame* getFrame() const = 0;
    virtual int32_t getKnobMode() const { return 0; }
};

enum class PlatformType { kDefaultNative = 0, kX11EmbedWindowID };

// The frame holds one reference to each view added to it (the creator's
// reference passes to the frame) and releases them when it is destroyed by
// its last forget(). Views are drawn in the order they were added; mouse
// presses go to the topmost view under the pointer, or only to the modal
// view while one is shown. Not thread-safe: one thread, the one that opened
// the frame, uses it.
class CFrame : public CView, private IPlatformFrameCallback {
public:
    CFrame(const CRect& size, VSTGUIEditorInterface* editor);
    ~CFrame() override;

    // Creates the window inside `parent`. False when no window could be
    // created; the frame then stays usable but invisible.
    bool open(void* parent, PlatformType parentType = PlatformType::kDefaultNative);
    bool isOpen() const { return platformFrame_ != nullptr; }

    bool addView(CView* view);
    const std::vector<CView*>& getViews() const { return views_; }

    // Shows `view` above every other view and gives it the mouse alone;
    // null hides the current one. False when another modal view is shown.
    bool setModalView(CView* view);
    CView* getModalView() const { return modalView_; }

    VSTGUIEditorInterface* getEditor() const { return editor_; }

    // Reads the pending window events and delivers them to the views. Does
    // nothing when called again from inside an event handler.
    void processPlatformEvents();
    // The idle pass: repaints every view marked dirty and every invalidated
    // area, now.
    void idle();
    void invalidRect(const CRect& area);

    int32_t onKeyDown(VstKeyCode& keyCode) override;
    int32_t onKeyUp(VstKeyCode& keyCode) override;
    CView* getFocusView() const { return focusView_; }

    // The editor window's native handle (0 while not open).
    uintptr_t getNativeHandle() const;
    // The window system's event descriptor while open (platform/Platform.h), else -1.
    int getEventFileDescriptor() const;

    // Paints `area` of the frame into `context` (also used to render the
    // frame without a window).
    void drawArea(CDrawContext& context, const CRect& area);

    // Mouse input in frame coordinates, as the window delivers it.
    void onMouseDownAt(const CPoint& where, const CButtonState& buttons);
    void onMouseMovedAt(const CPoint& where, const CButtonState& buttons);
    void onMouseUpAt(const CPoint& where, const CButtonState& buttons);
    void onWheelAt(const CPoint& where, float distance, const CButtonState& buttons);

private:
    void platformDrawRect(CDrawContext& context, const CRect& area) override;
    void platformOnMouseDown(const CPoint& where, const CButtonState& buttons) override;
    void platformOnMouseMoved(const CPoint& where, const CButtonState& buttons) override;
    void platformOnMouseUp(const CPoint& where, const CButtonState& buttons) override;
    void platformOnMouseWheel(const CPoint& where, float distance,
                              const CButtonState& buttons) override;
    bool platformOnKeyDown(VstKeyCode& key) override { return onKeyDown(key) == 1; }
    bool platformOnKeyUp(VstKeyCode& key) override { return onKeyUp(key) == 1; }
    CView* viewAt(const CPoint& where) const;

    VSTGUIEditorInterface* editor_;
    IPlatformFrame* platformFrame_ = nullptr;
    std::vector<CView*> views_;
    CView* modalView_ = nullptr;
    CView* mouseDownView_ = nullptr;
    CView* focusView_ = nullptr;
    bool readingEvents_ = false;
};

}  // namespace VSTGUI
