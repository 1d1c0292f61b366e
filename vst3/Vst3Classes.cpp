#include "Vst3Classes.h"

#include <cstdio>

namespace orvanta_vst3 {

const PluginClass kClasses[kClassCount] = {
    {{0x972751C8, 0x38A1400D, 0xAB5A62D0, 0x5052715A}, ClassRole::Processor, Layout::Stereo, "Orvanta"},
    {{0xBC40E530, 0xCBB44768, 0x8F172846, 0x946F3DA7}, ClassRole::Controller, Layout::Stereo,
     "Orvanta Controller"},
    {{0x3702AF4F, 0x263E4927, 0xBA9D96FE, 0x5DC1E11D}, ClassRole::Processor, Layout::Surround51,
     "Orvanta 5.1"},
    {{0xDDF0A4F0, 0x6C17474B, 0xB0115DB8, 0x3954A123}, ClassRole::Controller, Layout::Surround51,
     "Orvanta 5.1 Controller"},
};

const PluginClass& classOf(Layout layout, ClassRole role) {
    for (const PluginClass& c : kClasses)
        if (c.layout == layout && c.role == role) return c;
    return kClasses[0];
}

const PluginClass* findClass(const char* classId) {
    for (const PluginClass& c : kClasses)
        if (vst3::sameUid(classId, c.id.uid())) return &c;
    return nullptr;
}

void writeClassIdText(const ClassWords& id, char* text) {
    std::snprintf(text, 33, "%08X%08X%08X%08X", static_cast<unsigned>(id.l1), static_cast<unsigned>(id.l2),
                  static_cast<unsigned>(id.l3), static_cast<unsigned>(id.l4));
}

}  // namespace orvanta_vst3
