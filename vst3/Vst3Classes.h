// The classes the module offers and what the factory and moduleinfo.json
// tell about them. The class identifiers are fixed forever: hosts store
// them in their sessions to find the plug-in again (the README lists them).
#pragma once

#include <cstdint>

#include "ParamTable.h"
#include "interface/Base.h"

namespace orvanta_vst3 {

constexpr const char* kVendor = "Veltrano";
constexpr const char* kVendorUrl = "";
constexpr const char* kVendorEmail = "";
constexpr const char* kVersion = "1.15";
constexpr const char* kSubCategories = "Fx|Dynamics";
// The interface version our declarations follow.
constexpr const char* kSdkVersion = "VST 3.8.0";

enum class ClassRole { Processor, Controller };

struct ClassWords {
    uint32_t l1, l2, l3, l4;
    vst3::Uid uid() const { return vst3::makeUid(l1, l2, l3, l4); }
};

struct PluginClass {
    ClassWords id;
    ClassRole role;
    Layout layout;
    const char* name;
};

constexpr int32_t kClassCount = 4;
extern const PluginClass kClasses[kClassCount];

// The class of `role` for `layout` (stereo or 5.1).
const PluginClass& classOf(Layout layout, ClassRole role);
// The class with this identifier, or null.
const PluginClass* findClass(const char* classId);

// The identifier as 32 hexadecimal digits of the four words, most
// significant first (the byte order of non-Windows systems); `text` holds
// at least 33 bytes.
void writeClassIdText(const ClassWords& id, char* text);

}  // namespace orvanta_vst3
