// run allocates nothing: every allocation of the process goes through the
// counting allocator (the plug-in's operator new included, since the binary
// resolves malloc from the executable first), and is counted while a run
// call is in progress. Every control changes before every run, hostile
// values among them, so every setter runs.
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "AllocationCounter.h"
#include "Lv2Host.h"

TEST(Lv2RealTime, RunAllocatesNothing) {
    {
        AllocationCounter counter;
        delete new std::vector<float>(3);
        ASSERT_GE(counter.allocations(), 1u);  // the counter sees the plug-in's kind of allocation
    }
    lv2host::World world;
    const char* uris[] = {"urn:veltrano:orvanta:mono", "urn:veltrano:orvanta:stereo", "urn:veltrano:orvanta:5dot1"};
    for (int index = 0; index < 3; ++index) {
        const LilvPlugin* plugin = world.plugin(uris[index]);
        ASSERT_NE(plugin, nullptr);
        lv2host::Instance p(world, plugin, 48000);
        ASSERT_TRUE(p.ok());
        const uint32_t controls = index == 2 ? 9 : 8;
        const int channels = index == 0 ? 1 : index == 1 ? 2 : 6;
        std::vector<std::vector<float>> buffers(2 * channels, std::vector<float>(100000, 0.25f));
        for (int a = 0; a < 2 * channels; ++a) p.connect(controls + 3 + static_cast<uint32_t>(a), buffers[a].data());
        p.activate();
        const float hostile[] = {std::numeric_limits<float>::quiet_NaN(), 1e30f, -1e30f,
                                 std::numeric_limits<float>::infinity()};
        const uint32_t blocks[] = {0, 1, 512, 100000, 4096, 7};
        float truePeak = -1.0f;
        int turn = 0;
        for (uint32_t n : blocks) {
            for (uint32_t port = 0; port < controls; ++port)
                p.control(port) = p.control(port) == 0.0f ? 0.5f : p.control(port) * 0.97f;
            p.control(1) = truePeak;
            truePeak = truePeak < -4.0f ? -1.0f : truePeak - 0.7f;
            p.control(static_cast<uint32_t>(turn) % controls) = hostile[turn % 4];
            ++turn;
            AllocationCounter counter;
            p.run(n);
            EXPECT_EQ(counter.allocations(), 0u) << uris[index] << ", block " << n;
        }
        p.deactivate();
    }
}
