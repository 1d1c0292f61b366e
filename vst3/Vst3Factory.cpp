// The module's exports: the class factory, and the module entry and exit
// that each platform's hosts call around it.
//
// The factory is one static object that lives as long as the module; its
// reference count is kept for the hosts' sake, but the last release does not
// destroy it.
#include <atomic>
#include <cstdio>
#include <cstring>

#include "Utf16.h"
#include "Vst3Classes.h"
#include "Vst3Controller.h"
#include "Vst3Processor.h"
#include "interface/Factory.h"

namespace orvanta_vst3 {

namespace {

void copyText(char* field, size_t bytes, const char* text) { std::snprintf(field, bytes, "%s", text); }

class Factory final : public vst3::IPluginFactory3 {
public:
    // ---- FUnknown: any thread ----
    vst3::tresult ORVANTA_VST3_API queryInterface(const vst3::TUID interfaceId, void** object) override {
        if (object == nullptr) return vst3::kInvalidArgument;
        *object = nullptr;
        if (!derivesFrom<vst3::IPluginFactory3>(interfaceId)) return vst3::kNoInterface;
        addRef();
        *object = static_cast<vst3::IPluginFactory3*>(this);
        return vst3::kResultOk;
    }
    vst3::uint32 ORVANTA_VST3_API addRef() override { return references.fetch_add(1) + 1; }
    vst3::uint32 ORVANTA_VST3_API release() override {
        vst3::uint32 now = references.load();
        while (now > 0 && !references.compare_exchange_weak(now, now - 1)) {
        }
        return now > 0 ? now - 1 : 0;
    }

    // ---- IPluginFactory: any thread; the texts are constant ----
    vst3::tresult ORVANTA_VST3_API getFactoryInfo(vst3::PFactoryInfo* info) override {
        if (info == nullptr) return vst3::kInvalidArgument;
        std::memset(info, 0, sizeof *info);
        copyText(info->vendor, sizeof info->vendor, kVendor);
        copyText(info->url, sizeof info->url, kVendorUrl);
        copyText(info->email, sizeof info->email, kVendorEmail);
        info->flags = vst3::PFactoryInfo::kUnicode;
        return vst3::kResultOk;
    }
    vst3::int32 ORVANTA_VST3_API countClasses() override { return kClassCount; }
    vst3::tresult ORVANTA_VST3_API getClassInfo(vst3::int32 index, vst3::PClassInfo* info) override {
        const PluginClass* c = startClassInfo(index, info);
        if (c == nullptr) return vst3::kInvalidArgument;
        copyText(info->name, sizeof info->name, c->name);
        return vst3::kResultOk;
    }
    // Any thread: a new processor or controller with one reference, the
    // caller's; kNoInterface for classes we do not have or interfaces they
    // lack, kOutOfMemory without memory.
    vst3::tresult ORVANTA_VST3_API createInstance(vst3::FIDString classId, vst3::FIDString interfaceId,
                                                  void** object) override {
        if (object == nullptr) return vst3::kInvalidArgument;
        *object = nullptr;
        const PluginClass* c = findClass(classId);
        if (c == nullptr || interfaceId == nullptr) return vst3::kNoInterface;
        vst3::FUnknown* created = nullptr;
        if (c->role == ClassRole::Processor)
            created = static_cast<vst3::IComponent*>(Vst3Processor::create(c->layout));
        else
            created = static_cast<vst3::IEditController*>(Vst3Controller::create(c->layout));
        if (created == nullptr) return vst3::kOutOfMemory;
        const vst3::tresult result = created->queryInterface(interfaceId, object);
        created->release();
        return result;
    }

    // ---- IPluginFactory2 ----
    vst3::tresult ORVANTA_VST3_API getClassInfo2(vst3::int32 index, vst3::PClassInfo2* info) override {
        const PluginClass* c = startClassInfo(index, info);
        if (c == nullptr) return vst3::kInvalidArgument;
        copyText(info->name, sizeof info->name, c->name);
        copyText(info->subCategories, sizeof info->subCategories, subCategoriesOf(*c));
        copyText(info->vendor, sizeof info->vendor, kVendor);
        copyText(info->version, sizeof info->version, kVersion);
        copyText(info->sdkVersion, sizeof info->sdkVersion, kSdkVersion);
        return vst3::kResultOk;
    }

    // ---- IPluginFactory3 ----
    vst3::tresult ORVANTA_VST3_API getClassInfoUnicode(vst3::int32 index, vst3::PClassInfoW* info) override {
        const PluginClass* c = startClassInfo(index, info);
        if (c == nullptr) return vst3::kInvalidArgument;
        toUtf16(c->name, info->name, 64);
        copyText(info->subCategories, sizeof info->subCategories, subCategoriesOf(*c));
        toUtf16(kVendor, info->vendor, 64);
        toUtf16(kVersion, info->version, 64);
        toUtf16(kSdkVersion, info->sdkVersion, 64);
        return vst3::kResultOk;
    }
    // The instances ask their own contexts; the factory needs none.
    vst3::tresult ORVANTA_VST3_API setHostContext(vst3::FUnknown*) override { return vst3::kResultOk; }

private:
    static const PluginClass* classAt(vst3::int32 index) {
        return index >= 0 && index < kClassCount ? &kClasses[index] : nullptr;
    }
    // The fields the three class records share: id, cardinality and category;
    // null for an index out of range or no record.
    template <typename ClassInfo> static const PluginClass* startClassInfo(vst3::int32 index, ClassInfo* info) {
        const PluginClass* c = classAt(index);
        if (c == nullptr || info == nullptr) return nullptr;
        std::memset(info, 0, sizeof *info);
        std::memcpy(info->cid, c->id.uid().bytes, sizeof info->cid);
        info->cardinality = vst3::kManyInstances;
        copyText(info->category, sizeof info->category, categoryOf(*c));
        return c;
    }
    static const char* categoryOf(const PluginClass& c) {
        return c.role == ClassRole::Processor ? vst3::kAudioEffectCategory : vst3::kControllerCategory;
    }
    static const char* subCategoriesOf(const PluginClass& c) {
        return c.role == ClassRole::Processor ? kSubCategories : "";
    }

    std::atomic<vst3::uint32> references{0};
};

Factory factory;

}  // namespace

}  // namespace orvanta_vst3

#define ORVANTA_VST3_EXPORT extern "C" __attribute__((visibility("default")))

// Any thread, once the module is entered: the factory, with a reference
// for the caller.
ORVANTA_VST3_EXPORT vst3::IPluginFactory* ORVANTA_VST3_API GetPluginFactory() {
    orvanta_vst3::factory.addRef();
    return &orvanta_vst3::factory;
}

#if defined(_WIN32)
// The host's loader thread, after LoadLibrary and before FreeLibrary. The
// DLL's own entry (gui/platform/DllMainWin32.cpp) has already set up what
// the module needs, and nothing is left to undo.
ORVANTA_VST3_EXPORT bool ORVANTA_VST3_API InitDll() { return true; }
ORVANTA_VST3_EXPORT bool ORVANTA_VST3_API ExitDll() { return true; }
#else
// The host's loader thread, after dlopen and before dlclose (the handle is
// the library's). The module keeps no global state that needs setting up
// or tearing down: the factory and the class table are static data.
ORVANTA_VST3_EXPORT bool ModuleEntry(void*) { return true; }
ORVANTA_VST3_EXPORT bool ModuleExit() { return true; }
#endif
