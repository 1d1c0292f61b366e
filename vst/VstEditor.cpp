// The effect's editor: a VstEditor for the layout this module is built for.
// Compiled into each VST module with that module's layout definition; it
// implements EditorFactory.h.
#include "VstEditor.h"

#include <new>

#include "EditorFactory.h"
#include "audioeffectx.h"

namespace {

const EditorLayout& moduleLayout() {
#if ORVANTA_SURROUND51
    return surround51EditorLayout();
#else
    return stereoEditorLayout();
#endif
}

VstInt16 toRectField(int32_t pixels) { return static_cast<VstInt16>(pixels > 32767 ? 32767 : pixels); }

// The host's key record as the views take it.
VSTGUI::VstKeyCode toViewKey(const VstKeyCode& keyCode) {
    VSTGUI::VstKeyCode key;
    key.character = keyCode.character;
    key.virt = keyCode.virt;
    key.modifier = keyCode.modifier;
    return key;
}

}  // namespace

VstEditor::VstEditor(AudioEffectX* effect, const EditorLayout& layout)
    : AEffEditor(effect), owner(effect), window(*this, layout) {}

bool VstEditor::getRect(ERect** place) {
    if (!place) return false;
    rect.right = toRectField(window.width());
    rect.bottom = toRectField(window.height());
    *place = &rect;
    return true;
}

bool VstEditor::open(void* parentWindow) {
    AEffEditor::open(parentWindow);
    if (window.open(parentWindow)) return true;
    AEffEditor::close();
    return false;
}

void VstEditor::close() {
    window.close();
    AEffEditor::close();
}

void VstEditor::idle() { window.idle(); }

bool VstEditor::onKeyDown(VstKeyCode& keyCode) {
    VSTGUI::VstKeyCode key = toViewKey(keyCode);
    return window.onKeyDown(key);
}

bool VstEditor::onKeyUp(VstKeyCode& keyCode) {
    VSTGUI::VstKeyCode key = toViewKey(keyCode);
    return window.onKeyUp(key);
}

bool VstEditor::setKnobMode(VstInt32 mode) {
    knobMode = mode;
    return true;
}

float VstEditor::value(int32_t index) const { return owner->getParameter(index); }

void VstEditor::beginEdit(int32_t index) { owner->beginEdit(index); }

// The effect converts and applies the value and tells the window in turn;
// then the host is told (audioMasterAutomate).
void VstEditor::setValue(int32_t index, float normalised) { owner->setParameterAutomated(index, normalised); }

void VstEditor::endEdit(int32_t index) { owner->endEdit(index); }

// The effect's constructor, on the host's loader thread. Nothing is thrown
// across the host interface: without memory there is no editor.
AEffEditor* createOrvantaEditor(AudioEffect* effect) {
    if (!effect) return nullptr;
    return new (std::nothrow) VstEditor(static_cast<AudioEffectX*>(effect), moduleLayout());
}

// Any thread: the editor draws the change at once on its user-interface
// thread and leaves it to the next idle() from every other thread.
void notifyEditorParameter(AEffEditor* editor, VstInt32 index, float) {
    if (editor) static_cast<VstEditor*>(editor)->parameterChanged(index);
}
