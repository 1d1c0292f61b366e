// The VST modules' editors in a real X window (a private Xvfb): opening,
// drawing, mouse gestures through XTEST, host changes, the credits view.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>

#include "EditorHost.h"
#include "EditorImages.h"
#include "EditorLayout.h"
#include "OVEditor.h"
#include "ValueDisplays.h"
#include "ccontrols.h"
#include "platform/CairoDrawContext.h"

namespace {

struct Module {
    const char* path;
    const EditorLayout& layout;
};

const Module kModules[] = {
    {ORVANTA_TEST_STEREO_MODULE, stereoEditorLayout()},
    {ORVANTA_TEST_SURROUND51_MODULE, surround51EditorLayout()},
};

int sliderTop(const EditorLayout& layout, int row) {
    return int(layout.firstSliderTopPx + kRowPitchPx * row);
}

// Where the handle's left edge must be for a value: 29 + floor(220 v).
int expectedHandleLeft(float value) {
    return kHandleMinLeftPx + int(std::floor(double(value) * (kHandleMaxLeftPx - kHandleMinLeftPx)));
}

// The handle's cap is far brighter than the dark track under it; its left
// edge is the first bright pixel along a line through the cap.
int handleLeftOnScreen(const WindowCapture& capture, const EditorLayout& layout, int row) {
    const int y = sliderTop(layout, row) + 3;
    for (int x = 20; x < 280; ++x)
        if (capture.at(x, y).luminance() > 100) return x;
    return -1;
}

using ValueToText = bool (*)(float, char[256], VSTGUI::CParamDisplay*);
const ValueToText kRowText[] = {formatTargetLevel, formatTruePeak, formatGain,
                                formatFreezeLevel, formatInputLevel, formatPercent,
                                formatPercent,     formatMixMode,   formatGain};

cairo_surface_t* embeddedImage(const char* name) {
    VSTGUI::setEmbeddedResources(kEditorImages, kEditorImageCount);
    const VSTGUI::EmbeddedResource* resource = VSTGUI::findEmbeddedResource(name);
    return resource ? VSTGUI::decodePngImage(resource->data, resource->size) : nullptr;
}

WindowCapture fromSurface(cairo_surface_t* surface) {
    cairo_surface_flush(surface);
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    WindowCapture result(width, height);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<const uint32_t*>(data + y * stride);
        for (int x = 0; x < width; ++x)
            result.set(x, y, {int((row[x] >> 16) & 0xff), int((row[x] >> 8) & 0xff),
                              int(row[x] & 0xff)});
    }
    return result;
}

// What the window must show for the given normalised values: the
// background, each row's handle at its position, each display's text.
WindowCapture expectedWindow(const EditorLayout& layout, const std::vector<float>& values) {
    cairo_surface_t* background = embeddedImage(layout.backgroundImage);
    cairo_surface_t* handle = embeddedImage("ov_slider.png");
    const int width = cairo_image_surface_get_width(background);
    const int height = cairo_image_surface_get_height(background);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_surface(cr, background, 0, 0);
    cairo_paint(cr);
    for (int row = 0; row < layout.rowCount; ++row) {
        const int top = sliderTop(layout, row);
        cairo_save(cr);
        cairo_rectangle(cr, kSliderLeftPx, top, kSliderRightPx - kSliderLeftPx, kSliderHeightPx);
        cairo_clip(cr);
        cairo_set_source_surface(cr, handle, expectedHandleLeft(values[row]), top);
        cairo_paint(cr);
        cairo_restore(cr);

        const VSTGUI::CRect area(kDisplayLeftPx, top + kDisplayTopOffsetPx, kDisplayRightPx,
                                 top + kDisplayBottomOffsetPx);
        VSTGUI::CParamDisplay display(area, nullptr, 1);
        display.setFontColor(VSTGUI::CColor(255, 255, 255, 128));
        const VSTGUI::CColor transparent(30, 30, 30, 0);
        display.setBackColor(transparent);
        display.setFrameColor(transparent);
        display.setValueToStringFunction(kRowText[row]);
        display.setValue(values[row]);
        VSTGUI::CairoDrawContext context(cr);
        context.save(area);
        display.draw(&context);
        context.restore();
    }
    cairo_destroy(cr);
    WindowCapture result = fromSurface(surface);
    cairo_surface_destroy(surface);
    cairo_surface_destroy(background);
    cairo_surface_destroy(handle);
    return result;
}

WindowCapture imageCapture(const char* name) {
    cairo_surface_t* image = embeddedImage(name);
    WindowCapture result = fromSurface(image);
    cairo_surface_destroy(image);
    return result;
}

// Pixels of `area` (whole window by default) that differ by more than a
// rounding step in any channel.
int differingPixels(const WindowCapture& shown, const WindowCapture& expected, int left = 0,
                    int top = 0, int right = -1, int bottom = -1) {
    if (right < 0) right = expected.width();
    if (bottom < 0) bottom = expected.height();
    int count = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) {
            const Pixel a = shown.at(x, y), b = expected.at(x, y);
            if (std::abs(a.r - b.r) > 2 || std::abs(a.g - b.g) > 2 || std::abs(a.b - b.b) > 2)
                ++count;
        }
    return count;
}

std::vector<float> currentValues(EditorHost& host, const EditorLayout& layout) {
    std::vector<float> values;
    for (int row = 0; row < layout.rowCount; ++row) values.push_back(host.getParameter(row));
    return values;
}

class EditorWindow : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under with-xvfb.sh";
        module = &kModules[GetParam()];
        host = std::make_unique<EditorHost>(module->path);
        ASSERT_NE(host->effect(), nullptr) << module->path;
        ASSERT_NE(host->display(), nullptr);
    }
    const EditorLayout& layout() const { return module->layout; }
    int width() const { return int(layout().windowWidthPx); }
    int height() const { return int(layout().windowHeightPx); }
    WindowCapture shown() const { return host->capture(width(), height()); }
    void expectWindowShowsCurrentValues(const char* when) {
        const WindowCapture capture = shown();
        const std::vector<float> values = currentValues(*host, layout());
        for (int row = 0; row < layout().rowCount; ++row)
            EXPECT_EQ(handleLeftOnScreen(capture, layout(), row), expectedHandleLeft(values[row]))
                << when << ", row " << row;
        const WindowCapture expected = expectedWindow(layout(), values);
        const int differing = differingPixels(capture, expected);
        EXPECT_EQ(differing, 0) << when;
        if (differing != 0 && std::getenv("ORVANTA_TEST_DUMP")) {
            capture.writePng(std::string(std::getenv("ORVANTA_TEST_DUMP")) + "/shown.png");
            expected.writePng(std::string(std::getenv("ORVANTA_TEST_DUMP")) + "/expected.png");
        }
    }

    const Module* module = nullptr;
    std::unique_ptr<EditorHost> host;
};

TEST_P(EditorWindow, OpensAtTheBackgroundsSizeAndDrawsEveryRow) {
    EXPECT_EQ(host->effect()->flags & effFlagsHasEditor, effFlagsHasEditor);
    ERect before{};
    ASSERT_TRUE(host->editorRect(before));
    EXPECT_EQ(before.top, 0);
    EXPECT_EQ(before.left, 0);
    EXPECT_EQ(before.right, 380);
    EXPECT_EQ(before.bottom, height());
    ASSERT_TRUE(host->openEditor());
    ERect after{};
    ASSERT_TRUE(host->editorRect(after));
    EXPECT_EQ(after.right, before.right);
    EXPECT_EQ(after.bottom, before.bottom);
    // Drawn before the first idle call.
    expectWindowShowsCurrentValues("right after open");
    host->idle();
    expectWindowShowsCurrentValues("after idle");
    // Nothing is drawn outside the editor's rectangle.
    EXPECT_EQ(host->capture(width() + 1, height()).at(width(), 5).b, 255);
}

TEST_P(EditorWindow, DragOnARowAutomatesThatParameterOnly) {
    ASSERT_TRUE(host->hasXTest());
    ASSERT_TRUE(host->openEditor());
    host->idle();
    constexpr int kDragPx = 80;
    for (int row = 0; row < layout().rowCount; ++row) {
        host->takeHostCalls();
        const float before = host->getParameter(row);
        const int handleLeft = expectedHandleLeft(before);
        const int y = sliderTop(layout(), row) + 6;
        const int direction = before > 0.5f ? -1 : 1;
        // Taken by its middle, the handle keeps its offset to the pointer.
        host->moveMouse(handleLeft + 9, y);
        host->pressButton();
        for (int step = 1; step <= 4; ++step)
            host->moveMouse(handleLeft + 9 + direction * kDragPx * step / 4, y);
        host->releaseButton();

        const std::vector<HostCall> calls = host->takeHostCalls();
        ASSERT_GE(calls.size(), 3u) << "row " << row;
        EXPECT_EQ(calls.front().opcode, audioMasterBeginEdit) << "row " << row;
        EXPECT_EQ(calls.back().opcode, audioMasterEndEdit) << "row " << row;
        float lastAutomated = -1;
        for (const HostCall& call : calls) {
            EXPECT_EQ(call.index, row);
            if (call.opcode == audioMasterAutomate) lastAutomated = call.value;
        }
        const float expected = float(handleLeft - kHandleMinLeftPx + direction * kDragPx) / 220.0f;
        EXPECT_NEAR(lastAutomated, expected, 1e-6) << "row " << row;
        if (row == 7) {
            // The mix mode snaps to the nearest lower quarter's mode / 3.
            EXPECT_FLOAT_EQ(host->getParameter(row), 1.0f / 3.0f);
        } else {
            EXPECT_NEAR(host->getParameter(row), expected, 1e-6) << "row " << row;
        }
    }
    expectWindowShowsCurrentValues("after dragging every row");
}

// A press beside the handle centres the handle on the pointer at once.
TEST_P(EditorWindow, ClickBesideTheHandleCentresItOnThePointer) {
    ASSERT_TRUE(host->hasXTest());
    ASSERT_TRUE(host->openEditor());
    host->idle();
    host->takeHostCalls();
    constexpr int kClickX = 60;  // the Target Level handle rests at 139..157
    host->click(kClickX, sliderTop(layout(), 0) + 6);
    const std::vector<HostCall> calls = host->takeHostCalls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].opcode, audioMasterBeginEdit);
    EXPECT_EQ(calls[1].opcode, audioMasterAutomate);
    EXPECT_EQ(calls[2].opcode, audioMasterEndEdit);
    const double handleHalfWidthPx = 19 / 2.0;
    EXPECT_FLOAT_EQ(calls[1].value, float((kClickX - handleHalfWidthPx - 29) / 220.0));
    expectWindowShowsCurrentValues("after the click");
}

TEST_P(EditorWindow, CtrlClickSetsTheTopOfTheRange) {
    ASSERT_TRUE(host->hasXTest());
    ASSERT_TRUE(host->openEditor());
    host->idle();
    struct Case {
        int row;
        const char* display;
    };
    for (const Case& c : {Case{0, "-10.0"}, Case{2, "30.0"}, Case{7, "3 LLgHLg"}}) {
        host->takeHostCalls();
        const int y = sliderTop(layout(), c.row) + 6;
        host->moveMouse(60, y);
        host->pressKey(XK_Control_L);
        host->pressButton();
        host->releaseButton();
        host->releaseKey(XK_Control_L);
        const std::vector<HostCall> calls = host->takeHostCalls();
        ASSERT_EQ(calls.size(), 3u) << "row " << c.row;
        EXPECT_EQ(calls[0].opcode, audioMasterBeginEdit);
        EXPECT_EQ(calls[1].opcode, audioMasterAutomate);
        EXPECT_EQ(calls[1].value, 1.0f);
        EXPECT_EQ(calls[2].opcode, audioMasterEndEdit);
        for (const HostCall& call : calls) EXPECT_EQ(call.index, c.row);
        EXPECT_EQ(host->getParameter(c.row), 1.0f);
        EXPECT_EQ(host->parameterDisplay(c.row), c.display);
    }
    expectWindowShowsCurrentValues("after Ctrl + clicks");
}

// A host change on the thread that opened the window is drawn at once,
// without waiting for the host's idle call.
TEST_P(EditorWindow, HostChangeMovesSliderAndTextAtOnce) {
    ASSERT_TRUE(host->openEditor());
    host->idle();
    host->setParameter(0, 0.0f);
    host->setParameter(3, 0.75f);
    host->setParameter(7, 0.6f);  // mode 2, kept as 2/3
    EXPECT_FLOAT_EQ(host->getParameter(7), 2.0f / 3.0f);
    const WindowCapture capture = shown();
    EXPECT_EQ(handleLeftOnScreen(capture, layout(), 0), 29);
    EXPECT_EQ(handleLeftOnScreen(capture, layout(), 3), 29 + 165);
    EXPECT_EQ(handleLeftOnScreen(capture, layout(), 7), 29 + 146);
    EXPECT_EQ(differingPixels(capture, expectedWindow(layout(), currentValues(*host, layout()))),
              0);
    EXPECT_TRUE(host->takeHostCalls().empty());
}

// X11 belongs to the window's thread: a change from another thread is only
// noted, and the next idle call draws it.
TEST_P(EditorWindow, ChangeFromAnotherThreadIsDrawnByTheNextIdle) {
    ASSERT_TRUE(host->openEditor());
    host->idle();
    const int oldLeft = handleLeftOnScreen(shown(), layout(), 4);
    std::thread automation([&] { host->setParameter(4, 0.0f); });
    automation.join();
    EXPECT_EQ(handleLeftOnScreen(shown(), layout(), 4), oldLeft);
    host->idle(1);
    expectWindowShowsCurrentValues("after idle");
}

TEST_P(EditorWindow, ProductNameShowsAndHidesTheCreditsWithoutTouchingParameters) {
    ASSERT_TRUE(host->hasXTest());
    ASSERT_TRUE(host->openEditor());
    host->idle();
    const std::vector<float> values = currentValues(*host, layout());
    const VSTGUI::CRect& area = layout().creditsClickArea;
    host->takeHostCalls();
    host->click(int((area.left + area.right) / 2), int((area.top + area.bottom) / 2));
    EXPECT_EQ(differingPixels(shown(), imageCapture(layout().creditsImage)), 0);
    // While the credits are shown, a press on a slider only hides them.
    host->click(100, sliderTop(layout(), 0) + 6);
    expectWindowShowsCurrentValues("after hiding the credits");
    EXPECT_EQ(currentValues(*host, layout()), values);
    EXPECT_TRUE(host->takeHostCalls().empty());
}

TEST_P(EditorWindow, ReopenShowsCurrentValuesAndNoCredits) {
    ASSERT_TRUE(host->hasXTest());
    ASSERT_TRUE(host->openEditor());
    host->idle();
    const VSTGUI::CRect& area = layout().creditsClickArea;
    host->click(int((area.left + area.right) / 2), int((area.top + area.bottom) / 2));
    host->closeEditor();
    host->closeEditor();
    host->idle();
    host->setParameter(3, 0.25f);
    host->setParameter(layout().rowCount - 1, 0.0f);
    ASSERT_TRUE(host->openEditor());
    expectWindowShowsCurrentValues("after reopening");
    EXPECT_EQ(handleLeftOnScreen(shown(), layout(), 3), 29 + 55);
}

TEST_P(EditorWindow, ArrowKeysMoveTheSliderLastClicked) {
    ASSERT_TRUE(host->hasXTest());
    ASSERT_TRUE(host->openEditor());
    host->idle();
    host->setParameter(1, 0.5f);
    host->click(expectedHandleLeft(0.5f) + 9, sliderTop(layout(), 1) + 6);
    host->takeHostCalls();
    constexpr unsigned char kVirtualKeyRight = 13;
    EXPECT_EQ(host->dispatch(effEditKeyDown, 0, kVirtualKeyRight, nullptr, 0.0f), 1);
    EXPECT_NEAR(host->getParameter(1), 0.6f, 1e-6);
    const std::vector<HostCall> calls = host->takeHostCalls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[1].opcode, audioMasterAutomate);
    EXPECT_EQ(calls[1].index, 1);
    // A key nobody uses is not taken.
    EXPECT_EQ(host->dispatch(effEditKeyDown, 'a', 0, nullptr, 0.0f), 0);
}

// Hosts get handles wrong and tear windows down in the wrong order; none of
// it may end the host's process.
TEST_P(EditorWindow, BadParentsAndADestroyedParentAreSurvived) {
    ERect rect{};
    EXPECT_EQ(host->dispatch(effEditOpen, 0, 0, nullptr), 0);
    // A well-formed id that names no window.
    EXPECT_EQ(host->dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t(0x1fffff0))), 0);
    host->idle();
    host->closeEditor();
    ASSERT_TRUE(host->openEditor());
    host->setParameter(-1, 0.5f);
    host->setParameter(9, 0.5f);
    host->setParameter(1000, 0.5f);
    host->destroyParentWindow();
    host->idle();
    host->setParameter(0, 0.1f);
    host->closeEditor();
    ASSERT_TRUE(host->editorRect(rect));
    EXPECT_EQ(rect.bottom, height());
    // And a new parent works again.
    ASSERT_TRUE(host->openEditor());
    expectWindowShowsCurrentValues("in a new parent");
}

// The editor as another format's front end embeds it: no VST 2.4 effect, the
// window opened and closed repeatedly in the host's window, driven from the
// host's run loop through its own display connection's descriptor.
TEST_P(EditorWindow, OpensAndClosesRepeatedlyForAnyFrontEnd) {
    struct Values : EditorParameters {
        float value(int32_t index) const override { return 0.1f * float(index); }
        void beginEdit(int32_t) override {}
        void setValue(int32_t, float) override {}
        void endEdit(int32_t) override {}
    } values;
    OVEditor editor(values, layout());
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(host->openEditor());  // the host's parent window, for our editor
        ASSERT_TRUE(editor.open(reinterpret_cast<void*>(host->parentWindow()))) << round;
        EXPECT_GE(editor.eventFileDescriptor(), 0);
        EXPECT_NE(editor.eventFileDescriptor(), ConnectionNumber(host->display()));
        std::thread([&editor] { editor.parameterChanged(0); }).join();  // recorded only
        editor.idle();
        editor.close();
        EXPECT_EQ(editor.eventFileDescriptor(), -1);
        host->closeEditor();
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, EditorWindow, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == 0 ? std::string("Stereo")
                                                    : std::string("Surround51");
                         });

}  // namespace
