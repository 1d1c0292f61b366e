#include "EditorHost.h"

#include <X11/Xutil.h>
#include <cairo.h>
#include <dlfcn.h>

#include <chrono>
#include <mutex>
#include <thread>

#ifdef ORVANTA_HOST_HAS_XTEST
#include <X11/extensions/XTest.h>
#endif

namespace {

std::mutex hostCallsMutex;
std::vector<HostCall> hostCalls;

// The host callback: answers what a host answers and records the editor's
// messages (automation and the edit brackets).
VstIntPtr VSTCALLBACK hostCallback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr,
                                   void*, float opt) {
    switch (opcode) {
        case audioMasterVersion: return 2400;
        case audioMasterGetSampleRate: return 44100;
        case audioMasterAutomate:
        case audioMasterBeginEdit:
        case audioMasterEndEdit: {
            std::lock_guard<std::mutex> lock(hostCallsMutex);
            hostCalls.push_back({opcode, index, opt});
            return opcode == audioMasterAutomate ? 0 : 1;
        }
        default: return 0;
    }
}

using PluginMain = AEffect* (*)(audioMasterCallback);

}  // namespace

Pixel WindowCapture::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return {-1, -1, -1};
    return rgb_[y * width_ + x];
}

bool WindowCapture::writePng(const std::string& path) const {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width_, height_);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height_; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + y * stride);
        for (int x = 0; x < width_; ++x) {
            const Pixel& p = rgb_[y * width_ + x];
            row[x] = (uint32_t(p.r) << 16) | (uint32_t(p.g) << 8) | uint32_t(p.b);
        }
    }
    cairo_surface_mark_dirty(surface);
    const bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return ok;
}

EditorHost::EditorHost(const std::string& modulePath) {
    display_ = XOpenDisplay(nullptr);
    module_ = dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module_) return;
    auto entry = reinterpret_cast<PluginMain>(dlsym(module_, "VSTPluginMain"));
    if (entry) effect_ = entry(hostCallback);
    if (effect_) dispatch(effOpen);
}

EditorHost::~EditorHost() {
    if (effect_) dispatch(effClose);
    if (display_ && parent_) XDestroyWindow(display_, parent_);
    if (display_) XCloseDisplay(display_);
    if (module_) dlclose(module_);
}

VstIntPtr EditorHost::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                               float opt) {
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void EditorHost::setParameter(VstInt32 index, float value) {
    effect_->setParameter(effect_, index, value);
}

float EditorHost::getParameter(VstInt32 index) { return effect_->getParameter(effect_, index); }

std::string EditorHost::parameterDisplay(VstInt32 index) {
    char text[64] = {};
    dispatch(effGetParamDisplay, index, 0, text);
    return text;
}

bool EditorHost::editorRect(ERect& rect) {
    ERect* place = nullptr;
    if (dispatch(effEditGetRect, 0, 0, &place) == 0 || !place) return false;
    rect = *place;
    return true;
}

bool EditorHost::openEditor() {
    if (!display_) return false;
    if (!parent_) {
        XSetWindowAttributes attributes = {};
        attributes.override_redirect = True;
        attributes.background_pixel = 0x000000ff;  // blue: anything not covered shows
        parent_ = XCreateWindow(display_, DefaultRootWindow(display_), 0, 0, 480, 480, 0,
                                CopyFromParent, InputOutput, CopyFromParent,
                                CWOverrideRedirect | CWBackPixel, &attributes);
        XMapWindow(display_, parent_);
        XSync(display_, False);
    }
    return dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(parent_)) != 0;
}

void EditorHost::closeEditor() { dispatch(effEditClose); }

void EditorHost::destroyParentWindow() {
    if (!parent_) return;
    XDestroyWindow(display_, parent_);
    XSync(display_, False);
    parent_ = 0;
}

void EditorHost::idle(int rounds) {
    if (display_) XSync(display_, False);
    for (int round = 0; round < rounds; ++round) {
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
        dispatch(effEditIdle);
    }
}

WindowCapture EditorHost::capture(int width, int height) const {
    WindowCapture result(width, height);
    XSync(display_, False);
    XImage* image = XGetImage(display_, parent_, 0, 0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (!image) return WindowCapture();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            result.set(x, y, {int((pixel >> 16) & 0xff), int((pixel >> 8) & 0xff),
                              int(pixel & 0xff)});
        }
    }
    XDestroyImage(image);
    return result;
}

#ifdef ORVANTA_HOST_HAS_XTEST
bool EditorHost::hasXTest() const {
    int event, error, major, minor;
    return display_ && XTestQueryExtension(display_, &event, &error, &major, &minor);
}
void EditorHost::moveMouse(int x, int y) {
    XTestFakeMotionEvent(display_, DefaultScreen(display_), x, y, 0);
    idle();
}
void EditorHost::pressButton(int button) {
    XTestFakeButtonEvent(display_, static_cast<unsigned>(button), True, 0);
    idle();
}
void EditorHost::releaseButton(int button) {
    XTestFakeButtonEvent(display_, static_cast<unsigned>(button), False, 0);
    idle();
}
void EditorHost::pressKey(unsigned long keysym) {
    XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, keysym), True, 0);
    XSync(display_, False);
}
void EditorHost::releaseKey(unsigned long keysym) {
    XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, keysym), False, 0);
    XSync(display_, False);
}
#else
bool EditorHost::hasXTest() const { return false; }
void EditorHost::moveMouse(int, int) {}
void EditorHost::pressButton(int) {}
void EditorHost::releaseButton(int) {}
void EditorHost::pressKey(unsigned long) {}
void EditorHost::releaseKey(unsigned long) {}
#endif

void EditorHost::click(int x, int y) {
    moveMouse(x, y);
    pressButton();
    releaseButton();
}

std::vector<HostCall> EditorHost::takeHostCalls() {
    std::lock_guard<std::mutex> lock(hostCallsMutex);
    std::vector<HostCall> taken;
    taken.swap(hostCalls);
    return taken;
}
