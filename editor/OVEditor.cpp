#include "OVEditor.h"

#include "EditorImages.h"
#include "cbitmap.h"

using VSTGUI::CBitmap;
using VSTGUI::CColor;
using VSTGUI::CFrame;
using VSTGUI::CHorizontalSlider;
using VSTGUI::CParamDisplay;
using VSTGUI::CPoint;
using VSTGUI::CRect;
using VSTGUI::CSplashScreen;

static_assert(kStereoRows == paramCount(Layout::Stereo) && kSurround51Rows == paramCount(Layout::Surround51),
              "one row per parameter of the layout");

namespace {

// Text at half opacity reads as light grey over the dark well; the other
// colours are fully transparent, so only the text covers the background.
constexpr CColor kDisplayFontColor(255, 255, 255, 128);
constexpr CColor kTransparentWell(30, 30, 30, 0);
// Ctrl + click on a slider sets the top of its range.
constexpr float kSliderDefaultValue = 1.0f;
// The display's style flag; drawing does not consult it.
constexpr int32_t kDisplayStyle = 1;

}  // namespace

OVEditor::OVEditor(EditorParameters& editorParameters, const EditorLayout& editorLayout)
    : parameters(editorParameters),
      layout(editorLayout),
      widthPx(static_cast<int32_t>(editorLayout.windowWidthPx)),
      heightPx(static_cast<int32_t>(editorLayout.windowHeightPx)),
      setUpThread(std::this_thread::get_id()),
      threadSetUp(VSTGUI::beginEditorThread()) {
    // The module registers its images once, as the view layer asks: hosts
    // create instances on several threads at once, and a function-local
    // static is initialised exactly once, before any instance goes on.
    [[maybe_unused]] static const bool imagesRegistered =
        (VSTGUI::setEmbeddedResources(kEditorImages, kEditorImageCount), true);
}

OVEditor::~OVEditor() {
    close();
    // Balanced on the thread that was set up; another thread was never set
    // up by us and must not be torn down.
    if (threadSetUp && setUpThread == std::this_thread::get_id()) VSTGUI::endEditorThread();
}

bool OVEditor::open(void* parentWindow) {
    // A second open without a close replaces the first window.
    close();
    userInterfaceThread.store(std::this_thread::get_id(), std::memory_order_relaxed);
    pendingRows.store(0);

    CBitmap* background = new CBitmap(layout.backgroundImage);
    CBitmap* handle = new CBitmap("ov_slider.png");
    CBitmap* credits = new CBitmap(layout.creditsImage);

    // An image that failed to load has size 0: the window becomes empty.
    widthPx = background->getWidth();
    heightPx = background->getHeight();
    const CRect frameSize(0, 0, background->getWidth(), background->getHeight());

    CFrame* newFrame = new CFrame(frameSize, this);
    if (!newFrame->open(parentWindow)) {
        newFrame->forget();
        background->forget();
        handle->forget();
        credits->forget();
        return false;
    }
    newFrame->setBackground(background);
    frame = newFrame;

    const int32_t rows = layout.rowCount;
    for (int32_t row = 0; row < rows; ++row) {
        const VSTGUI::CCoord top = layout.firstSliderTopPx + kRowPitchPx * row;
        const CRect size(kSliderLeftPx, top, kSliderRightPx, top + kSliderHeightPx);
        auto* slider = new CHorizontalSlider(size, this, row, kHandleMinLeftPx, kHandleMaxLeftPx,
                                             handle, nullptr, CPoint(0, 0),
                                             CHorizontalSlider::kLeft);
        slider->setValue(parameters.value(row));
        slider->setDefaultValue(kSliderDefaultValue);
        slider->setTransparency(true);
        frame->addView(slider);
        sliders[row] = slider;
    }

    for (int32_t row = 0; row < rows; ++row) {
        const VSTGUI::CCoord top = layout.firstSliderTopPx + kRowPitchPx * row;
        const CRect size(kDisplayLeftPx, top + kDisplayTopOffsetPx, kDisplayRightPx,
                         top + kDisplayBottomOffsetPx);
        auto* display = new CParamDisplay(size, nullptr, kDisplayStyle);
        display->setFontColor(kDisplayFontColor);
        display->setBackColor(kTransparentWell);
        display->setFrameColor(kTransparentWell);
        display->setShadowColor(kTransparentWell);
        display->setAntialias(true);
        display->setValue(parameters.value(row));
        displays[row] = display;
    }
    for (int32_t row = 0; row < rows; ++row) {
        displays[row]->setValueToStringFunction(
            [this, row](float value, char text[EditorParameters::kDisplayTextBytes], CParamDisplay*) {
                parameters.displayText(row, value, text);
                return true;
            });
    }
    for (int32_t row = 0; row < rows; ++row) frame->addView(displays[row]);

    // Added last, so it lies above every other view.
    splashScreen = new CSplashScreen(layout.creditsClickArea, this, rows + 1, credits,
                                     CRect(0, 0, credits->getWidth(), credits->getHeight()),
                                     CPoint(0, 0));
    frame->addView(splashScreen);

    background->forget();
    handle->forget();
    credits->forget();

    // The window shows its content before the host's first idle call.
    frame->idle();
    return true;
}

void OVEditor::close() {
    if (!frame) return;
    CFrame* closing = frame;
    frame = nullptr;
    sliders.fill(nullptr);
    displays.fill(nullptr);
    splashScreen = nullptr;
    closing->forget();
}

void OVEditor::idle() {
    const uint32_t rows = pendingRows.exchange(0);
    if (!frame) return;
    for (int32_t row = 0; row < layout.rowCount; ++row) {
        if (rows & (1u << row)) refreshRow(row);
    }
    // A host may close the editor from inside an event handler (reacting to
    // an automation message); the extra reference keeps the frame alive
    // until its event loop has returned.
    CFrame* idling = frame;
    idling->remember();
    idling->processPlatformEvents();
    if (frame == idling) frame->idle();
    idling->forget();
}

bool OVEditor::onKeyDown(VSTGUI::VstKeyCode& key) { return frame && frame->onKeyDown(key) == 1; }

bool OVEditor::onKeyUp(VSTGUI::VstKeyCode& key) { return frame && frame->onKeyUp(key) == 1; }

int OVEditor::eventFileDescriptor() const { return frame ? frame->getEventFileDescriptor() : -1; }

void OVEditor::parameterChanged(int32_t index) {
    if (!isRow(index)) return;
    if (!isUserInterfaceThread()) {
        // The window system belongs to the user-interface thread: leave the
        // row to idle().
        pendingRows.fetch_or(1u << index);
        return;
    }
    if (!frame) return;
    refreshRow(index);
    frame->idle();
}

void OVEditor::refreshRow(int32_t row) {
    // Both controls take the plug-in's stored value, not the value that was
    // sent: for the mix mode that is the quantised mode / 3.
    const float value = parameters.value(row);
    if (sliders[row]) sliders[row]->setValue(value);
    if (displays[row]) displays[row]->setValue(value);
}

void OVEditor::valueChanged(VSTGUI::CControl* control) {
    if (!control) return;
    const int32_t tag = control->getTag();
    // The credits click area (tag rows + 1) ends here.
    if (!isRow(tag)) return;
    parameters.setValue(tag, control->getValue());
    control->setDirty(true);
}

void OVEditor::beginEdit(int32_t index) {
    if (isRow(index)) parameters.beginEdit(index);
}

void OVEditor::endEdit(int32_t index) {
    if (isRow(index)) parameters.endEdit(index);
}
