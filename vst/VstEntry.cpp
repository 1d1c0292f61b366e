// The library's only exports: the VST 2.4 entry point, under its own name and
// under the name "main" that older hosts look for.
#include "Orvanta.h"

extern "C" {

// Threads: the host's loader thread, once per effect instance. Asks the host
// for its interface version first; a host that answers 0 (or that passes no
// callback) gets no effect. Answers the new effect's record, or null when the
// effect cannot be built. Nothing is thrown to the host.
__attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback audioMaster) {
    if (!audioMaster) return nullptr;
    if (audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    try {
        Orvanta* effect = new Orvanta(audioMaster);
        return effect->getAeffect();
    } catch (...) {
        return nullptr;
    }
}

// The same entry under the symbol name "main" (a C++ function may not be
// called main, so the name is given to the assembler).
__attribute__((visibility("default"))) AEffect* vstMainAlias(audioMasterCallback audioMaster)
    __asm__("main");
AEffect* vstMainAlias(audioMasterCallback audioMaster) { return VSTPluginMain(audioMaster); }

}  // extern "C"
