#include "OVEditor.h"

#include "../vst/audioeffect.h"
#include "EditorImages.h"
#include "ValueDisplays.h"
#include "cbitmap.h"

using VSTGUI::CBitmap;
using VSTGUI::CColor;
using VSTGUI::CFrame;
using VSTGUI::CHorizontalSlider;
using VSTGUI::CParamDisplay;
using VSTGUI::CPoint;
using VSTGUI::CRect;
using VSTGUI::CSplashScreen;

namespace {

// Text at half opacity reads as light grey over the dark well; the other
// colours are fully transparent, so only the text covers the background.
constexpr CColor kDisplayFontColor(255, 255, 255, 128);
constexpr CColor kTransparentWell(30, 30, 30, 0);
// Ctrl + click on a slider sets the top of its range.
constexpr float kSliderDefaultValue = 1.0f;
// The display's style flag; drawing does not consult it.
constexpr int32_t kDisplayStyle = 1;

using ValueToText = bool (*)(float, char[256], CParamDisplay*);
constexpr ValueToText kRowValueToText[OVEditor::kMaxRows] = {
    formatTargetLevel, formatTruePeak, formatGain,    formatFreezeLevel, formatInputLevel,
    formatPercent,     formatPercent,  formatMixMode, formatGain,
};

VstInt16 toRectField(VSTGUI::CCoord pixels) {
    return static_cast<VstInt16>(pixels > 32767 ? 32767 : pixels);
}

}  // namespace

OVEditor::OVEditor(AudioEffect* effect, const EditorLayout& editorLayout)
    : AEffGUIEditor(effect), layout(editorLayout) {
    // The module registers its images once, as the view layer asks: hosts
    // create instances on several threads at once, and a function-local
    // static is initialised exactly once, before any instance goes on.
    [[maybe_unused]] static const bool imagesRegistered =
        (VSTGUI::setEmbeddedResources(kEditorImages, kEditorImageCount), true);
    rect.top = 0;
    rect.left = 0;
    rect.bottom = toRectField(layout.windowHeightPx);
    rect.right = toRectField(layout.windowWidthPx);
}

OVEditor::~OVEditor() {
    if (frame) AEffGUIEditor::close();
}

bool OVEditor::open(void* parentWindow) {
    // A second open without a close replaces the first window.
    if (frame) close();
    AEffGUIEditor::open(parentWindow);
    pendingRows.store(0);

    CBitmap* background = new CBitmap(layout.backgroundImage);
    CBitmap* handle = new CBitmap("ov_slider.png");
    CBitmap* credits = new CBitmap(layout.creditsImage);

    // An image that failed to load has size 0: the window becomes empty.
    rect.right = toRectField(background->getWidth());
    rect.bottom = toRectField(background->getHeight());
    const CRect frameSize(0, 0, background->getWidth(), background->getHeight());

    CFrame* newFrame = new CFrame(frameSize, this);
    if (!newFrame->open(parentWindow)) {
        newFrame->forget();
        background->forget();
        handle->forget();
        credits->forget();
        AEffEditor::close();
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
        slider->setValue(effect->getParameter(row));
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
        display->setValue(effect->getParameter(row));
        displays[row] = display;
    }
    for (int32_t row = 0; row < rows; ++row)
        displays[row]->setValueToStringFunction(kRowValueToText[row]);
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

void OVEditor::idle() {
    const uint32_t rows = pendingRows.exchange(0);
    if (frame && rows != 0) {
        for (int32_t row = 0; row < layout.rowCount; ++row) {
            if (rows & (1u << row)) refreshRow(row);
        }
    }
    AEffGUIEditor::idle();
}

void OVEditor::setParameter(VstInt32 index, float) {
    if (!isRow(index)) return;
    if (!isUserInterfaceThread()) {
        // X11 belongs to the user-interface thread: leave the row to idle().
        pendingRows.fetch_or(1u << index);
        return;
    }
    if (!frame) return;
    refreshRow(index);
    if (!inIdleStuff) frame->idle();
}

void OVEditor::refreshRow(int32_t row) {
    // Both controls take the effect's stored value, not the value that was
    // sent: for the mix mode that is the quantised mode / 3.
    const float value = effect->getParameter(row);
    if (sliders[row]) sliders[row]->setValue(value);
    if (displays[row]) displays[row]->setValue(value);
}

void OVEditor::valueChanged(VSTGUI::CControl* control) {
    if (!control) return;
    const int32_t tag = control->getTag();
    // The credits click area (tag rows + 1) ends here.
    if (!isRow(tag)) return;
    effect->setParameterAutomated(tag, control->getValue());
    control->setDirty(true);
}
