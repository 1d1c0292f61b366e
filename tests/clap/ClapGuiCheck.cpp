// The editor of every plug-in in Orvanta.clap as an X11 host drives it, under
// Xvfb: create, set parent, show, hide, destroy, twice, following the timer
// and descriptor registrations and the child window.   clap_gui_check MODULE
#include <X11/Xlib.h>

#include <cstdio>

#include "ClapHost.h"
#include "ProgramChecks.h"

using namespace claphost;
using programchecks::check;

namespace {

unsigned int children(Display* display, Window parent) {
    XSync(display, False);
    Window root, up, *list = nullptr;
    unsigned int count = 0;
    XQueryTree(display, parent, &root, &up, &list, &count);
    if (list) XFree(list);
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    Display* display = XOpenDisplay(nullptr);
    const clap_plugin_entry_t* entry = argc > 1 ? loadEntry(argv[1]) : nullptr;
    if (!display || !entry || !entry->init(argv[1])) {
        std::fprintf(stderr, "usage: clap_gui_check MODULE (with DISPLAY set)\n");
        return 2;
    }
    const auto* factory = static_cast<const clap_plugin_factory_t*>(entry->get_factory(kClapPluginFactoryId));
    const Window parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 400, 440, 0, 0, 0);
    XMapWindow(display, parent);
    XSync(display, False);  // the plug-in looks for the window on a connection of its own
    for (uint32_t index = 0; index < 3; ++index) {
        const clap_plugin_descriptor_t* d = factory->get_plugin_descriptor(factory, index);
        Plugin p(factory, d->id);
        const auto* gui = p.ext<clap_plugin_gui_t>(kClapExtGui);
        const auto* timer = p.ext<clap_plugin_timer_support_t>(kClapExtTimerSupport);
        const auto* fd = p.ext<clap_plugin_posix_fd_support_t>(kClapExtPosixFdSupport);
        const std::string at = std::string(" of ") + d->name;
        check(gui && timer && fd && gui->is_api_supported(p.plugin, "x11", false) &&
                  !gui->is_api_supported(p.plugin, "x11", true) && !gui->is_api_supported(p.plugin, "cocoa", false),
              "window APIs" + at);
        for (int round = 0; round < 2; ++round) {
            const std::string when = at + ", round " + std::to_string(round + 1);
            uint32_t width = 0, height = 0;
            check(gui->create(p.plugin, "x11", false) && p.host.timers == 1 &&
                      gui->get_size(p.plugin, &width, &height) && width == 380 && height == (index == 2 ? 420 : 390) &&
                      !gui->can_resize(p.plugin) && !gui->set_size(p.plugin, 500, 500),
                  "created, fixed size, timer registered" + when);
            clap_window_t window{"x11", {}};
            window.x11 = parent;
            check(gui->set_parent(p.plugin, &window) && children(display, parent) == 1 && p.host.descriptors == 1,
                  "embedded, display connection watched" + when);
            check(gui->show(p.plugin) && children(display, parent) == 1, "shown" + when);
            timer->on_timer(p.plugin, 7);
            fd->on_fd(p.plugin, 0, kClapPosixFdRead);
            check(gui->hide(p.plugin) && children(display, parent) == 0 && p.host.descriptors == 0,
                  "hidden, connection no longer watched" + when);
            check(gui->show(p.plugin) && children(display, parent) == 1 && p.host.descriptors == 1, "shown again" + when);
            gui->destroy(p.plugin);
            check(children(display, parent) == 0 && p.host.descriptors == 0 && p.host.timers == 0,
                  "destroyed, nothing left registered" + when);
            timer->on_timer(p.plugin, 7);  // after destroy: no editor, no display touched
            fd->on_fd(p.plugin, 0, kClapPosixFdRead);
        }
    }
    XCloseDisplay(display);
    std::printf("%s\n", programchecks::failures == 0 ? "editor checks passed" : "editor checks FAILED");
    return programchecks::failures == 0 ? 0 : 1;
}
