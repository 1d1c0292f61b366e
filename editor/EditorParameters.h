// The seam between the editor and the plug-in whose parameters it shows: the
// four calls and the display text the editor needs. Each front end implements
// it on its own host interface (the VST 2.4 effect is one), so the editor
// depends on no plug-in format.
//
// Rows are parameter indices (ParamId); values are normalised, 0..1.
#pragma once

#include <cstdint>

class EditorParameters {
public:
    static constexpr int32_t kDisplayTextBytes = 256;

    virtual ~EditorParameters() = default;

    // Any thread: the normalised value row `index` shows.
    virtual float value(int32_t index) const = 0;
    // The editor's user-interface thread, around a user gesture on a row
    // (press, moves, release): the front end brackets the values it reports
    // to its host. setValue applies the value to the plug-in and tells the
    // host; the front end then calls OVEditor::parameterChanged as for any
    // change.
    virtual void beginEdit(int32_t index) = 0;
    virtual void setValue(int32_t index, float normalised) = 0;
    virtual void endEdit(int32_t index) = 0;
    // Any thread: the text of row `index`'s display for a normalised value,
    // in engine units with the unit ("-20.0 LUFS"), terminated within
    // kDisplayTextBytes. By default the parameter table's (ValueDisplays.h).
    virtual void displayText(int32_t index, float normalised, char text[kDisplayTextBytes]) const;
};
