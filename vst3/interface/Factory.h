// Our declarations of the VST 3 class factory, the module's one export:
// what it tells about its vendor and classes, in the three versions of the
// interface, and how it creates instances.
#pragma once

#include "Base.h"

namespace vst3 {

struct PFactoryInfo {
    enum Flags : int32 { kNoFlags = 0, kUnicode = 1 << 4 };
    char vendor[64];
    char url[256];
    char email[128];
    int32 flags;
};

constexpr int32 kManyInstances = 0x7FFFFFFF;

struct PClassInfo {
    TUID cid;
    int32 cardinality;
    char category[32];
    char name[64];
};

struct PClassInfo2 {
    TUID cid;
    int32 cardinality;
    char category[32];
    char name[64];
    uint32 classFlags;
    char subCategories[128];  // "|"-separated
    char vendor[64];
    char version[64];
    char sdkVersion[64];
};

// PClassInfo2 with its user-visible texts in UTF-16.
struct PClassInfoW {
    TUID cid;
    int32 cardinality;
    char category[32];
    char16 name[64];
    uint32 classFlags;
    char subCategories[128];
    char16 vendor[64];
    char16 version[64];
    char16 sdkVersion[64];
};

class IPluginFactory : public FUnknown {
public:
    using Base = FUnknown;
    static constexpr Uid iid = makeUid(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);

    virtual tresult ORVANTA_VST3_API getFactoryInfo(PFactoryInfo* info) = 0;
    virtual int32 ORVANTA_VST3_API countClasses() = 0;
    virtual tresult ORVANTA_VST3_API getClassInfo(int32 index, PClassInfo* info) = 0;
    // `classId` and `interfaceId` point at 16-byte identifiers.
    virtual tresult ORVANTA_VST3_API createInstance(FIDString classId, FIDString interfaceId,
                                                    void** object) = 0;
};

class IPluginFactory2 : public IPluginFactory {
public:
    using Base = IPluginFactory;
    static constexpr Uid iid = makeUid(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);

    virtual tresult ORVANTA_VST3_API getClassInfo2(int32 index, PClassInfo2* info) = 0;
};

class IPluginFactory3 : public IPluginFactory2 {
public:
    using Base = IPluginFactory2;
    static constexpr Uid iid = makeUid(0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931);

    virtual tresult ORVANTA_VST3_API getClassInfoUnicode(int32 index, PClassInfoW* info) = 0;
    virtual tresult ORVANTA_VST3_API setHostContext(FUnknown* context) = 0;
};

constexpr const char* kAudioEffectCategory = "Audio Module Class";
constexpr const char* kControllerCategory = "Component Controller Class";

static_assert(sizeof(PFactoryInfo) == 452, "factory information layout");
static_assert(sizeof(PClassInfo) == 116, "class information layout");
static_assert(sizeof(PClassInfo2) == 440, "class information (2) layout");
static_assert(sizeof(PClassInfoW) == 696, "class information (unicode) layout");

}  // namespace vst3
