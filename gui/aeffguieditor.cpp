#include "aeffguieditor.h"

#include <chrono>

#include "../vst/audioeffectx.h"

int32_t AEffGUIEditor::knobMode = 0;

namespace {
uint64_t nowMilliseconds() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}
}  // namespace

AEffGUIEditor::AEffGUIEditor(void* effect)
    : AEffEditor(static_cast<AudioEffect*>(effect)), createdAtMilliseconds(nowMilliseconds()) {
    if (this->effect) this->effect->setEditor(this);
    setUpThread = std::this_thread::get_id();
    threadSetUp = VSTGUI::beginEditorThread();
}

AEffGUIEditor::~AEffGUIEditor() {
    // Balanced on the thread that was set up; another thread was never set
    // up by us and must not be torn down.
    if (threadSetUp && setUpThread == std::this_thread::get_id()) VSTGUI::endEditorThread();
}

bool AEffGUIEditor::getRect(ERect** place) {
    if (!place) return false;
    *place = &rect;
    return true;
}

bool AEffGUIEditor::open(void* parentWindow) {
    userInterfaceThread.store(std::this_thread::get_id(), std::memory_order_relaxed);
    AEffEditor::open(parentWindow);
    return true;
}

void AEffGUIEditor::close() {
    AEffEditor::close();
    if (frame) {
        VSTGUI::CFrame* closing = frame;
        frame = nullptr;
        closing->forget();
    }
}

void AEffGUIEditor::idle() {
    if (!frame || inIdleStuff) return;
    // A host may close the editor from inside an event handler (reacting to
    // an automation message); the extra reference keeps the frame alive
    // until its event loop has returned.
    VSTGUI::CFrame* idling = frame;
    idling->remember();
    idling->processPlatformEvents();
    if (frame == idling) frame->idle();
    idling->forget();
}

namespace {
// The host's key record as the views take it.
VSTGUI::VstKeyCode toViewKey(const VstKeyCode& keyCode) {
    VSTGUI::VstKeyCode key;
    key.character = keyCode.character;
    key.virt = keyCode.virt;
    key.modifier = keyCode.modifier;
    return key;
}
}  // namespace

bool AEffGUIEditor::onKeyDown(VstKeyCode& keyCode) {
    if (!frame) return false;
    VSTGUI::VstKeyCode key = toViewKey(keyCode);
    return frame->onKeyDown(key) == 1;
}

bool AEffGUIEditor::onKeyUp(VstKeyCode& keyCode) {
    if (!frame) return false;
    VSTGUI::VstKeyCode key = toViewKey(keyCode);
    return frame->onKeyUp(key) == 1;
}

bool AEffGUIEditor::setKnobMode(VstInt32 mode) {
    knobMode = mode;
    return true;
}

void AEffGUIEditor::beginEdit(int32_t index) {
    if (effect) static_cast<AudioEffectX*>(effect)->beginEdit(index);
}

void AEffGUIEditor::endEdit(int32_t index) {
    if (effect) static_cast<AudioEffectX*>(effect)->endEdit(index);
}

uint32_t AEffGUIEditor::getTicks() const {
    return static_cast<uint32_t>(nowMilliseconds() - createdAtMilliseconds);
}
