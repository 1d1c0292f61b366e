// run allocates nothing: every allocation of the process goes through the
// malloc family defined here (the plug-in's operator new included, since the
// library resolves malloc from the executable first), and is counted while
// a run call is in progress.
#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#include "PluginHost.h"

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);
}

namespace {
bool counting = false;
size_t allocations = 0;
void count() {
    if (counting) ++allocations;
}
}  // namespace

extern "C" {
void* malloc(size_t size) {
    count();
    return __libc_malloc(size);
}
void* calloc(size_t n, size_t size) {
    count();
    return __libc_calloc(n, size);
}
void* realloc(void* p, size_t size) {
    count();
    return __libc_realloc(p, size);
}
void* memalign(size_t alignment, size_t size) {
    count();
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
    count();
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, size_t alignment, size_t size) {
    count();
    *out = __libc_memalign(alignment, size);
    return *out != nullptr ? 0 : 12;
}
void free(void* p) { __libc_free(p); }
}

TEST(LadspaRealTime, RunAllocatesNothing) {
    // The counter sees allocations made through operator new.
    counting = true;
    delete new std::vector<float>(3);
    counting = false;
    ASSERT_GE(allocations, 1u);
    allocations = 0;

    testhost::Library library(ORVANTA_LADSPA_LIBRARY);
    ASSERT_TRUE(library.loaded());
    for (unsigned long index = 0; index < 3; ++index) {
        const LADSPA_Descriptor* d = library.descriptor(index);
        testhost::Instance plugin(d, 48000);
        ASSERT_TRUE(plugin.ok());
        const int audioPorts = static_cast<int>(d->PortCount) - (index == 2 ? 10 : 9);
        std::vector<std::vector<float>> buffers(audioPorts, std::vector<float>(100000, 0.25f));
        for (int a = 0; a < audioPorts; ++a)
            plugin.connect(static_cast<unsigned long>(d->PortCount - audioPorts + a), buffers[a].data());
        plugin.activate();
        const unsigned long blocks[] = {0, 1, 512, 100000, 4096};
        float truePeak = -1.0f;
        for (unsigned long n : blocks) {
            // A change of every control before each run: every setter runs.
            for (unsigned long port = 0; port < (index == 2 ? 9ul : 8ul); ++port)
                plugin.control(port) = plugin.control(port) == 0.0f ? 0.5f : plugin.control(port) * 0.97f;
            plugin.control(1) = truePeak;
            truePeak = truePeak < -4.0f ? -1.0f : truePeak - 0.7f;
            counting = true;
            plugin.run(n);
            counting = false;
            EXPECT_EQ(allocations, 0u) << "plug-in " << index << ", block " << n;
            allocations = 0;
        }
    }
}
