// run allocates nothing: every allocation of the process goes through the
// counting allocator (the plug-in's operator new included, since the library
// resolves malloc from the executable first), and is counted while a run
// call is in progress.
#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#include "AllocationCounter.h"
#include "PluginHost.h"

TEST(LadspaRealTime, RunAllocatesNothing) {
    {
        // The counter sees allocations made through operator new.
        AllocationCounter counter;
        delete new std::vector<float>(3);
        ASSERT_GE(counter.allocations(), 1u);
    }

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
            AllocationCounter counter;
            plugin.run(n);
            EXPECT_EQ(counter.allocations(), 0u) << "plug-in " << index << ", block " << n;
        }
    }
}
