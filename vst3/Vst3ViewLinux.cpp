// The view's idle calls on Linux: a timer and the window's X connection,
// both watched by the host's run loop on its user-interface thread.
#include "Vst3Controller.h"
#include "Vst3View.h"

namespace orvanta_vst3 {

bool Vst3View::startIdle() {
    // The frame's run loop first, as hosts offer it there; the host context
    // of the controller as a second place.
    runLoop_.query(frame_);
    if (!runLoop_) runLoop_.query(controller_.hostContext());
    if (!runLoop_) return false;
    if (runLoop_->registerTimer(this, kIdleIntervalMs) != vst3::kResultOk) {
        runLoop_.reset();
        return false;
    }
    // Without the descriptor the timer still reads the events, only later.
    const int descriptor = window_.eventFileDescriptor();
    watchingEvents_ = descriptor >= 0 && runLoop_->registerEventHandler(this, descriptor) == vst3::kResultOk;
    return true;
}

void Vst3View::stopIdle() {
    if (!runLoop_) return;
    if (watchingEvents_) runLoop_->unregisterEventHandler(this);
    watchingEvents_ = false;
    runLoop_->unregisterTimer(this);
    runLoop_.reset();
}

void Vst3View::onFDIsSet(int) {
    if (attached_) window_.idle();
}

void Vst3View::onTimer() {
    if (attached_) window_.idle();
}

}  // namespace orvanta_vst3
