// The saved state: a fresh core restored from it has the same parameters and
// gives the same audio; a restore is whole or nothing, and no input, however
// broken or long, crashes it or changes a value halfway.
#include <gtest/gtest.h>

#include <string>

#include "CoreRig.h"

using namespace coretest;

namespace {

std::string saved(const PluginCore& core) {
    char text[PluginCore::kMaxStateBytes];
    const size_t length = core.saveState(text, sizeof text);
    return std::string(text, length);
}

bool restore(PluginCore& core, const std::string& text) { return core.restoreState(text.data(), text.size()); }

}  // namespace

TEST(CoreState, RoundTripGivesTheSameParametersAndAudio) {
    std::unique_ptr<PluginCore> original = PluginCore::create(Layout::Surround51, 48000.0f);
    original->setPlain(ParamId::TargetLevel, -20.05f);  // off the host's 0.1 grid
    original->setNormalised(ParamId::TruePeak, 0.25f);
    original->setPlain(ParamId::CorrMixMode, 2.0f);
    original->setPlain(ParamId::LfeGain, 7.5f);
    original->setPlain(ParamId::InputLevel, 5.0f);  // clamped to -0
    const std::string text = saved(*original);
    EXPECT_EQ(text.rfind("orvanta-state 1\ntarget_level=-20.05\n", 0), 0u) << text;
    EXPECT_NE(text.find("\ncorr_mix_mode=2\n"), std::string::npos);
    EXPECT_NE(text.find("\ninput_level=-0\n"), std::string::npos);

    std::unique_ptr<PluginCore> restored = PluginCore::create(Layout::Surround51, 48000.0f);
    ASSERT_TRUE(restore(*restored, text));
    for (int i = 0; i < kParamCount; ++i) {
        const auto id = static_cast<ParamId>(i);
        EXPECT_EQ(restored->plain(id), original->plain(id)) << i;
        // A host reading the normalised values gets the same values back
        // (but for the one value off its grid).
        if (id != ParamId::TargetLevel) {
            EXPECT_EQ(toEngineValue(id, restored->normalised(id)), restored->plain(id)) << i;
        }
    }
    EXPECT_EQ(saved(*restored), text);

    // The restored values reach the engines together, before the next block.
    const int64_t frames = 48000;
    Buffers in(6, frames), a(6, frames), b(6, frames);
    in.fill(0, frames, 48000);
    original->process(in.data(), a.data(), frames);
    restored->process(in.data(), b.data(), frames);
    EXPECT_TRUE(a.sameAs(b, frames));

    // Too small a buffer: nothing written.
    char small[16] = "untouched";
    EXPECT_EQ(restored->saveState(small, sizeof small), 0u);
    EXPECT_STREQ(small, "untouched");
    EXPECT_EQ(restored->saveState(nullptr, 1000), 0u);
}

TEST(CoreState, RestoreIsWholeOrNothing) {
    const std::string header = "orvanta-state 1\n";
    struct Row {
        std::string text;
        bool accepted;
        float targetLevel;  // afterwards; the core held -14 before
        float maxGain;      // held 12 before
    };
    const Row rows[] = {
        {header + "target_level=-16\nmax_gain=6\n", true, -16.0f, 6.0f},
        // Parameters the state does not name go to their defaults; unknown
        // symbols (a later version's) and another layout's are skipped.
        {header + "target_level=-16\n", true, -16.0f, 0.0f},
        {header, true, -20.0f, 0.0f},
        {header + "future_knob=3\nlfe_gain=9\n\ntarget_level=-16\n", true, -16.0f, 0.0f},
        // Clamped as a control port is; other line ends and text forms.
        {header + "target_level=1e10\nmax_gain=-99\n", true, -10.0f, -10.0f},
        {"orvanta-state 1\r\ntarget_level=-16.5\r\nmax_gain= 3 dB \r\n", true, -16.5f, 3.0f},
        {header + "target_level=-16,5\n", true, -16.5f, 0.0f},
        // Refused, nothing changed.
        {"", false, -14.0f, 12.0f},
        {"orvanta-state 2\ntarget_level=-16\n", false, -14.0f, 12.0f},
        {"orvanta-state 1 \ntarget_level=-16\n", false, -14.0f, 12.0f},
        {"target_level=-16\n", false, -14.0f, 12.0f},
        {header + "target_level=-16\nmax_gain\n", false, -14.0f, 12.0f},
        {header + "target_level=loud\n", false, -14.0f, 12.0f},
        {header + "target_level=nan\n", false, -14.0f, 12.0f},
        {header + "target_level=-inf\n", false, -14.0f, 12.0f},
        {header + "target_level=\n", false, -14.0f, 12.0f},
        {header + "target_level=-16 LUFS dB\n", false, -14.0f, 12.0f},
        {header + "target_level=-16\ntarget_level=-18\n", false, -14.0f, 12.0f},
        {header + "target_level=" + std::string(100, '1') + "\n", false, -14.0f, 12.0f},
        {header + std::string("target_level=-16\0 junk\n", 23), false, -14.0f, 12.0f},
        {header + "target_level=-16\n" + std::string(PluginCore::kMaxStateBytes, '\n'), false, -14.0f, 12.0f},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text.substr(0, 80));
        std::unique_ptr<PluginCore> core = PluginCore::create(Layout::Stereo, 48000.0f);
        core->setPlain(ParamId::TargetLevel, -14.0f);
        core->setPlain(ParamId::MaxGain, 12.0f);
        EXPECT_EQ(restore(*core, row.text), row.accepted);
        EXPECT_EQ(core->plain(ParamId::TargetLevel), row.targetLevel);
        EXPECT_EQ(core->plain(ParamId::MaxGain), row.maxGain);
    }
    std::unique_ptr<PluginCore> core = PluginCore::create(Layout::Mono, 48000.0f);
    EXPECT_FALSE(core->restoreState(nullptr, 10));
    // Every byte value at every place of a valid state: never a crash.
    std::string text = header + "target_level=-16\ncorr_mix_mode=1\n";
    for (size_t i = 0; i < text.size(); ++i) {
        for (int byte = 0; byte < 256; byte += 7) {
            std::string broken = text;
            broken[i] = static_cast<char>(byte);
            restore(*core, broken);
            restore(*core, broken.substr(0, i));
        }
    }
}
