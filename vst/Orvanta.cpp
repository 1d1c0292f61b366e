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

    // The host is asked for its rate once per engine, as ever; should the
    // 5.1 build's second answer differ, both engines take it, so that the LFE
    // hand-over always joins engines of one rate.
    float rate = updateSampleRate();
    if (kIsSurround51) rate = updateSampleRate();
    core = PluginCore::create(kLayout, rate);
    if (!core) throw std::bad_alloc();
    setInitialDelay(static_cast<VstInt32>(core->latency()));
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
    // A NaN carries no value at all: nothing changes, nobody is told.
    if (std::isnan(value)) return;
    if (isParameter(index)) core->setNormalised(static_cast<ParamId>(index), value);
    // The editor shows every value the host sets; it ignores indices that
    // name no parameter.
    if (editor) notifyEditorParameter(editor, index, std::fmin(std::fmax(value, 0.0f), 1.0f));
}

float Orvanta::getParameter(VstInt32 index) {
    return isParameter(index) ? core->normalised(static_cast<ParamId>(index)) : 0.0f;
}

void Orvanta::getParameterLabel(VstInt32 index, char* label) {
    if (isParameter(index)) std::strcpy(label, paramTable[index].vstLabel);
}

void Orvanta::getParameterName(VstInt32 index, char* text) {
    if (isParameter(index)) std::strcpy(text, paramTable[index].vstName);
}

void Orvanta::getParameterDisplay(VstInt32 index, char* text) {
    if (isParameter(index))
        formatValue(static_cast<ParamId>(index), core->plain(static_cast<ParamId>(index)), text);
    else
        text[0] = 0;
}

// ---- processing ----

void Orvanta::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
    const uint64_t frames = sampleFrames > 0 ? static_cast<uint64_t>(sampleFrames) : 0;
    if (core->process(inputs, outputs, frames) || !outputs) return;
    // A host that leaves a channel without a buffer gets silence on the
    // channels it did provide, and the engines keep their state.
    for (VstInt32 ch = 0; ch < kChannels; ++ch)
        if (outputs[ch]) std::memset(outputs[ch], 0, sizeof(float) * frames);
}

void Orvanta::resume() { core->reset(); }

void Orvanta::setSampleRate(float rate) {
    // The core applies the waiting parameter changes first and ignores a
    // rate that is no number; the engines ignore a rate they already have.
    core->setSampleRate(rate);
    if (!std::isfinite(rate)) return;
    sampleRate = rate;
    setInitialDelay(static_cast<VstInt32>(core->latency()));
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
