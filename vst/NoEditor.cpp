// The effect without an editor window: no editor is created, and parameter
// changes have nobody to tell.
#include "EditorFactory.h"

AEffEditor* createOrvantaEditor(AudioEffect* /*effect*/) { return nullptr; }

void notifyEditorParameter(AEffEditor* /*editor*/, VstInt32 /*index*/, float /*value*/) {}
