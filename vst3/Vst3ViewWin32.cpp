// The view's idle calls on Windows: a timer of the user-interface thread,
// whose callback finds its view in a small table (thread timers carry no
// context of their own). The window's messages need no help: the host's
// message loop delivers them.
#include <windows.h>

#include "Vst3View.h"

namespace orvanta_vst3 {

namespace {

struct TimedView {
    UINT_PTR timer;
    Vst3View* view;
};
// More views than any host opens at once; the user-interface thread only.
constexpr int kMaxTimedViews = 16;
TimedView timedViews[kMaxTimedViews] = {};

void CALLBACK onViewTimer(HWND, UINT, UINT_PTR timer, DWORD) {
    for (const TimedView& entry : timedViews)
        if (entry.timer == timer && entry.view != nullptr) entry.view->idle();
}

}  // namespace

bool Vst3View::startIdle() {
    for (TimedView& entry : timedViews) {
        if (entry.view != nullptr) continue;
        const UINT_PTR timer = SetTimer(nullptr, 0, kIdleIntervalMs, onViewTimer);
        if (timer == 0) return false;
        entry = TimedView{timer, this};
        timer_ = timer;
        return true;
    }
    return false;
}

void Vst3View::stopIdle() {
    if (timer_ == 0) return;
    KillTimer(nullptr, timer_);
    for (TimedView& entry : timedViews)
        if (entry.view == this) entry = TimedView{0, nullptr};
    timer_ = 0;
}

}  // namespace orvanta_vst3
