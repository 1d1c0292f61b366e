// A bounded, lock-free queue of parameter changes from any number of
// producer threads (host automation, the editor) to the thread that owns the
// engines (the host's audio thread, or its dispatcher thread while
// processing is switched off).
//
// Each cell carries a sequence number (a bounded sequence-number queue): a
// producer claims a slot with one compare-and-swap on the write position,
// writes the change and publishes it with a release store; the consumer
// sees a change only once it is whole. push and pop never block, allocate or
// make a system call. Changes leave in the order their slots were claimed.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

struct ParameterChange {
    int32_t index;     // ParamId
    float plainValue;  // engine units; the mode 0..3 for the mix mode
};

template <uint32_t kCapacity>
class ParameterChangeQueue {
    static_assert(kCapacity >= 2 && (kCapacity & (kCapacity - 1)) == 0,
                  "capacity must be a power of two");
    static_assert(std::atomic<uint32_t>::is_always_lock_free, "needs lock-free 32-bit atomics");

public:
    ParameterChangeQueue() {
        for (uint32_t i = 0; i < kCapacity; ++i) cells[i].sequence.store(i, std::memory_order_relaxed);
        writePosition.store(0, std::memory_order_relaxed);
        readPosition.store(0, std::memory_order_relaxed);
    }
    ParameterChangeQueue(const ParameterChangeQueue&) = delete;
    ParameterChangeQueue& operator=(const ParameterChangeQueue&) = delete;

    // Any thread. False when the queue is full (the change is not queued).
    bool push(const ParameterChange& change) noexcept {
        uint32_t position = writePosition.load(std::memory_order_relaxed);
        for (;;) {
            Cell& cell = cells[position & kMask];
            const uint32_t sequence = cell.sequence.load(std::memory_order_acquire);
            const int32_t lag = static_cast<int32_t>(sequence - position);
            if (lag == 0) {
                if (writePosition.compare_exchange_weak(position, position + 1,
                                                        std::memory_order_relaxed))
                    break;
            } else if (lag < 0) {
                return false;  // the consumer has not freed this slot yet: full
            } else {
                position = writePosition.load(std::memory_order_relaxed);
            }
        }
        Cell& cell = cells[position & kMask];
        cell.change = change;
        cell.sequence.store(position + 1, std::memory_order_release);
        return true;
    }

    // The consuming thread. False when no whole change is waiting.
    bool pop(ParameterChange& change) noexcept {
        uint32_t position = readPosition.load(std::memory_order_relaxed);
        for (;;) {
            Cell& cell = cells[position & kMask];
            const uint32_t sequence = cell.sequence.load(std::memory_order_acquire);
            const int32_t lag = static_cast<int32_t>(sequence - (position + 1));
            if (lag == 0) {
                if (readPosition.compare_exchange_weak(position, position + 1,
                                                       std::memory_order_relaxed))
                    break;
            } else if (lag < 0) {
                return false;  // empty, or the producer is still writing
            } else {
                position = readPosition.load(std::memory_order_relaxed);
            }
        }
        Cell& cell = cells[position & kMask];
        change = cell.change;
        cell.sequence.store(position + kCapacity, std::memory_order_release);
        return true;
    }

    static constexpr uint32_t capacity() { return kCapacity; }

private:
    static constexpr uint32_t kMask = kCapacity - 1;
    // Producers and the consumer write different cache lines.
    static constexpr size_t kCacheLineBytes = 64;

    struct Cell {
        std::atomic<uint32_t> sequence;
        ParameterChange change;
    };

    Cell cells[kCapacity];
    alignas(kCacheLineBytes) std::atomic<uint32_t> writePosition;
    alignas(kCacheLineBytes) std::atomic<uint32_t> readPosition;
};
