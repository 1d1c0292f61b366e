// The editor object without a window: its size, and what it does with
// hostile calls before, instead of and after an open.
#include <gtest/gtest.h>

#include "OVEditor.h"
#include "ParamTable.h"

namespace {

// A plug-in that keeps normalised values as the real ones do (the mix mode
// quantised to mode / 3) and counts what its editor asks of it.
class FakeParameters : public EditorParameters {
public:
    FakeParameters() {
        for (int32_t i = 0; i < kParamCount; ++i) values[i] = paramTable[i].normalisedDefault;
    }
    float value(int32_t index) const override { return isValidParam(ParamId(index)) ? values[index] : 0.0f; }
    void beginEdit(int32_t) override { ++edits; }
    void endEdit(int32_t) override { --edits; }
    void setValue(int32_t index, float value) override {
        ++automatedCalls;
        values[index] = index == int32_t(ParamId::CorrMixMode) ? modeToNormalised(normalisedToMode(value)) : value;
    }

    float values[kParamCount] = {};
    int automatedCalls = 0;
    int edits = 0;
};

}  // namespace

TEST(EditorObject, SizeNoWindowWithoutAParentAndHostileIndicesAndControls) {
    FakeParameters parameters;
    OVEditor stereo(parameters, stereoEditorLayout());
    EXPECT_EQ(stereo.width(), 380);
    EXPECT_EQ(stereo.height(), 390);
    OVEditor surround(parameters, surround51EditorLayout());
    EXPECT_EQ(surround.width(), 380);
    EXPECT_EQ(surround.height(), 420);

    // Without a usable parent window there is no frame: open says so, and
    // every later call is harmless.
    EXPECT_FALSE(surround.open(nullptr));
    EXPECT_FALSE(surround.isOpen());
    // X11 window ids have 29 bits; a larger handle is not a window.
    EXPECT_FALSE(surround.open(reinterpret_cast<void*>(uintptr_t(0x7fffffff))));
    EXPECT_EQ(surround.getFrame(), nullptr);
    EXPECT_EQ(surround.eventFileDescriptor(), -1);
    surround.idle();
    surround.parameterChanged(0);
    surround.close();
    surround.close();
    VSTGUI::VstKeyCode key{0, 11, 0};
    EXPECT_FALSE(surround.onKeyDown(key));
    EXPECT_FALSE(surround.onKeyUp(key));

    // Hostile indices and controls are ignored.
    OVEditor& editor = stereo;
    for (int32_t index : {-1, 8, 9, 10, 1000, INT32_MIN, INT32_MAX}) {
        editor.parameterChanged(index);
        editor.beginEdit(index);
    }
    EXPECT_EQ(parameters.edits, 0);
    editor.valueChanged(nullptr);
    // A control with a tag outside the rows (the credits area's tag) does
    // not reach the plug-in.
    VSTGUI::CControl credits(VSTGUI::CRect(0, 0, 10, 10), &editor, 9);
    credits.setValue(1.0f);
    editor.valueChanged(&credits);
    VSTGUI::CControl negative(VSTGUI::CRect(0, 0, 10, 10), &editor, -1);
    editor.valueChanged(&negative);
    EXPECT_EQ(parameters.automatedCalls, 0);
    // A control of a row does.
    VSTGUI::CControl row(VSTGUI::CRect(0, 0, 10, 10), &editor, 7);
    row.setValue(0.6f);
    editor.valueChanged(&row);
    EXPECT_EQ(parameters.automatedCalls, 1);
    EXPECT_FLOAT_EQ(parameters.values[7], 2.0f / 3.0f);
}
