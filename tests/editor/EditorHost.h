// A minimal VST 2.4 host for the editor tests: loads a plug-in module,
// records what the effect tells the host, gives the editor a parent window
// on the X display of $DISPLAY, and reads back what the window shows.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "../../vst/aeffectx.h"

struct HostCall {
    VstInt32 opcode;
    VstInt32 index;
    float value;
};

// The RGB of one window pixel.
struct Pixel {
    int r, g, b;
    int luminance() const { return (r * 30 + g * 59 + b * 11) / 100; }
};

class WindowCapture {
public:
    WindowCapture() = default;
    WindowCapture(int width, int height) : width_(width), height_(height), rgb_(width * height) {}
    Pixel at(int x, int y) const;
    void set(int x, int y, Pixel pixel) { rgb_[y * width_ + x] = pixel; }
    int width() const { return width_; }
    int height() const { return height_; }
    // Writes the capture as a PNG file.
    bool writePng(const std::string& path) const;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<Pixel> rgb_;
};

class EditorHost {
public:
    // Loads the module and creates its effect; check effect() for success.
    explicit EditorHost(const std::string& modulePath);
    ~EditorHost();
    EditorHost(const EditorHost&) = delete;
    EditorHost& operator=(const EditorHost&) = delete;

    AEffect* effect() const { return effect_; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);
    void setParameter(VstInt32 index, float value);
    float getParameter(VstInt32 index);
    std::string parameterDisplay(VstInt32 index);

    // effEditGetRect; false when the effect answered 0.
    bool editorRect(ERect& rect);
    // Creates the parent window (at the screen's top-left) and sends
    // effEditOpen with it. Answers the dispatcher's answer.
    bool openEditor();
    void closeEditor();
    // Destroys the parent window as a host might before closing the editor.
    void destroyParentWindow();
    // effEditIdle a few times, waiting a little between calls, so events
    // sent to the editor's window have arrived and been handled.
    void idle(int rounds = 3);

    Display* display() const { return display_; }
    Window parentWindow() const { return parent_; }
    WindowCapture capture(int width, int height) const;

    // Input through the XTEST extension, in window coordinates.
    bool hasXTest() const;
    void moveMouse(int x, int y);
    void pressButton(int button = 1);
    void releaseButton(int button = 1);
    void pressKey(unsigned long keysym);
    void releaseKey(unsigned long keysym);
    void click(int x, int y);

    // Calls the effect made to the host since the last take.
    std::vector<HostCall> takeHostCalls();

private:
    void* module_ = nullptr;
    AEffect* effect_ = nullptr;
    Display* display_ = nullptr;
    Window parent_ = 0;
};
