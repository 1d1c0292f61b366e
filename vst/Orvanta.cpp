#include "Orvanta.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "EditorFactory.h"

namespace orvanta_vst {
OwnedArrangement::~OwnedArrangement() { std::free(block); }
}  // namespace orvanta_vst

namespace {

constexpr const char* kVendor = "Veltrano";
constexpr const char* kProduct = Orvanta::kIsSurround51 ? "Orvanta 5.1" : "Orvanta";
// The 64-bit deliverables say so in their effect names, so that a host that
// lists both architectures tells them apart.
constexpr bool kIs64Bit = sizeof(void*) == 8;
constexpr const char* kEffectName =
    Orvanta::kIsSurround51 ? (kIs64Bit ? "Orvanta 5.1 64 Bit" : "Orvanta 5.1")
                           : (kIs64Bit ? "Orvanta 64 Bit" : "Orvanta");

constexpr float kNormalisedMin = 0.0f;
constexpr float kNormalisedMax = 1.0f;

}  // namespace

Orvanta::Orvanta(audioMasterCallback audioMaster) : AudioEffectX(audioMaster, 1, kParams) {
    std::strcpy(programName, "Default");
    setNumInputs(kChannels);
    setNumOutputs(kChannels);
    resetArrangement(inputArrangement);
    resetArrangement(outputArrangement);
    setUniqueID(kIsSurround51 ? vstFourCharCode('O', 'R', '5', '1')
                              : vstFourCharCode('O', 'R', 'v', 't'));
    canDoubleReplacing(false);

    for (int32_t i = 0; i < kParamCount; ++i) {
        normalisedValue[i].store(paramTable[i].normalisedDefault, std::memory_order_relaxed);
        plainValue[i].store(paramTable[i].engineDefault, std::memory_order_relaxed);
    }
    applyInitialParameters(engines.main(), kLayout);
    if (LevelerCore* lfe = engines.lfe())
        lfe->setTruePeak(paramTable[static_cast<int>(ParamId::TruePeak)].engineDefault);

    // The main engine takes the host's rate first. The 5.1 build asks the
    // host once per engine; should the second answer differ, both engines
    // follow it, so that the LFE hand-over always joins engines of one rate.
    engines.main().setSampleRate(updateSampleRate());
    if (kIsSurround51) engines.setSampleRate(updateSampleRate());
    setInitialDelay(static_cast<VstInt32>(engines.latency()));
    isSynth(false);

    if (AEffEditor* created = createOrvantaEditor(this)) setEditor(created);
}

Orvanta::~Orvanta() {
    // The editor goes first, while the effect it shows is still whole (its
    // window may read parameters as it closes); the base finds no editor left.
    delete editor;
    editor = nullptr;
}

void Orvanta::resetArrangement(orvanta_vst::OwnedArrangement& arrangement) {
    if (!allocateArrangement(&arrangement.block, kChannels)) throw std::bad_alloc();
    arrangement.block->type = kArrangementType;
}

// ---- parameters ----

void Orvanta::setParameter(VstInt32 index, float value) {
    // A NaN carries no value at all: ignore it (nothing changes, nobody is
    // told). Anything else outside 0..1 is clamped before the mapping.
    if (std::isnan(value)) return;
    value = std::fmin(std::fmax(value, kNormalisedMin), kNormalisedMax);

    if (isParameter(index)) {
        const ParamId id = static_cast<ParamId>(index);
        float stored = value;
        float plain;
        if (id == ParamId::CorrMixMode) {
            // The host reads back the mode's own value (0, 1/3, 2/3 or 1),
            // so a saved session restores exactly this mode.
            const int32_t mode = normalisedToMode(value);
            stored = modeToNormalised(mode);
            plain = static_cast<float>(mode);
        } else {
            plain = toEngineValue(id, value);
        }
        normalisedValue[index].store(stored, std::memory_order_relaxed);
        plainValue[index].store(plain, std::memory_order_relaxed);
        if (!pendingChanges.push(ParameterChange{index, plain}))
            resyncPending.store(true, std::memory_order_release);
    }
    // The editor shows every value the host sets; it ignores indices that
    // name no parameter.
    if (editor) notifyEditorParameter(editor, index, value);
}

float Orvanta::getParameter(VstInt32 index) {
    return isParameter(index) ? normalisedValue[index].load(std::memory_order_relaxed) : 0.0f;
}

void Orvanta::applyToEngines(int32_t index, float plain) {
    applyEngineValue(engines.main(), engines.lfe(), static_cast<ParamId>(index), plain);
}

void Orvanta::applyPendingChanges() {
    // At most one queue's worth per call, so that producers that never stop
    // cannot hold the audio thread here; what remains waits for the next block.
    ParameterChange change;
    for (uint32_t taken = 0; taken < kQueuedChanges && pendingChanges.pop(change); ++taken)
        applyToEngines(change.index, change.plainValue);
    // After the queue, so that no older queued value lands after the resync.
    if (resyncPending.exchange(false, std::memory_order_acquire)) {
        for (int32_t i = 0; i < kParams; ++i)
            applyToEngines(i, plainValue[i].load(std::memory_order_relaxed));
    }
}

void Orvanta::getParameterLabel(VstInt32 index, char* label) {
    if (isParameter(index)) std::strcpy(label, paramTable[index].vstLabel);
}

void Orvanta::getParameterName(VstInt32 index, char* text) {
    if (isParameter(index)) std::strcpy(text, paramTable[index].vstName);
}

void Orvanta::getParameterDisplay(VstInt32 index, char* text) {
    if (isParameter(index))
        formatValue(static_cast<ParamId>(index),
                    plainValue[index].load(std::memory_order_relaxed), text);
    else
        text[0] = 0;
}

// ---- processing ----

void Orvanta::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
    applyPendingChanges();
    if (sampleFrames <= 0 || !outputs) return;
    bool buffersComplete = inputs != nullptr;
    for (VstInt32 ch = 0; ch < kChannels; ++ch)
        buffersComplete = buffersComplete && inputs[ch] && outputs[ch];
    if (!buffersComplete) {
        // A host that leaves a channel without a buffer gets silence on the
        // channels it did provide, and the engines keep their state.
        for (VstInt32 ch = 0; ch < kChannels; ++ch)
            if (outputs[ch]) std::memset(outputs[ch], 0, sizeof(float) * sampleFrames);
        return;
    }
    engines.process(inputs, outputs, sampleFrames);
}

void Orvanta::resume() {
    applyPendingChanges();
    engines.reset();
}

void Orvanta::setSampleRate(float rate) {
    applyPendingChanges();
    // A rate that is no number leaves everything as it was; an equal rate
    // needs no work (NaN never compares equal, but was refused above).
    if (!std::isfinite(rate) || rate == sampleRate) return;
    sampleRate = rate;
    engines.setSampleRate(rate);
    setInitialDelay(static_cast<VstInt32>(engines.latency()));
}

// ---- program, identity ----

void Orvanta::setProgramName(char* name) {
    int i = 0;
    for (; i < kProgramNameChars && name[i]; ++i) programName[i] = name[i];
    programName[i] = 0;
}

void Orvanta::getProgramName(char* name) {
    int i = 0;
    for (; i < kProgramNameChars && programName[i]; ++i) name[i] = programName[i];
    for (; i <= kProgramNameChars; ++i) name[i] = 0;
}

bool Orvanta::getEffectName(char* name) {
    std::strcpy(name, kEffectName);
    return true;
}

bool Orvanta::getVendorString(char* text) {
    std::strcpy(text, kVendor);
    return true;
}

bool Orvanta::getProductString(char* text) {
    std::strcpy(text, kProduct);
    return true;
}

// ---- speaker arrangements ----

bool Orvanta::setSpeakerArrangement(VstSpeakerArrangement* input, VstSpeakerArrangement* output) {
    if (!input || !output) return false;
    // The channel counts are fixed: an arrangement of another count is
    // answered false and replaced by the layout's own.
    bool accepted;
    if (input->numChannels == kChannels) {
        accepted = matchArrangement(&inputArrangement.block, input);
    } else {
        resetArrangement(inputArrangement);
        accepted = false;
    }
    if (output->numChannels != inputArrangement.block->numChannels) {
        matchArrangement(&outputArrangement.block, inputArrangement.block);
        return false;
    }
    return matchArrangement(&outputArrangement.block, output) && accepted;
}

bool Orvanta::getSpeakerArrangement(VstSpeakerArrangement** input,
                                    VstSpeakerArrangement** output) {
    if (!input || !output) return false;
    *input = inputArrangement.block;
    *output = outputArrangement.block;
    return true;
}
