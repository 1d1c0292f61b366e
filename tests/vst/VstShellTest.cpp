// The effect libraries seen by a host: the record, the opcode table, the
// parameters, the program, the speaker arrangements and the sample rate,
// and a walk over every opcode with hostile arguments.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>

#include "ExpectedParameters.h"
#include "VstHost.h"
#include "VstTestLayouts.h"

using namespace vsthost;
using vsttest::EffectCase;

namespace {

class EffectTest : public ::testing::TestWithParam<EffectCase> {
protected:
    void SetUp() override {
        answers() = HostAnswers{};
        recordedCalls().clear();
        library = std::make_unique<Library>(vsttest::pluginPath(GetParam()));
        ASSERT_TRUE(library->ok()) << library->error();
        effect = library->instantiate();
        ASSERT_NE(effect, nullptr);
    }
    void TearDown() override {
        if (effect) closeEffect(effect);
    }
    const EffectCase& layout() const { return GetParam(); }
    std::string display(int index) { return text(effect, effGetParamDisplay, index); }

    std::unique_ptr<Library> library;
    AEffect* effect = nullptr;
};

TEST_P(EffectTest, RecordDescribesTheEffect) {
    EXPECT_EQ(effect->magic, vstFourCharCode('V', 's', 't', 'P'));
    EXPECT_EQ(effect->numPrograms, 1);
    EXPECT_EQ(effect->numParams, layout().params);
    EXPECT_EQ(effect->numInputs, layout().channels);
    EXPECT_EQ(effect->numOutputs, layout().channels);
    // Replacing processing only, no double precision, no chunks, not a
    // synth; an editor when one is linked.
    EXPECT_EQ(effect->flags, vsttest::kExpectedFlags);
    EXPECT_EQ(effect->uniqueID, layout().uniqueId);
    EXPECT_EQ(effect->version, 1);
    EXPECT_EQ(effect->ioRatio, 1.0f);
    EXPECT_EQ(effect->resvd1, 0);
    EXPECT_EQ(effect->resvd2, 0);
    EXPECT_EQ(effect->realQualities, 0);
    EXPECT_EQ(effect->offQualities, 0);
    EXPECT_EQ(effect->user, nullptr);
    EXPECT_NE(effect->object, nullptr);
    EXPECT_NE(effect->processReplacing, nullptr);
    EXPECT_NE(effect->processDoubleReplacing, nullptr);
    EXPECT_NE(effect->process, nullptr);
    for (char c : effect->future) EXPECT_EQ(c, 0);
    // The host gave no rate: 44100 Hz, 1499 + 55 + 6 samples.
    EXPECT_EQ(effect->initialDelay, 1560);
}

TEST_P(EffectTest, EntryAsksTheHostForItsVersionThenItsRate) {
    const auto& calls = recordedCalls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_FALSE(calls[0].withEffect);
    EXPECT_EQ(calls[0].opcode, audioMasterVersion);
    EXPECT_EQ(calls[0].index, 0);
    EXPECT_EQ(calls[0].value, 0);
    // One rate query per engine, each with the effect's record.
    const size_t rateQueries = layout().surround ? 2 : 1;
    ASSERT_EQ(calls.size(), 1 + rateQueries);
    for (size_t i = 1; i < calls.size(); ++i) {
        EXPECT_TRUE(calls[i].withEffect);
        EXPECT_EQ(calls[i].opcode, audioMasterGetSampleRate);
    }
}

TEST_P(EffectTest, EntryRefusesAHostWithoutVersionAndServesTheMainAlias) {
    answers().version = 0;
    EXPECT_EQ(library->instantiate(), nullptr);
    answers().version = 2400;
    answers().sampleRate = 48000;
    AEffect* viaMain = library->instantiate(true);
    ASSERT_NE(viaMain, nullptr);
    EXPECT_EQ(viaMain->uniqueID, layout().uniqueId);
    EXPECT_EQ(viaMain->initialDelay, 1698);  // the host's 48000 Hz
    EXPECT_EQ(dispatch(viaMain, effClose), 1);
}

TEST_P(EffectTest, IdentityOpcodes) {
    EXPECT_EQ(dispatch(effect, effIdentify), vstFourCharCode('N', 'v', 'E', 'f'));
    EXPECT_EQ(dispatch(effect, effGetVstVersion), 2400);
    EXPECT_EQ(dispatch(effect, effGetPlugCategory), kPlugCategEffect);
    EXPECT_EQ(dispatch(effect, effGetVendorVersion), 1150);
    EXPECT_EQ(text(effect, effGetEffectName), layout().effectName);
    EXPECT_EQ(text(effect, effGetVendorString), "Veltrano");
    EXPECT_EQ(text(effect, effGetProductString), layout().productName);
    char answer[64];
    EXPECT_EQ(dispatch(effect, effGetEffectName, 0, 0, answer), 1);
    EXPECT_EQ(dispatch(effect, effGetVendorString, 0, 0, answer), 1);
    EXPECT_EQ(dispatch(effect, effGetProductString, 0, 0, answer), 1);

    char capability[] = "receiveVstEvents";
    EXPECT_EQ(dispatch(effect, effCanDo, 0, 0, capability), 0);
    void* chunk = nullptr;
    EXPECT_EQ(dispatch(effect, effGetChunk, 0, 0, &chunk), 0);
    EXPECT_EQ(dispatch(effect, effGetCurrentMidiProgram), -1);
    EXPECT_EQ(dispatch(effect, effSetTotalSampleToProcess, 0, 4321), 4321);

    // Every parameter can be automated; nothing else can.
    for (int i = 0; i < layout().params; ++i) EXPECT_EQ(dispatch(effect, effCanBeAutomated, i), 1);
    EXPECT_EQ(dispatch(effect, effCanBeAutomated, layout().params), 0);
    EXPECT_EQ(dispatch(effect, effCanBeAutomated, -1), 0);

    ERect* rect = nullptr;
    if (vsttest::kHasEditor) {
        // The editor answers with its window's rectangle.
        EXPECT_EQ(dispatch(effect, effEditGetRect, 0, 0, &rect), 1);
        ASSERT_NE(rect, nullptr);
        EXPECT_GT(rect->right - rect->left, 0);
        EXPECT_GT(rect->bottom - rect->top, 0);
    } else {
        // No editor: its opcodes answer 0.
        EXPECT_EQ(dispatch(effect, effEditGetRect, 0, 0, &rect), 0);
        EXPECT_EQ(dispatch(effect, effEditOpen), 0);
        EXPECT_EQ(dispatch(effect, effEditKeyDown, 'a', 1, nullptr, 1.0f), 0);
        EXPECT_EQ(dispatch(effect, effSetEditKnobMode, 0, 2), 0);
    }
}

TEST_P(EffectTest, ParametersAfterConstruction) {
    for (int i = 0; i < layout().params; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(effect->getParameter(effect, i), kDefaultNormalised[i]);
        EXPECT_EQ(display(i), kDefaultDisplay[i]);
        EXPECT_EQ(text(effect, effGetParamName, i), kNames[i]);
        EXPECT_EQ(text(effect, effGetParamLabel, i), kLabels[i]);
    }
    // Beyond the table: 0, the empty display; names and labels leave the
    // host's buffer as it was.
    for (int index : {layout().params, -1, std::numeric_limits<int>::min()}) {
        SCOPED_TRACE(index);
        EXPECT_EQ(effect->getParameter(effect, index), 0.0f);
        EXPECT_EQ(text(effect, effGetParamDisplay, index, 'x'), "");
        EXPECT_EQ(text(effect, effGetParamName, index, 'x'), std::string(255, 'x'));
        EXPECT_EQ(text(effect, effGetParamLabel, index, 'x'), std::string(255, 'x'));
    }
}

// Every text answer is terminated, and every byte the effect writes after
// the terminator is a zero: a host that copies or compares its whole buffer
// reads nothing the effect left unset. `zeroedBytes` is how far the answer
// is filled (9 for a display, 25 for the program name, 0 for texts copied
// with their terminator only); the rest of the buffer stays the host's.
void expectCleanText(AEffect* effect, VstInt32 opcode, VstInt32 index, size_t zeroedBytes) {
    char buffer[256];
    std::memset(buffer, 'x', sizeof buffer);
    dispatch(effect, opcode, index, 0, buffer);
    const size_t length = strnlen(buffer, sizeof buffer);
    ASSERT_LT(length, sizeof buffer) << "not terminated";
    const size_t zeroedUpTo = std::max(zeroedBytes, length + 1);
    for (size_t i = length; i < zeroedUpTo; ++i) EXPECT_EQ(buffer[i], '\0') << "byte " << i;
    for (size_t i = zeroedUpTo; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], 'x') << "byte " << i;
}

TEST_P(EffectTest, TextAnswersLeaveNoStrayBytes) {
    for (float normalised : {0.0f, 0.37f, 1.0f}) {
        for (int i = 0; i < layout().params; ++i) {
            SCOPED_TRACE(i);
            effect->setParameter(effect, i, normalised);
            expectCleanText(effect, effGetParamDisplay, i, kVstMaxParamStrLen + 1);
            expectCleanText(effect, effGetParamName, i, 0);
            expectCleanText(effect, effGetParamLabel, i, 0);
        }
    }
    expectCleanText(effect, effGetProgramName, 0, kVstMaxProgNameLen + 1);
    char shortName[] = "ab";
    dispatch(effect, effSetProgramName, 0, 0, shortName);
    expectCleanText(effect, effGetProgramName, 0, kVstMaxProgNameLen + 1);
    expectCleanText(effect, effGetEffectName, 0, 0);
    expectCleanText(effect, effGetVendorString, 0, 0);
    expectCleanText(effect, effGetProductString, 0, 0);
}

// The host's value through the effect's own entries: what it reads back and
// the engine value the display shows (the core's tests hold the rules: the
// mode kept as mode / 3, 0..1 clamped, a NaN ignored); an index beyond the
// table changes nothing.
TEST_P(EffectTest, SetParameterReadsBackAndShowsTheEngineValue) {
    const struct {
        int index;
        float set, read;
        const char* shown;
    } rows[] = {{1, 0.25f, 0.25f, "-3.8"},  {7, 0.6f, static_cast<float>(2.0 / 3.0), "2 LLiHLg"},
                {0, 1.5f, 1.0f, "-10.0"},   {0, std::numeric_limits<float>::quiet_NaN(), 1.0f, "-10.0"},
                {7, -1e30f, 0.0f, "0 LLiHLi"}, {8, 0.5f, 0.5f, "10.0"}};
    for (const auto& row : rows) {
        if (row.index >= layout().params) continue;  // LFE Gain: 5.1 only
        effect->setParameter(effect, row.index, row.set);
        EXPECT_EQ(effect->getParameter(effect, row.index), row.read) << row.index << " <- " << row.set;
        EXPECT_EQ(display(row.index), row.shown) << row.index << " <- " << row.set;
    }
    effect->setParameter(effect, layout().params, 0.0f);
    effect->setParameter(effect, -1, 0.0f);
    EXPECT_EQ(effect->getParameter(effect, 2), 0.25f);
}

TEST_P(EffectTest, OneProgramWithATruncatedName) {
    EXPECT_EQ(text(effect, effGetProgramName), "Default");
    char longName[] = "abcdefghijklmnopqrstuvwxyz0123";  // 30 characters
    dispatch(effect, effSetProgramName, 0, 0, longName);
    // The answer ends with a zero in the 25th place, whatever the buffer held.
    EXPECT_EQ(text(effect, effGetProgramName, 0, 'x'), "abcdefghijklmnopqrstuvwx");

    EXPECT_EQ(dispatch(effect, effSetProgram, 0, 1), 0);
    EXPECT_EQ(dispatch(effect, effGetProgram), 0);
    EXPECT_EQ(dispatch(effect, effSetProgram, 0, -1), 0);
    EXPECT_EQ(dispatch(effect, effGetProgram), 0);
    EXPECT_EQ(dispatch(effect, effSetProgram, 0, 0), 0);
    EXPECT_EQ(dispatch(effect, effGetProgram), 0);
}

// An arrangement with room for eight speakers, as hosts declare them.
VstSpeakerArrangement arrangement(int channels, VstInt32 type) {
    VstSpeakerArrangement a;
    std::memset(&a, 0, sizeof a);
    a.type = type;
    a.numChannels = channels;
    for (int c = 0; c < 8; ++c) {
        std::memset(a.speakers[c].name, 'n', sizeof a.speakers[c].name);  // unterminated
        a.speakers[c].type = c + 1;
        a.speakers[c].azimuth = 0.25f * c;
    }
    return a;
}

TEST_P(EffectTest, SpeakerArrangements) {
    const int n = layout().channels;
    const VstInt32 type = layout().arrangementType;
    VstSpeakerArrangement* in = nullptr;
    VstSpeakerArrangement* out = nullptr;
    auto fetch = [&] {
        return dispatch(effect, effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out);
    };
    ASSERT_EQ(fetch(), 1);
    ASSERT_NE(in, nullptr);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(in->numChannels, n);
    EXPECT_EQ(in->type, type);
    EXPECT_EQ(out->numChannels, n);
    EXPECT_EQ(out->type, type);

    // The host's own arrangement of the right size is copied, names cut to
    // 63 characters.
    VstSpeakerArrangement hostIn = arrangement(n, kSpeakerArrUserDefined);
    VstSpeakerArrangement hostOut = arrangement(n, kSpeakerArrUserDefined);
    EXPECT_EQ(dispatch(effect, effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&hostIn),
                       &hostOut),
              1);
    ASSERT_EQ(fetch(), 1);
    EXPECT_EQ(in->type, kSpeakerArrUserDefined);
    EXPECT_EQ(in->speakers[n - 1].type, n);
    EXPECT_EQ(in->speakers[n - 1].azimuth, 0.25f * (n - 1));
    EXPECT_EQ(std::string(out->speakers[0].name), std::string(63, 'n'));

    // Another channel count: refused and replaced by the layout's own.
    const int other = n == 2 ? 6 : 2;
    VstSpeakerArrangement wrongIn = arrangement(other, kSpeakerArrStereo);
    VstSpeakerArrangement wrongOut = arrangement(other, kSpeakerArrStereo);
    EXPECT_EQ(dispatch(effect, effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&wrongIn),
                       &wrongOut),
              0);
    ASSERT_EQ(fetch(), 1);
    EXPECT_EQ(in->numChannels, n);
    EXPECT_EQ(in->type, type);
    EXPECT_EQ(out->numChannels, n);
    EXPECT_EQ(out->type, type);
    EXPECT_EQ(in->speakers[0].type, 0);
    EXPECT_EQ(effect->numInputs, n);

    // A good input with a bad output: the output becomes the input's copy.
    EXPECT_EQ(dispatch(effect, effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&hostIn),
                       &wrongOut),
              0);
    ASSERT_EQ(fetch(), 1);
    EXPECT_EQ(out->numChannels, n);
    EXPECT_EQ(out->type, kSpeakerArrUserDefined);

    // Null arguments: refused, nothing changes, nothing is stored.
    EXPECT_EQ(dispatch(effect, effSetSpeakerArrangement, 0, 0, &hostOut), 0);
    EXPECT_EQ(dispatch(effect, effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&hostIn),
                       nullptr),
              0);
    EXPECT_EQ(dispatch(effect, effGetSpeakerArrangement, 0, 0, &out), 0);
    EXPECT_EQ(dispatch(effect, effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in),
                       nullptr),
              0);
}

TEST_P(EffectTest, SampleRateMovesTheLatency) {
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    EXPECT_EQ(effect->initialDelay, 1560);
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    EXPECT_EQ(effect->initialDelay, 1698);
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, 96000.0f);
    EXPECT_EQ(effect->initialDelay, 3390);
    // A rate that is no number changes nothing.
    for (float hostile : {std::numeric_limits<float>::quiet_NaN(),
                          std::numeric_limits<float>::infinity(),
                          -std::numeric_limits<float>::infinity()}) {
        dispatch(effect, effSetSampleRate, 0, 0, nullptr, hostile);
        EXPECT_EQ(effect->initialDelay, 3390);
    }
    // The host is not told; it reads the record.
    for (const HostCall& call : recordedCalls()) EXPECT_NE(call.opcode, audioMasterIOChanged);
}

// The answer of every opcode that answers something other than 0 whatever
// its arguments, given the index and value it was sent.
bool constantAnswer(VstInt32 opcode, VstInt32 index, VstIntPtr value, int params,
                    VstIntPtr& answer) {
    switch (opcode) {
        case effIdentify: answer = vstFourCharCode('N', 'v', 'E', 'f'); return true;
        case effGetPlugCategory: answer = kPlugCategEffect; return true;
        case effGetVendorVersion: answer = 1150; return true;
        case effGetVstVersion: answer = 2400; return true;
        case effGetCurrentMidiProgram: answer = -1; return true;
        case effSetTotalSampleToProcess: answer = value; return true;
        case effCanBeAutomated: answer = index >= 0 && index < params ? 1 : 0; return true;
        default: return false;
    }
}

TEST_P(EffectTest, EveryOpcodeSurvivesNullPointersAndExtremeArguments) {
    const VstInt32 indices[] = {0, -1, 1000, std::numeric_limits<VstInt32>::min(),
                                std::numeric_limits<VstInt32>::max()};
    const VstIntPtr values[] = {0, -1, 1, std::numeric_limits<VstIntPtr>::min(),
                                std::numeric_limits<VstIntPtr>::max()};
    const float opts[] = {0.0f, std::numeric_limits<float>::quiet_NaN(),
                          std::numeric_limits<float>::infinity(), -1e30f, 3e9f};
    for (VstInt32 opcode = 0; opcode < 128; ++opcode) {
        if (opcode == effClose) continue;  // last, below
        for (VstInt32 index : indices)
            for (VstIntPtr value : values)
                for (float opt : opts) {
                    // The two arrangement opcodes take `value` as a pointer:
                    // only null is a hostile value a host can send there.
                    const bool valueIsPointer =
                        opcode == effSetSpeakerArrangement || opcode == effGetSpeakerArrangement;
                    const VstIntPtr sent = valueIsPointer ? 0 : value;
                    const VstIntPtr answer = dispatch(effect, opcode, index, sent, nullptr, opt);
                    // Key and knob-mode answers are the editor's own.
                    const bool editorAnswers = vsttest::kHasEditor && opcode >= effEditKeyDown &&
                                               opcode <= effSetEditKnobMode;
                    if (editorAnswers) continue;
                    VstIntPtr expected = 0;
                    constantAnswer(opcode, index, sent, layout().params, expected);
                    ASSERT_EQ(answer, expected)
                        << "opcode " << opcode << " index " << index << " value " << sent;
                }
    }
    // Nothing that the walk may not touch has changed.
    EXPECT_EQ(dispatch(effect, effGetProgram), 0);
    EXPECT_EQ(text(effect, effGetProgramName), "Default");
    EXPECT_EQ(effect->numParams, layout().params);
    EXPECT_EQ(effect->numInputs, layout().channels);
    EXPECT_EQ(effect->flags, vsttest::kExpectedFlags);
    for (int i = 0; i < layout().params; ++i)
        EXPECT_EQ(effect->getParameter(effect, i), kDefaultNormalised[i]) << i;

    // The walk left a rate the engine clamps; the effect still processes.
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    EXPECT_EQ(effect->initialDelay, 1560);
    dispatch(effect, effMainsChanged, 0, 1);
    Buffers in(layout().channels, 4096), out(layout().channels, 4096);
    for (int c = 0; c < layout().channels; ++c)
        for (int i = 0; i < 4096; ++i) in.channel[c][i] = programmeSample(c, i, 44100.0);
    effect->processReplacing(effect, in.data(), out.data(), 4096);
    for (int c = 0; c < layout().channels; ++c)
        for (float x : out.channel[c]) ASSERT_TRUE(std::isfinite(x));

    EXPECT_EQ(dispatch(effect, effClose, std::numeric_limits<VstInt32>::min(), -1), 1);
    effect = nullptr;  // the record is gone
}

TEST_P(EffectTest, NullBuffersGiveSilenceOnTheChannelsThatExist) {
    Buffers out(layout().channels, 64);
    for (auto& channel : out.channel) std::fill(channel.begin(), channel.end(), 0.5f);
    effect->processReplacing(effect, nullptr, out.data(), 64);
    for (auto& channel : out.channel)
        for (float x : channel) ASSERT_EQ(x, 0.0f);
    effect->processReplacing(effect, nullptr, nullptr, 64);
    Buffers in(layout().channels, 64);
    in.pointers[0] = nullptr;
    out.channel[1][0] = 0.5f;
    effect->processReplacing(effect, in.data(), out.data(), 64);
    EXPECT_EQ(out.channel[1][0], 0.0f);
    effect->processReplacing(effect, in.data(), out.data(), -5);
}

// Every unload of cairo loses pixman's load-time tables (12 KB), so a host
// that rescans in-process must find cairo still loaded after unloading us.
TEST(EffectLibraryTest, CairoStaysLoadedWhenTheLibraryIsUnloaded) {
    if (!ORVANTA_TEST_HAS_EDITOR) GTEST_SKIP() << "no editor, no cairo";
    if (void* resident = dlopen("libcairo.so.2", RTLD_NOW | RTLD_NOLOAD)) {
        dlclose(resident);
        GTEST_SKIP() << "cairo was loaded before this test (an earlier test in this process)";
    }
    {
        Library library(vsttest::pluginPath(vsttest::kStereo));
        ASSERT_TRUE(library.ok()) << library.error();
    }
    void* cairo = dlopen("libcairo.so.2", RTLD_NOW | RTLD_NOLOAD);
    EXPECT_NE(cairo, nullptr);
    if (cairo) dlclose(cairo);
}

INSTANTIATE_TEST_SUITE_P(Layouts, EffectTest,
                         ::testing::Values(vsttest::kStereo, vsttest::kSurround),
                         [](const auto& info) { return vsttest::caseName(info.param); });

}  // namespace
