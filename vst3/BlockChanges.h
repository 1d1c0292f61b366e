// The parameter changes a VST 3 host sends with one block, walked in the
// order of their sample offsets, so that the processor can split the block
// at every offset and a change at frame k takes effect from frame k.
//
// Each queue is one parameter's points in rising offsets; a point at or
// below 0 belongs to the first frame, one at or beyond the block's end to
// the frames after it. Queues of ids the layout lacks are left aside, as
// are queues beyond the kMaxQueues first (more than a layout has
// parameters).
//
// Audio thread; it reads the host's queues only, allocates nothing.
#pragma once

#include <cstdint>

#include "ParamTable.h"
#include "interface/Processing.h"

namespace orvanta_vst3 {

class BlockChanges {
public:
    static constexpr int32_t kMaxQueues = 16;
    static constexpr int32_t kAfterTheBlock = INT32_MAX;

    // `changes` may be null (no changes).
    BlockChanges(vst3::IParameterChanges* changes, Layout layout);

    // Hands every point not yet handed on whose offset is at most `frame`
    // to apply(id, value), queue by queue.
    template <class Apply>
    void applyUpTo(int32_t frame, Apply&& apply) {
        for (int32_t q = 0; q < count_; ++q) {
            Queue& queue = queues_[q];
            while (queue.nextIndex < queue.points && queue.nextOffset <= frame) {
                apply(queue.id, queue.nextValue);
                advance(queue);
            }
        }
    }
    // The offset of the earliest point not yet handed on, or `end` when
    // none comes before it.
    int32_t nextOffset(int32_t end) const;

private:
    struct Queue {
        vst3::IParamValueQueue* queue;
        vst3::ParamID id;
        int32_t points;
        int32_t nextIndex;
        int32_t nextOffset;
        double nextValue;
    };
    // Reads the next point of `queue`; a point the host cannot give ends
    // the queue.
    static void advance(Queue& queue);
    static void load(Queue& queue);

    Queue queues_[kMaxQueues];
    int32_t count_ = 0;
};

}  // namespace orvanta_vst3
