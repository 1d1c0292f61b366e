#include "AllocationCounter.h"

#include <cstdlib>
#include <new>

// A sanitizer owns malloc and operator new: replacing them would hand its
// interceptors memory it never allocated (AddressSanitizer aborts before
// main). Under a sanitizer the counter listens to its allocation hooks
// instead, which see every allocation of the process, plug-ins included.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ORVANTA_COUNT_THROUGH_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ORVANTA_COUNT_THROUGH_SANITIZER 1
#endif
#endif

#ifdef ORVANTA_COUNT_THROUGH_SANITIZER
#include <cstdio>

// The sanitizer run-time's hook interface (GCC ships no header for it).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, size_t),
                                                        void (*onFree)(const volatile void*));

namespace {
thread_local size_t allocationCount = 0;
thread_local int countingDepth = 0;

void onAllocation(const volatile void*, size_t) {
    if (countingDepth > 0) ++allocationCount;
}
void onRelease(const volatile void*) {}

// Before main; a counter that silently counted nothing would let every
// "allocates nothing" test pass.
[[maybe_unused]] const bool hooksInstalled = [] {
    if (__sanitizer_install_malloc_and_free_hooks(onAllocation, onRelease) == 0) {
        std::fputs("AllocationCounter: the sanitizer refused the allocation hooks\n", stderr);
        std::abort();
    }
    return true;
}();
}  // namespace

AllocationCounter::AllocationCounter() : startCount(allocationCount) { ++countingDepth; }
AllocationCounter::~AllocationCounter() { --countingDepth; }
size_t AllocationCounter::allocations() const { return allocationCount - startCount; }

#else  // the replacements below count

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
}

namespace {
// Plain thread-local data with constant initialisation: safe to touch from
// inside malloc at any time.
thread_local size_t allocationCount = 0;
thread_local int countingDepth = 0;

void noteAllocation() {
    if (countingDepth > 0) ++allocationCount;
}

void* allocateOrThrow(size_t size) {
    noteAllocation();
    if (void* block = __libc_malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}

void* allocateAlignedOrThrow(size_t size, std::align_val_t alignment) {
    noteAllocation();
    if (void* block = __libc_memalign(static_cast<size_t>(alignment), size ? size : 1)) return block;
    throw std::bad_alloc();
}
}  // namespace

AllocationCounter::AllocationCounter() : startCount(allocationCount) { ++countingDepth; }
AllocationCounter::~AllocationCounter() { --countingDepth; }
size_t AllocationCounter::allocations() const { return allocationCount - startCount; }

extern "C" {
void* malloc(size_t size) {
    noteAllocation();
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    noteAllocation();
    return __libc_calloc(count, size);
}
void* realloc(void* block, size_t size) {
    noteAllocation();
    return __libc_realloc(block, size);
}
void* memalign(size_t alignment, size_t size) {
    noteAllocation();
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
    noteAllocation();
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, size_t alignment, size_t size) {
    noteAllocation();
    *out = __libc_memalign(alignment, size);
    return *out != nullptr ? 0 : 12;  // ENOMEM
}
}

void* operator new(size_t size) { return allocateOrThrow(size); }
void* operator new[](size_t size) { return allocateOrThrow(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    noteAllocation();
    return __libc_malloc(size ? size : 1);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    noteAllocation();
    return __libc_malloc(size ? size : 1);
}
void* operator new(size_t size, std::align_val_t alignment) {
    return allocateAlignedOrThrow(size, alignment);
}
void* operator new[](size_t size, std::align_val_t alignment) {
    return allocateAlignedOrThrow(size, alignment);
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }
void operator delete[](void* block, size_t) noexcept { std::free(block); }
void operator delete(void* block, std::align_val_t) noexcept { std::free(block); }
void operator delete[](void* block, std::align_val_t) noexcept { std::free(block); }
void operator delete(void* block, size_t, std::align_val_t) noexcept { std::free(block); }
void operator delete[](void* block, size_t, std::align_val_t) noexcept { std::free(block); }

#endif
