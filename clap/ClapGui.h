// The gui extension's editor: the editor window embedded in the host's
// window (X11 or Win32), with the parameter seam over the instance's core.
// Fixed size. It exists between the host's gui create and destroy; its
// window between set_parent (or show) and hide (or destroy).
//
// Run loop. The editor starts no thread of its own. It reads its window's
// events when the host calls: on the timer it registers with the host's
// timer support (about 30 times a second: it also draws the host's
// automation), and, on Linux, when the host's posix-fd support reports its
// display connection readable. Both are unregistered before the window and
// its connection go, so no host callback ever reaches a closed display.
//
// Threads: the host's main thread, under the instance's main lock.
#pragma once

#include <cstdint>

#include "ClapAbi.h"
#include "EditorParameters.h"
#include "OVEditor.h"

class ClapPlugin;

class ClapEditor : private EditorParameters {
public:
    explicit ClapEditor(ClapPlugin& plugin);
    ~ClapEditor() override;
    ClapEditor(const ClapEditor&) = delete;
    ClapEditor& operator=(const ClapEditor&) = delete;

    uint32_t width() const { return static_cast<uint32_t>(window_.width()); }
    uint32_t height() const { return static_cast<uint32_t>(window_.height()); }
    // Remembers the host's window and opens the editor in it.
    bool setParent(void* parentWindow);
    // Opens the window in the remembered parent again; true when it is open.
    bool show();
    // Closes the window; the parent stays remembered.
    bool hide();
    // The host's timer or descriptor: rows changed elsewhere are drawn,
    // window events are read.
    void idle();
    // Rows changed elsewhere are drawn at once on the editor's thread, or
    // left to the next idle from any other thread.
    void refresh();

private:
    float value(int32_t index) const override;
    void beginEdit(int32_t index) override;
    void setValue(int32_t index, float normalised) override;
    void endEdit(int32_t index) override;

    void registerDescriptor();
    void unregisterDescriptor();

    ClapPlugin& plugin_;
    OVEditor window_;
    void* parent_ = nullptr;
    bool hasTimer_ = false;
    clap_id timer_ = kClapInvalidId;
    int descriptor_ = -1;
};
