// The editor's gestures on their way to the host: from the editor's thread
// (the host's main thread) to the thread that talks to the host's output
// event list (the audio thread in process, or whichever thread flushes). One
// producer, one consumer; both sides are lock-free and allocate nothing.
//
// The consumer looks at the oldest edit before it takes it, so an edit the
// host's list has no room for stays first in line for the next block.
#pragma once

#include <atomic>
#include <cstdint>

struct EditEvent {
    enum class Kind : uint8_t { Begin, Value, End };
    Kind kind;
    int32_t index;  // ParamId
    float plainValue;
};

class EditEventQueue {
public:
    // A gesture on every row of the 5.1 editor at once, with room to spare:
    // a user moves one slider at a time.
    static constexpr uint32_t kCapacity = 64;

    // Producer. False when full: the edit is dropped, the parameter still
    // has its new value (the host reads it back with the next rescan).
    bool push(const EditEvent& edit) {
        const uint32_t write = write_.load(std::memory_order_relaxed);
        if (write - read_.load(std::memory_order_acquire) == kCapacity) return false;
        slots_[write % kCapacity] = edit;
        write_.store(write + 1, std::memory_order_release);
        return true;
    }

    // Consumer: the oldest edit, without taking it; false when none waits.
    bool peek(EditEvent& edit) const {
        const uint32_t read = read_.load(std::memory_order_relaxed);
        if (read == write_.load(std::memory_order_acquire)) return false;
        edit = slots_[read % kCapacity];
        return true;
    }
    // Consumer: takes the edit peek answered.
    void pop() { read_.store(read_.load(std::memory_order_relaxed) + 1, std::memory_order_release); }

private:
    EditEvent slots_[kCapacity];
    std::atomic<uint32_t> write_{0};
    std::atomic<uint32_t> read_{0};
};
