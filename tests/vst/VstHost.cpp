#include "VstHost.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cstring>
#include <limits>

namespace vsthost {

HostAnswers& answers() {
    static HostAnswers instance;
    return instance;
}

std::vector<HostCall>& recordedCalls() {
    static std::vector<HostCall> calls;
    return calls;
}

VstIntPtr VSTCALLBACK recordingHostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                            VstIntPtr value, void* /*ptr*/, float opt) {
    recordedCalls().push_back(HostCall{effect != nullptr, opcode, index, value, opt});
    switch (opcode) {
        case audioMasterVersion:
            return answers().version;
        case audioMasterGetSampleRate:
            return answers().sampleRate;
        case audioMasterAutomate:
            return answers().automate;
        default:
            return 0;
    }
}

#ifdef _WIN32
// The Windows build of the host (run under Wine): LoadLibrary and its kin.
Library::Library(const std::string& path) {
    HMODULE module = LoadLibraryA(path.c_str());
    handle = module;
    if (!module) {
        loadError = "LoadLibrary failed with error " + std::to_string(GetLastError());
        return;
    }
    entry = reinterpret_cast<EntryFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, "VSTPluginMain")));
    mainAlias = reinterpret_cast<EntryFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, "main")));
    if (!entry) loadError = "no VSTPluginMain";
}

Library::~Library() {
    if (handle) FreeLibrary(static_cast<HMODULE>(handle));
}
#else
Library::Library(const std::string& path) {
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* message = dlerror();
        loadError = message ? message : "dlopen failed";
        return;
    }
    entry = reinterpret_cast<EntryFunction>(dlsym(handle, "VSTPluginMain"));
    mainAlias = reinterpret_cast<EntryFunction>(dlsym(handle, "main"));
    if (!entry) loadError = "no VSTPluginMain";
}

Library::~Library() {
    if (handle) dlclose(handle);
}
#endif

AEffect* Library::instantiate(bool throughMainAlias) const {
    EntryFunction function = throughMainAlias ? mainAlias : entry;
    return function ? function(recordingHostCallback) : nullptr;
}

std::string text(AEffect* e, VstInt32 opcode, VstInt32 index, char fill) {
    // Larger than any text the interface defines, so an overlong answer
    // shows up as a wrong text rather than as memory damage.
    char buffer[256];
    std::memset(buffer, fill, sizeof buffer);
    buffer[sizeof buffer - 1] = 0;
    dispatch(e, opcode, index, 0, buffer);
    return std::string(buffer);
}

void closeEffect(AEffect* e) { dispatch(e, effClose); }

void walkEveryOpcode(AEffect* effect) {
    const VstInt32 indices[] = {0, -1, std::numeric_limits<VstInt32>::min(),
                                std::numeric_limits<VstInt32>::max()};
    const VstIntPtr values[] = {0, -1, std::numeric_limits<VstIntPtr>::min(),
                                std::numeric_limits<VstIntPtr>::max()};
    const float opts[] = {0.0f, std::numeric_limits<float>::quiet_NaN(),
                          -std::numeric_limits<float>::infinity(), 3e9f};
    for (VstInt32 opcode = 0; opcode < 128; ++opcode) {
        if (opcode == effClose) continue;
        // The speaker arrangement opcodes take a pointer in the value.
        const bool valueIsPointer =
            opcode == effSetSpeakerArrangement || opcode == effGetSpeakerArrangement;
        for (VstInt32 index : indices)
            for (VstIntPtr value : values)
                for (float opt : opts)
                    dispatch(effect, opcode, index, valueIsPointer ? 0 : value, nullptr, opt);
    }
}

Buffers::Buffers(int channels, int frames)
    : channel(channels, std::vector<float>(frames > 0 ? frames : 1, 0.0f)), pointers(channels) {
    for (int c = 0; c < channels; ++c) pointers[c] = channel[c].data();
}

float programmeSample(int channel, int64_t frame, double rate) {
    // Integer and single-precision arithmetic only, so that both
    // architectures produce the same bits without depending on libm.
    // A quarter second per level: loud (-6 dBFS), quiet (-46 dBFS), medium.
    static const float kLevels[] = {0.5f, 0.005f, 0.05f};
    const int64_t stepFrames = static_cast<int64_t>(rate / 4);
    const float level = kLevels[(frame / stepFrames) % 3];
    // A triangle wave with a channel-specific period, plus a little noise
    // from a per-sample hash.
    const int64_t period = 97 + 31 * channel;
    const int64_t position = frame % period;
    const float triangle =
        static_cast<float>(position < period / 2 ? position : period - position) /
            static_cast<float>(period / 4) -
        1.0f;
    uint32_t hash = static_cast<uint32_t>(frame) * 2654435761u + static_cast<uint32_t>(channel) * 40503u;
    hash ^= hash >> 15;
    hash *= 2246822519u;
    hash ^= hash >> 13;
    const float noise = static_cast<float>(hash >> 8) * (1.0f / 8388608.0f) - 1.0f;
    return level * (0.8f * triangle + 0.2f * noise);
}

}  // namespace vsthost
