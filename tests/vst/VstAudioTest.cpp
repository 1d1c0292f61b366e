// The effects' audio against a plug-in core driven with the same host
// values: the same bits whatever the block sizes or buffers and across a
// resume (the core's own tests hold it to the engines), and neither
// processing nor parameter changes (told to the editor on the automating
// thread) allocate.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "AllocationCounter.h"
#include "PluginCore.h"
#include "VstHost.h"
#include "VstTestLayouts.h"

using namespace vsthost;
using vsttest::EffectCase;

namespace {

constexpr float kSampleRateHz = 44100.0f;

struct ParameterChange {
    int index;
    float normalised;
};

// One block of a scenario: the changes the host makes before it, then the
// block's length.
struct Block {
    std::vector<ParameterChange> changes;
    int frames;
    bool hostile = false;  // NaN, infinities and huge samples in the input
};

void fillInput(Buffers& in, int channels, int64_t start, int frames, bool hostile) {
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < frames; ++i) in.channel[c][i] = programmeSample(c, start + i, kSampleRateHz);
    if (hostile && frames > 8) {
        const float nasty[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                               -std::numeric_limits<float>::infinity(), 1e30f, -3e38f};
        for (int c = 0; c < channels; ++c)
            for (int k = 0; k < 5; ++k) in.channel[c][(c + 3 * k) % frames] = nasty[k];
    }
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b, int frames) {
    return std::memcmp(a.data(), b.data(), sizeof(float) * frames) == 0;
}

class EffectAudioTest : public ::testing::TestWithParam<EffectCase> {
protected:
    void SetUp() override {
        answers() = HostAnswers{};
        library = std::make_unique<Library>(vsttest::pluginPath(GetParam()));
        ASSERT_TRUE(library->ok()) << library->error();
        effect = library->instantiate();
        ASSERT_NE(effect, nullptr);
        dispatch(effect, effMainsChanged, 0, 1);
        reference = PluginCore::create(GetParam().surround ? Layout::Surround51 : Layout::Stereo, kSampleRateHz);
        reference->reset();
    }
    void TearDown() override {
        if (effect) closeEffect(effect);
    }
    int channels() const { return GetParam().channels; }

    // Runs the scenario through the effect and the reference and compares
    // every output sample's bits. In place: the effect's outputs are its
    // inputs.
    void expectSameBits(const std::vector<Block>& blocks, bool inPlace) {
        int64_t position = 0;
        for (size_t b = 0; b < blocks.size(); ++b) {
            const Block& block = blocks[b];
            SCOPED_TRACE(testing::Message() << "block " << b << " of " << block.frames);
            for (const ParameterChange& change : block.changes) {
                effect->setParameter(effect, change.index, change.normalised);
                reference->setNormalised(static_cast<ParamId>(change.index), change.normalised);
            }
            const int frames = block.frames > 0 ? block.frames : 0;
            Buffers in(channels(), frames), out(channels(), frames), refOut(channels(), frames);
            fillInput(in, channels(), position, frames, block.hostile);
            reference->process(in.data(), refOut.data(), uint64_t(frames));  // before the effect may overwrite `in`
            effect->processReplacing(effect, in.data(), inPlace ? in.data() : out.data(), block.frames);
            for (int c = 0; c < channels(); ++c)
                ASSERT_TRUE(sameBits((inPlace ? in : out).channel[c], refOut.channel[c], frames)) << "channel " << c;
            position += frames;
        }
    }

    std::unique_ptr<Library> library;
    AEffect* effect = nullptr;
    std::unique_ptr<PluginCore> reference;
};

// Blocks of every awkward size, with changes of every parameter before
// some of them (beyond 0..1 and NaN among them), hostile samples in one, and
// one 100000-sample block.
std::vector<Block> automationScenario(int params) {
    std::vector<Block> blocks = {
        {{}, 0},
        {{}, 1},
        {{{0, 0.8f}, {7, 0.6f}}, 37},
        {{}, 4096},
        {{{1, 0.0f}, {2, 0.5f}, {3, 0.1f}}, 513},
        {{{5, 0.3f}, {6, 0.7f}, {4, 0.2f}, {7, 0.9f}}, 8192, true},
        {{{0, 0.3f}, {0, 0.31f}, {1, 0.7f}}, 100000},
        {{{7, 0.3f}, {5, 1.5f}, {6, -0.5f}, {2, std::numeric_limits<float>::quiet_NaN()}}, 3000},
        {{}, -5},
    };
    if (params == 9) blocks[4].changes.push_back({8, 0.6f});
    return blocks;
}

// Then resume: the signal state starts afresh, the parameters stay.
TEST_P(EffectAudioTest, AutomatedProgrammeMatchesTheCoreInPlaceOrNotAcrossResume) {
    expectSameBits(automationScenario(GetParam().params), false);
    dispatch(effect, effMainsChanged, 0, 0);
    dispatch(effect, effMainsChanged, 0, 1);
    reference->reset();
    expectSameBits(automationScenario(GetParam().params), true);
}

TEST_P(EffectAudioTest, ProcessingAndParameterChangesAllocateNothing) {
    // The host never announced a block size.
    Buffers in(channels(), 100000), out(channels(), 100000);
    fillInput(in, channels(), 0, 100000, true);
    for (int frames : {0, 1, 100000, 7}) {
        AllocationCounter counter;
        effect->processReplacing(effect, in.data(), out.data(), frames);
        EXPECT_EQ(counter.allocations(), 0u) << frames << " frames";
    }
    {
        // The counter does see the library's allocations: a rate change
        // resizes the engines' arrays.
        AllocationCounter counter;
        dispatch(effect, effSetSampleRate, 0, 0, nullptr, 96000.0f);
        EXPECT_GT(counter.allocations(), 0u);
    }
    {
        AllocationCounter counter;
        for (int k = 0; k < 1000; ++k) effect->setParameter(effect, k % channels(), 0.001f * k);
        effect->processReplacing(effect, in.data(), out.data(), 256);  // includes the resync
        effect->processReplacing(effect, in.data(), in.data(), 256);
        EXPECT_EQ(counter.allocations(), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, EffectAudioTest, ::testing::Values(vsttest::kStereo, vsttest::kSurround),
                         [](const auto& info) { return vsttest::caseName(info.param); });

}  // namespace
