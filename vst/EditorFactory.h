// The one seam between the effect and its editor. The effect links exactly
// one implementation of these two functions: NoEditor.cpp (no editor window)
// or the editor's own.
#pragma once

#include "aeffeditor.h"
#include "audioeffect.h"

// Creates the editor of `effect`, or answers null when the effect has none
// (the effect then leaves effFlagsHasEditor clear). Called once, from the
// effect's constructor, on the host's loader thread. Must not throw.
AEffEditor* createOrvantaEditor(AudioEffect* effect);

// Tells the editor that parameter `index` now has the normalised `value`.
// The effect calls it at the end of every setParameter, so it may run on ANY
// thread, the host's audio thread included: it must not block, allocate or
// call into the window system; it may only record the value for the next
// idle() redraw. `index` may lie outside the parameter table (the host's
// value is passed on as it came); the editor ignores such indices.
void notifyEditorParameter(AEffEditor* editor, VstInt32 index, float value);
