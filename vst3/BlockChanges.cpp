#include "BlockChanges.h"

#include "Vst3Parameters.h"

namespace orvanta_vst3 {

BlockChanges::BlockChanges(vst3::IParameterChanges* changes, Layout layout) {
    if (changes == nullptr) return;
    const int32_t queues = changes->getParameterCount();
    for (int32_t i = 0; i < queues && count_ < kMaxQueues; ++i) {
        vst3::IParamValueQueue* queue = changes->getParameterData(i);
        if (queue == nullptr) continue;
        const vst3::ParamID id = queue->getParameterId();
        if (kindOf(layout, id) == ParameterKind::None) continue;
        Queue& q = queues_[count_++];
        q = Queue{queue, id, queue->getPointCount(), 0, 0, 0.0};
        load(q);
    }
}

int32_t BlockChanges::nextOffset(int32_t end) const {
    int32_t next = end;
    for (int32_t q = 0; q < count_; ++q)
        if (queues_[q].nextIndex < queues_[q].points && queues_[q].nextOffset < next) next = queues_[q].nextOffset;
    return next;
}

void BlockChanges::advance(Queue& queue) {
    ++queue.nextIndex;
    load(queue);
}

void BlockChanges::load(Queue& queue) {
    if (queue.nextIndex >= queue.points) return;
    int32_t offset = 0;
    double value = 0.0;
    if (queue.queue->getPoint(queue.nextIndex, offset, value) != vst3::kResultOk) {
        queue.points = queue.nextIndex;
        return;
    }
    queue.nextOffset = offset;
    queue.nextValue = value;
}

}  // namespace orvanta_vst3
