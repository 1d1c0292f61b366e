#include "ClapDescriptors.h"

#include <cstring>

namespace {

constexpr const char* kVendor = "Veltrano";
constexpr const char* kVersion = "1.15";
constexpr const char* kDescription = "Loudness leveler with a true-peak limiter";

constexpr const char* kMonoFeatures[] = {"audio-effect", "limiter", "mono", nullptr};
constexpr const char* kStereoFeatures[] = {"audio-effect", "limiter", "stereo", nullptr};
constexpr const char* kSurroundFeatures[] = {"audio-effect", "limiter", "surround", nullptr};

constexpr clap_plugin_descriptor_t descriptor(const char* id, const char* name, const char* const* features) {
    // Fields a host may show stay empty rather than null.
    return {kClapVersion, id, name, kVendor, "", "", "", kVersion, kDescription, features};
}

const ClapPluginKind kKinds[kClapPluginCount] = {
    {Layout::Mono, descriptor("com.veltrano.orvanta.mono", "Orvanta Mono", kMonoFeatures)},
    {Layout::Stereo, descriptor("com.veltrano.orvanta.stereo", "Orvanta Stereo", kStereoFeatures)},
    {Layout::Surround51, descriptor("com.veltrano.orvanta.5dot1", "Orvanta 5.1", kSurroundFeatures)},
};

}  // namespace

const ClapPluginKind* clapPluginKind(uint32_t index) {
    return index < kClapPluginCount ? &kKinds[index] : nullptr;
}

const ClapPluginKind* clapPluginKindById(const char* id) {
    if (id == nullptr) return nullptr;
    for (const ClapPluginKind& kind : kKinds)
        if (std::strcmp(kind.descriptor.id, id) == 0) return &kind;
    return nullptr;
}
