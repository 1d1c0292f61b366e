// The module's only export, clap_entry, and its plug-in factory.
#include <cstring>

#include "ClapAbi.h"
#include "ClapDescriptors.h"
#include "ClapPlugin.h"

namespace {

// Any thread (the factory is thread-safe): the three plug-ins.
uint32_t ORVANTA_CLAP_ABI factoryCount(const clap_plugin_factory_t*) { return kClapPluginCount; }

// Any thread: a plug-in's descriptor, null beyond the three.
const clap_plugin_descriptor_t* ORVANTA_CLAP_ABI factoryDescriptor(const clap_plugin_factory_t*, uint32_t index) {
    const ClapPluginKind* kind = clapPluginKind(index);
    return kind ? &kind->descriptor : nullptr;
}

// Any thread: a new instance of the plug-in with that id; null for an
// unknown id, a missing or incompatible host, or without memory.
const clap_plugin_t* ORVANTA_CLAP_ABI factoryCreate(const clap_plugin_factory_t*, const clap_host_t* host,
                                                    const char* id) {
    const ClapPluginKind* kind = clapPluginKindById(id);
    return kind ? ClapPlugin::create(*kind, host) : nullptr;
}

const clap_plugin_factory_t kFactory{factoryCount, factoryDescriptor, factoryCreate};

// Any thread, before everything else and maybe more than once: the module
// keeps no state beyond constant data, so there is nothing to set up.
bool ORVANTA_CLAP_ABI entryInit(const char*) { return true; }

// Any thread, after every instance is gone: nothing to undo.
void ORVANTA_CLAP_ABI entryDeinit() {}

// Any thread: the plug-in factory; null for every other factory.
const void* ORVANTA_CLAP_ABI entryGetFactory(const char* id) {
    return id != nullptr && std::strcmp(id, kClapPluginFactoryId) == 0 ? &kFactory : nullptr;
}

}  // namespace

extern "C" {
#if defined(_WIN32)
__declspec(dllexport)
#else
__attribute__((visibility("default")))
#endif
extern const clap_plugin_entry_t clap_entry;
const clap_plugin_entry_t clap_entry{kClapVersion, entryInit, entryDeinit, entryGetFactory};
}
