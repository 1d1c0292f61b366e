#include "audioeffectx.h"

#include <cstdlib>
#include <cstring>

#include "aeffeditor.h"

namespace {

// The low byte of a host's float argument taken as an integer; values that
// no 32-bit integer can hold (NaN, infinities, huge) give 0 instead of an
// undefined conversion.
unsigned char lowByteOf(float value) {
    if (!(value > -2147483648.0f && value < 2147483648.0f)) return 0;
    return static_cast<unsigned char>(static_cast<int32_t>(value) & 0xff);
}

// Speaker records that an arrangement block holds: at least the eight that
// the record declares, because hosts may copy the whole declared record.
size_t speakerRecordsFor(VstInt32 channels) {
    return channels > 8 ? static_cast<size_t>(channels) : 8;
}

// Largest channel count an arrangement may have; a host's count beyond it is
// not taken as an allocation size.
constexpr VstInt32 kMaxArrangementChannels = 64;

}  // namespace

VstIntPtr AudioEffectX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt) {
    switch (opcode) {
        case effCanBeAutomated:
            return canParameterBeAutomated(index) ? 1 : 0;
        case effGetPlugCategory:
            return getPlugCategory();
        case effSetSpeakerArrangement:
            return setSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement*>(value),
                                         static_cast<VstSpeakerArrangement*>(ptr))
                       ? 1
                       : 0;
        case effGetEffectName:
            return (ptr && getEffectName(static_cast<char*>(ptr))) ? 1 : 0;
        case effGetVendorString:
            return (ptr && getVendorString(static_cast<char*>(ptr))) ? 1 : 0;
        case effGetProductString:
            return (ptr && getProductString(static_cast<char*>(ptr))) ? 1 : 0;
        case effGetVendorVersion:
            return getVendorVersion();
        case effCanDo:
            return ptr ? canDo(static_cast<char*>(ptr)) : 0;
        case effGetVstVersion:
            return getVstVersion();
        case effEditKeyDown:
        case effEditKeyUp: {
            if (!editor) return 0;
            VstKeyCode key;
            key.character = index;
            key.virt = static_cast<unsigned char>(value & 0xff);
            key.modifier = lowByteOf(opt);
            const bool used =
                opcode == effEditKeyDown ? editor->onKeyDown(key) : editor->onKeyUp(key);
            return used ? 1 : 0;
        }
        case effSetEditKnobMode:
            return (editor && editor->setKnobMode(static_cast<VstInt32>(value))) ? 1 : 0;
        case effGetCurrentMidiProgram:
            return getCurrentMidiProgram();
        case effGetSpeakerArrangement:
            return getSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement**>(value),
                                         static_cast<VstSpeakerArrangement**>(ptr))
                       ? 1
                       : 0;
        case effSetTotalSampleToProcess:
            return static_cast<VstIntPtr>(setTotalSampleToProcess(value));
        default:
            break;
    }
    if (opcode >= effProcessEvents) {
        // The rest of the second generation (events, chunks per program,
        // offline processing, bypass, MIDI programs, shells, precision, ...)
        // and every unknown number: not supported.
        return 0;
    }
    return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
}

float AudioEffectX::updateSampleRate() {
    const VstIntPtr answer = callHost(audioMasterGetSampleRate, 0, 0, nullptr, 0.0f);
    if (answer > 0) sampleRate = static_cast<float>(answer);
    return sampleRate;
}

bool AudioEffectX::beginEdit(VstInt32 index) {
    return callHost(audioMasterBeginEdit, index, 0, nullptr, 0.0f) != 0;
}

bool AudioEffectX::endEdit(VstInt32 index) {
    return callHost(audioMasterEndEdit, index, 0, nullptr, 0.0f) != 0;
}

bool AudioEffectX::sizeWindow(VstInt32 width, VstInt32 height) {
    return callHost(audioMasterSizeWindow, width, height, nullptr, 0.0f) != 0;
}

bool AudioEffectX::allocateArrangement(VstSpeakerArrangement** place, VstInt32 channels) {
    if (!place || channels < 0 || channels > kMaxArrangementChannels) return false;
    const size_t header = sizeof(VstSpeakerArrangement) - sizeof(VstSpeakerArrangement::speakers);
    const size_t bytes = header + speakerRecordsFor(channels) * sizeof(VstSpeakerProperties);
    void* block = std::calloc(1, bytes);
    if (!block) return false;
    std::free(*place);
    *place = static_cast<VstSpeakerArrangement*>(block);
    (*place)->numChannels = channels;
    return true;
}

bool AudioEffectX::deallocateArrangement(VstSpeakerArrangement** place) {
    if (!place) return false;
    std::free(*place);
    *place = nullptr;
    return true;
}

bool AudioEffectX::copySpeaker(VstSpeakerProperties* to, const VstSpeakerProperties* from) {
    if (!to || !from) return false;
    // A host's name need not be terminated: copy at most 63 characters and
    // clear the rest of the field.
    const void* end = std::memchr(from->name, 0, kVstMaxNameLen - 1);
    const size_t length = end ? static_cast<size_t>(static_cast<const char*>(end) - from->name)
                              : static_cast<size_t>(kVstMaxNameLen - 1);
    std::memcpy(to->name, from->name, length);
    std::memset(to->name + length, 0, kVstMaxNameLen - length);
    to->type = from->type;
    to->azimuth = from->azimuth;
    to->elevation = from->elevation;
    to->radius = from->radius;
    to->reserved = from->reserved;
    std::memcpy(to->future, from->future, sizeof(to->future));
    return true;
}

bool AudioEffectX::matchArrangement(VstSpeakerArrangement** place,
                                    const VstSpeakerArrangement* from) {
    if (!place || !from) return false;
    if (!allocateArrangement(place, from->numChannels)) return false;
    (*place)->type = from->type;
    bool copied = true;
    for (VstInt32 ch = 0; ch < from->numChannels; ++ch)
        copied = copySpeaker(&(*place)->speakers[ch], &from->speakers[ch]) && copied;
    return copied;
}
