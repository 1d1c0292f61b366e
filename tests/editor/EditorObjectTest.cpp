// The editor object without a window: its rectangle, and what it does with
// hostile calls before, instead of and after an open.
#include <gtest/gtest.h>

#include "OVEditor.h"
#include "ParamTable.h"
#include "audioeffectx.h"

namespace {

// An effect that keeps normalised values as the real one does (the mix mode
// quantised to mode / 3) and counts the calls its editor makes.
class FakeEffect : public AudioEffectX {
public:
    explicit FakeEffect(int32_t parameters) : AudioEffectX(nullptr, 1, parameters) {
        for (int32_t i = 0; i < kParamCount; ++i) values[i] = paramTable[i].normalisedDefault;
    }
    void processReplacing(float**, float**, VstInt32) override {}
    void setParameter(VstInt32 index, float value) override {
        if (index >= 0 && index < numParams)
            values[index] = index == int32_t(ParamId::CorrMixMode)
                                ? modeToNormalised(normalisedToMode(value))
                                : value;
        if (editor) static_cast<OVEditor*>(editor)->setParameter(index, value);
    }
    float getParameter(VstInt32 index) override {
        return index >= 0 && index < numParams ? values[index] : 0.0f;
    }
    void setParameterAutomated(VstInt32 index, float value) override {
        ++automatedCalls;
        setParameter(index, value);
    }
    OVEditor* ovEditor() { return static_cast<OVEditor*>(editor); }

    float values[kParamCount] = {};
    int automatedCalls = 0;
};

TEST(EditorObject, RectangleBeforeTheFirstOpenIsTheBackgroundsSize) {
    FakeEffect stereo(8);
    new OVEditor(&stereo, stereoEditorLayout());
    ASSERT_EQ(stereo.getEditor(), stereo.ovEditor());
    EXPECT_EQ(stereo.getAeffect()->flags & effFlagsHasEditor, effFlagsHasEditor);
    ERect* rect = nullptr;
    ASSERT_TRUE(stereo.ovEditor()->getRect(&rect));
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 390);
    EXPECT_EQ(rect->right, 380);
    EXPECT_FALSE(stereo.ovEditor()->getRect(nullptr));

    FakeEffect surround(9);
    new OVEditor(&surround, surround51EditorLayout());
    ASSERT_TRUE(surround.ovEditor()->getRect(&rect));
    EXPECT_EQ(rect->bottom, 420);
    EXPECT_EQ(rect->right, 380);
}

// Without a usable parent window there is no frame: open says so, and every
// later call is harmless.
TEST(EditorObject, OpenWithoutAParentWindowFailsAndLeavesTheEditorClosed) {
    FakeEffect effect(9);
    OVEditor* editor = new OVEditor(&effect, surround51EditorLayout());
    EXPECT_FALSE(editor->open(nullptr));
    EXPECT_EQ(editor->getFrame(), nullptr);
    EXPECT_FALSE(editor->isOpen());
    // X11 window ids have 29 bits; a larger handle is not a window.
    EXPECT_FALSE(editor->open(reinterpret_cast<void*>(uintptr_t(0x7fffffff))));
    EXPECT_EQ(editor->getFrame(), nullptr);
    editor->idle();
    editor->setParameter(0, 0.25f);
    editor->close();
    editor->close();
    VstKeyCode key{0, 11, 0};
    EXPECT_FALSE(editor->onKeyDown(key));
    EXPECT_FALSE(editor->onKeyUp(key));
}

TEST(EditorObject, HostileIndicesAndControlsAreIgnored) {
    FakeEffect effect(8);
    OVEditor* editor = new OVEditor(&effect, stereoEditorLayout());
    for (VstInt32 index : {-1, 8, 9, 10, 1000, INT32_MIN, INT32_MAX}) editor->setParameter(index, 0.5f);
    editor->valueChanged(nullptr);
    // A control with a tag outside the rows (the credits area's tag) does
    // not reach the effect.
    VSTGUI::CControl credits(VSTGUI::CRect(0, 0, 10, 10), editor, 9);
    credits.setValue(1.0f);
    editor->valueChanged(&credits);
    VSTGUI::CControl negative(VSTGUI::CRect(0, 0, 10, 10), editor, -1);
    editor->valueChanged(&negative);
    EXPECT_EQ(effect.automatedCalls, 0);
    // A control of a row does.
    VSTGUI::CControl row(VSTGUI::CRect(0, 0, 10, 10), editor, 7);
    row.setValue(0.6f);
    editor->valueChanged(&row);
    EXPECT_EQ(effect.automatedCalls, 1);
    EXPECT_FLOAT_EQ(effect.values[7], 2.0f / 3.0f);
}

}  // namespace
