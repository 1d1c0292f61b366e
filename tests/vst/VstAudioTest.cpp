// The effects' audio against the engines driven directly: the same
// parameter values give the same bits, whatever the block sizes, buffers
// or the number of changes queued between two blocks; and processing
// allocates nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "LevelerCore.h"
#include "ParamTable.h"
#include "Surround51.h"
#include "VstHost.h"
#include "VstTestLayouts.h"
#include "AllocationCounter.h"

using namespace vsthost;
using vsttest::EffectCase;

namespace {

constexpr float kSampleRateHz = 44100.0f;

// The engines of one effect, driven directly with the calls the effect
// must make.
class ReferenceEngines {
public:
    explicit ReferenceEngines(bool surround) : surround(surround) {
        if (surround) {
            unit = std::make_unique<Surround51>();
            applyInitialParameters(unit->main, Layout::Surround51);
            unit->lfe.setTruePeak(0.0f);
            unit->setSampleRate(kSampleRateHz);
        } else {
            engine = std::make_unique<LevelerCore>();
            applyInitialParameters(*engine, Layout::Stereo);
            engine->setSampleRate(kSampleRateHz);
        }
    }
    LevelerCore& main() { return surround ? unit->main : *engine; }
    LevelerCore* lfe() { return surround ? &unit->lfe : nullptr; }
    // The host's normalised value, clamped into 0..1, through the table.
    void set(int index, float normalised) {
        if (std::isnan(normalised)) return;  // the effect ignores a NaN
        const float v = std::fmin(std::fmax(normalised, 0.0f), 1.0f);
        const ParamId id = static_cast<ParamId>(index);
        const float plain = id == ParamId::CorrMixMode ? static_cast<float>(normalisedToMode(v))
                                                       : toEngineValue(id, v);
        applyEngineValue(main(), lfe(), id, plain);
    }
    void reset() { surround ? unit->reset() : engine->reset(); }
    void process(float** in, float** out, int32_t n) {
        if (surround)
            unit->process(in, out, n);
        else
            engine->processStereo(in[0], in[1], out[0], out[1], n);
    }

    const bool surround;
    std::unique_ptr<LevelerCore> engine;
    std::unique_ptr<Surround51> unit;
};

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
        for (int i = 0; i < frames; ++i)
            in.channel[c][i] = programmeSample(c, start + i, kSampleRateHz);
    if (hostile && frames > 8) {
        const float nasty[] = {std::numeric_limits<float>::quiet_NaN(),
                               std::numeric_limits<float>::infinity(),
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
    }
    void TearDown() override {
        if (effect) closeEffect(effect);
    }
    int channels() const { return GetParam().channels; }

    // Runs the scenario through the effect and through the reference and
    // compares every output sample's bits. In place: the effect's output
    // buffers are its input buffers.
    void expectSameBits(const std::vector<Block>& blocks, bool inPlace) {
        ReferenceEngines reference(GetParam().surround);
        int64_t position = 0;
        for (size_t b = 0; b < blocks.size(); ++b) {
            const Block& block = blocks[b];
            SCOPED_TRACE(testing::Message() << "block " << b << " of " << block.frames);
            for (const ParameterChange& change : block.changes) {
                effect->setParameter(effect, change.index, change.normalised);
                reference.set(change.index, change.normalised);
            }
            Buffers in(channels(), block.frames), out(channels(), block.frames);
            Buffers refIn(channels(), block.frames), refOut(channels(), block.frames);
            fillInput(in, channels(), position, block.frames, block.hostile);
            fillInput(refIn, channels(), position, block.frames, block.hostile);
            effect->processReplacing(effect, in.data(), inPlace ? in.data() : out.data(),
                                     block.frames);
            reference.process(refIn.data(), refOut.data(), block.frames);
            const Buffers& result = inPlace ? in : out;
            for (int c = 0; c < channels(); ++c)
                ASSERT_TRUE(sameBits(result.channel[c], refOut.channel[c], block.frames))
                    << "channel " << c;
            position += block.frames > 0 ? block.frames : 0;
            // Hostile samples of earlier blocks have left no trace.
            if (b + 1 == blocks.size()) {
                for (int c = 0; c < channels(); ++c)
                    for (int i = 0; i < block.frames; ++i)
                        ASSERT_TRUE(std::isfinite(result.channel[c][i])) << c << " " << i;
            }
        }
    }

    std::unique_ptr<Library> library;
    AEffect* effect = nullptr;
};

// Blocks of every awkward size, with changes of every parameter before
// some of them, hostile samples in one, and one 100000-sample block.
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
    };
    if (params == 9) blocks[4].changes.push_back({8, 0.6f});
    return blocks;
}

TEST_P(EffectAudioTest, AutomatedProgrammeMatchesTheEnginesBitForBit) {
    expectSameBits(automationScenario(GetParam().params), false);
}

TEST_P(EffectAudioTest, InPlaceBuffersGiveTheSameBits) {
    expectSameBits(automationScenario(GetParam().params), true);
}

TEST_P(EffectAudioTest, AChangeBeforeABlockIsHeardInThatBlock) {
    // A running effect, then one change: the next block must already carry
    // it, exactly as an immediate call to the engine would.
    expectSameBits({{{}, 20000}, {{{0, 1.0f}}, 1}, {{{2, 1.0f}}, 4000}, {{{1, 0.2f}}, 4000}}, false);
}

TEST_P(EffectAudioTest, MoreChangesThanTheQueueHoldsStillEndAtTheLatestValues) {
    // 300 changes between two blocks overflow the hand-over queue; the
    // effect then re-applies every value, which must land the engines where
    // 300 immediate calls would.
    std::vector<ParameterChange> flood;
    for (int k = 0; k < 300; ++k) flood.push_back({k % 7, 0.002f * k});
    flood.push_back({7, 0.5f});
    expectSameBits({{{}, 10000}, {flood, 10000}, {{{0, 0.4f}}, 5000}}, false);
}

TEST_P(EffectAudioTest, ResumeResetsTheSignalStateAndKeepsTheParameters) {
    ReferenceEngines reference(GetParam().surround);
    effect->setParameter(effect, 0, 0.9f);
    reference.set(0, 0.9f);
    Buffers in(channels(), 6000), out(channels(), 6000), refOut(channels(), 6000);
    for (int round = 0; round < 2; ++round) {
        fillInput(in, channels(), 0, 6000, false);
        effect->processReplacing(effect, in.data(), out.data(), 6000);
        reference.process(in.data(), refOut.data(), 6000);
        for (int c = 0; c < channels(); ++c)
            ASSERT_TRUE(sameBits(out.channel[c], refOut.channel[c], 6000)) << round << " " << c;
        dispatch(effect, effMainsChanged, 0, 0);
        dispatch(effect, effMainsChanged, 0, 1);
        reference.reset();
    }
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

TEST(SurroundEffectTest, TruePeakReachesBothEnginesAndLfeGainOnlyTheMain) {
    answers() = HostAnswers{};
    Library library(vsttest::pluginPath(vsttest::kSurround));
    ASSERT_TRUE(library.ok()) << library.error();
    AEffect* effect = library.instantiate();
    ASSERT_NE(effect, nullptr);

    // Both references get -5 dBTP on the main engine; only the first also
    // on the LFE engine. A loud LFE alone tells them apart.
    Surround51 both, mainOnly;
    for (Surround51* unit : {&both, &mainOnly}) {
        applyInitialParameters(unit->main, Layout::Surround51);
        unit->lfe.setTruePeak(0.0f);
        unit->setSampleRate(kSampleRateHz);
        unit->main.setTruePeak(-5.0f);
        unit->main.setLfeGain(10.0f);
    }
    both.lfe.setTruePeak(-5.0f);
    effect->setParameter(effect, 1, 0.0f);  // -5.0 dBTP
    effect->setParameter(effect, 8, 0.5f);  // +10.0 dB

    const int frames = 8000;
    Buffers in(6, frames), out(6, frames), bothOut(6, frames), mainOnlyOut(6, frames);
    for (int i = 0; i < frames; ++i) in.channel[Surround51::Lfe][i] = (i / 50) % 2 ? 0.3f : -0.3f;
    effect->processReplacing(effect, in.data(), out.data(), frames);
    both.process(in.data(), bothOut.data(), frames);
    mainOnly.process(in.data(), mainOnlyOut.data(), frames);
    for (int c = 0; c < 6; ++c) EXPECT_TRUE(sameBits(out.channel[c], bothOut.channel[c], frames)) << c;
    EXPECT_FALSE(sameBits(out.channel[Surround51::Lfe], mainOnlyOut.channel[Surround51::Lfe], frames));
    closeEffect(effect);
}

INSTANTIATE_TEST_SUITE_P(Layouts, EffectAudioTest,
                         ::testing::Values(vsttest::kStereo, vsttest::kSurround),
                         [](const auto& info) { return vsttest::caseName(info.param); });

}  // namespace
