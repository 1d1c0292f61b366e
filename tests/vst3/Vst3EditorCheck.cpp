// The editor of both effects in a host window on an X display (with-xvfb.sh),
// driven only by the host's run loop, as Linux hosts do: it attaches,
// registers its timer and X connection, draws; host automation shows at once;
// a drag reaches the host as begin, perform, end; removed unregisters all and
// leaves no window and no thread; all of it twice.   vst3_editor_check MODULE
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <dirent.h>
#include <unistd.h>

#include "ProgramChecks.h"
#include "Vst3Host.h"
#include "interface/View.h"

using namespace vst3host;
using programchecks::check;

namespace {

// The host's frame and run loop, which calls every handler each 10 ms.
class Frame : public HostObject<IPlugFrame, IRunLoop> {
public:
    tresult ORVANTA_VST3_API resizeView(IPlugView*, ViewRect*) override { return kResultOk; }
    tresult ORVANTA_VST3_API registerEventHandler(IEventHandler* h, int fd) override { return add(h, fd), kResultOk; }
    tresult ORVANTA_VST3_API unregisterEventHandler(IEventHandler* h) override { return drop(h), kResultOk; }
    tresult ORVANTA_VST3_API registerTimer(ITimerHandler* h, uint64) override { return add(h, -1), kResultOk; }
    tresult ORVANTA_VST3_API unregisterTimer(ITimerHandler* h) override { return drop(h), kResultOk; }
    void run(int ms) {
        for (int t = 0; t < ms; t += 10, usleep(10000))
            for (auto [handler, fd] : std::vector(handlers))
                fd < 0 ? static_cast<ITimerHandler*>(handler)->onTimer() : static_cast<IEventHandler*>(handler)->onFDIsSet(fd);
    }
    int count(bool timers) const {
        return static_cast<int>(std::count_if(handlers.begin(), handlers.end(), [timers](auto& h) { return (h.second < 0) == timers; }));
    }
    void add(void* handler, int fd) { handlers.push_back({handler, fd}); }
    void drop(void* handler) {
        handlers.erase(std::remove_if(handlers.begin(), handlers.end(), [handler](auto& h) { return h.first == handler; }),
                       handlers.end());
    }
    std::vector<std::pair<void*, int>> handlers;  // fd -1: a timer
};

int threads() {
    int count = 0;
    DIR* tasks = opendir("/proc/self/task");
    while (tasks && readdir(tasks)) ++count;
    return tasks && closedir(tasks), count;
}

unsigned long pixel(Display* display, Window window, int x, int y) {
    XSync(display, False);
    XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
    const unsigned long value = image ? XGetPixel(image, 0, 0) & 0xFFFFFF : 0;
    return image && XDestroyImage(image), value;
}

void mouse(Display* display, Frame& frame, int x, int y, int button) {
    XTestFakeMotionEvent(display, DefaultScreen(display), x, y, 0);
    if (button >= 0) XTestFakeButtonEvent(display, 1, button, 0);
    XSync(display, False), frame.run(60);
}

void checkEditor(const Module& module, Display* display, bool surround) {
    const std::string at = surround ? " (5.1)" : " (stereo)";
    Plugin plugin(module, surround);
    Frame frame;
    IPlugView* view = plugin.controller->createView("editor");
    ViewRect size{};
    check(view && view->getSize(&size) == kResultOk && size.right == 380 && size.bottom == (surround ? 420 : 390) &&
              view->canResize() != kResultTrue && view->isPlatformTypeSupported("X11EmbedWindowID") == kResultTrue &&
              view->isPlatformTypeSupported("HWND") != kResultTrue,
          "a fixed-size X11 view" + at);
    if (!view) return;
    // White wherever the editor does not draw.
    const Window parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 480, 480, 0, 0, 0xFFFFFF);
    XMapWindow(display, parent);
    XSync(display, False);
    const int threadsBefore = threads();
    view->setFrame(&frame);
    for (int round = 0; round < 2; ++round) {
        const std::string when = (round ? " again" : "") + at;
        check(view->attached(reinterpret_cast<void*>(parent), "X11EmbedWindowID") == kResultOk &&
                  frame.count(true) == 1 && frame.count(false) == 1,
              "attached; timer and X connection registered" + when);
        frame.run(200);
        check(pixel(display, parent, 5, 5) == 0x1E1E1E, "the editor draws" + when);

        // Target Level's handle leaves its place (the middle, then the top)
        // at once, without a call from the run loop.
        const int rowY = (surround ? 42 : 46) + 8, handleX = round ? 29 + 220 + 9 : 29 + 110 + 9;
        const unsigned long before = pixel(display, parent, handleX, rowY);
        plugin.controller->setParamNormalized(0, round ? 0.0 : 1.0);
        check(pixel(display, parent, handleX, rowY) != before, "host automation shows at once" + when);

        plugin.handler.edits.clear();
        mouse(display, frame, 29 + 220 + 9, rowY + 40, True);  // True Peak's handle, at the top
        mouse(display, frame, 120, rowY + 40, -1);
        mouse(display, frame, 120, rowY + 40, False);
        const auto& e = plugin.handler.edits;
        const Edit last = e.size() >= 2 ? e[e.size() - 2] : Edit{};
        check(e.size() >= 3 && e.front().what == 'b' && e.back().what == 'e' && last.what == 'p' && last.id == 1 &&
                  last.value < 1.0 && last.value == plugin.controller->getParamNormalized(1),
              "a drag is begin, perform and end" + when);
        check(view->removed() == kResultOk && frame.handlers.empty() &&
                  pixel(display, parent, 5, 5) == 0xFFFFFF && threads() == threadsBefore,
              "removed: unregistered, no window, no thread left" + when);
    }
    view->release();
    XDestroyWindow(display, parent);
}

}  // namespace

int main(int argc, char** argv) {
    Display* display = argc == 2 ? XOpenDisplay(nullptr) : nullptr;
    int event, error, major, minor;
    if (!display || !XTestQueryExtension(display, &event, &error, &major, &minor))
        return std::fprintf(stderr, "usage: %s MODULE, on an X display with XTEST\n", argv[0]), 2;
    {
        Module module(argv[1]);
        checkEditor(module, display, false);
        checkEditor(module, display, true);
    }
    XCloseDisplay(display);
    return programchecks::failures ? 1 : 0;
}
