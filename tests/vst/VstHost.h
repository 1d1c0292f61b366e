// A small VST 2.4 host for the tests: loads an effect library with dlopen,
// calls its entry with a host callback that records every call, and wraps
// the record's entries. Used by the x86-64 tests and by the render program
// that also runs as an i386 build under qemu-i386.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "aeffectx.h"

namespace vsthost {

// One call of the host callback, as the effect made it.
struct HostCall {
    bool withEffect;  // the effect record was passed (false for the version query)
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    float opt;
};

// What the host answers; tests change it before they instantiate.
struct HostAnswers {
    VstIntPtr version = 2400;
    VstIntPtr sampleRate = 0;  // 0: the host does not say
    VstIntPtr automate = 0;
};

HostAnswers& answers();
std::vector<HostCall>& recordedCalls();
VstIntPtr VSTCALLBACK recordingHostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                            VstIntPtr value, void* ptr, float opt);

// A loaded effect library.
class Library {
public:
    explicit Library(const std::string& path);
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    bool ok() const { return entry != nullptr; }
    const std::string& error() const { return loadError; }
    // Calls VSTPluginMain (or the "main" alias) with the recording callback.
    AEffect* instantiate(bool throughMainAlias = false) const;

private:
    using EntryFunction = AEffect* (*)(audioMasterCallback);
    void* handle = nullptr;
    EntryFunction entry = nullptr;
    EntryFunction mainAlias = nullptr;
    std::string loadError;
};

// Record entries, spelled out.
inline VstIntPtr dispatch(AEffect* e, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                          void* ptr = nullptr, float opt = 0.0f) {
    return e->dispatcher(e, opcode, index, value, ptr, opt);
}
// A text answer of the text opcodes (buffer prefilled with `fill`).
std::string text(AEffect* e, VstInt32 opcode, VstInt32 index = 0, char fill = '\0');
void closeEffect(AEffect* e);
// Every opcode but effClose, with null pointers and extreme indices, values
// and options: the effect must survive them all.
void walkEveryOpcode(AEffect* effect);

// Deinterleaved audio of one block set: channels x frames.
struct Buffers {
    std::vector<std::vector<float>> channel;
    std::vector<float*> pointers;
    Buffers(int channels, int frames);
    float** data() { return pointers.data(); }
};

// A deterministic, level-varying test programme for `channel` of a group:
// a triangle wave with a little noise whose level steps between -6, -46 and
// -26 dBFS every quarter second, so the leveler and the limiter both work.
float programmeSample(int channel, int64_t frame, double rate);

}  // namespace vsthost
