// The reference counting and interface queries every VST 3 object of ours
// shares: ComObject<Derived, Interfaces...> implements FUnknown for a class
// that derives from the listed interfaces. A query for any interface that
// one of them is or extends is answered with that interface's pointer (the
// first listed wins for shared bases such as FUnknown itself); every other
// query is refused.
//
// An object starts with one reference, its creator's; the last release
// deletes it. The count is atomic: hosts may add and drop references on any
// thread. Derived classes are final, so deleting the derived type is whole.
#pragma once

#include <atomic>
#include <type_traits>

#include "interface/Base.h"

namespace orvanta_vst3 {

template <class Interface>
bool derivesFrom(const char* interfaceId) {
    if (vst3::sameUid(interfaceId, Interface::iid)) return true;
    if constexpr (std::is_void_v<typename Interface::Base>) {
        return false;
    } else {
        return derivesFrom<typename Interface::Base>(interfaceId);
    }
}

template <class Derived, class... Interfaces>
class ComObject : public Interfaces... {
public:
    // Any thread. A null place or identifier is refused.
    vst3::tresult ORVANTA_VST3_API queryInterface(const vst3::TUID interfaceId, void** object) override {
        if (object == nullptr) return vst3::kInvalidArgument;
        *object = nullptr;
        if (interfaceId == nullptr) return vst3::kInvalidArgument;
        void* found = nullptr;
        (void)((derivesFrom<Interfaces>(interfaceId) ? (found = static_cast<Interfaces*>(this), true) : false) ||
               ...);
        if (found == nullptr) return vst3::kNoInterface;
        addRef();
        *object = found;
        return vst3::kResultOk;
    }
    // Any thread.
    vst3::uint32 ORVANTA_VST3_API addRef() override {
        return references.fetch_add(1, std::memory_order_relaxed) + 1;
    }
    // Any thread; the last reference deletes the object on the calling thread.
    vst3::uint32 ORVANTA_VST3_API release() override {
        const vst3::uint32 left = references.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0) delete static_cast<Derived*>(this);
        return left;
    }

protected:
    ComObject() = default;
    ~ComObject() = default;
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

private:
    std::atomic<vst3::uint32> references{1};
};

// Holds one reference to a host object and drops it when replaced or gone.
template <class Interface>
class HostRef {
public:
    HostRef() = default;
    ~HostRef() { reset(); }
    HostRef(const HostRef&) = delete;
    HostRef& operator=(const HostRef&) = delete;

    // Takes a reference of its own to `object` (which may be null).
    void hold(Interface* object) {
        if (object != nullptr) object->addRef();
        reset();
        pointer = object;
    }
    // The interface `Interface` of `object`, when it has one.
    void query(vst3::FUnknown* object) {
        reset();
        void* found = nullptr;
        if (object != nullptr && object->queryInterface(Interface::iid.bytes, &found) == vst3::kResultOk)
            pointer = static_cast<Interface*>(found);
    }
    void reset() {
        if (pointer != nullptr) pointer->release();
        pointer = nullptr;
    }
    Interface* get() const { return pointer; }
    Interface* operator->() const { return pointer; }
    explicit operator bool() const { return pointer != nullptr; }

private:
    Interface* pointer = nullptr;
};

}  // namespace orvanta_vst3
