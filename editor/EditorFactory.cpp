// The effect's editor: an OVEditor for the layout this module is built for.
// Compiled into each VST module with that module's layout definition.
#include "../vst/EditorFactory.h"

#include <new>

#include "OVEditor.h"

namespace {
const EditorLayout& moduleLayout() {
#if ORVANTA_SURROUND51
    return surround51EditorLayout();
#else
    return stereoEditorLayout();
#endif
}
}  // namespace

// The effect's constructor, on the host's loader thread. Nothing is thrown
// across the host interface: without memory there is no editor.
AEffEditor* createOrvantaEditor(AudioEffect* effect) {
    if (!effect) return nullptr;
    return new (std::nothrow) OVEditor(effect, moduleLayout());
}

// Any thread: the editor draws the change at once on its user-interface
// thread and leaves it to the next idle() from every other thread.
void notifyEditorParameter(AEffEditor* editor, VstInt32 index, float value) {
    if (editor) static_cast<OVEditor*>(editor)->setParameter(index, value);
}
