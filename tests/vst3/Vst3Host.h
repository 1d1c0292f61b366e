// A small VST 3 host for the tests, on Linux and under Wine: loads a module as
// hosts do, wires a processor to its controller, and has the host objects a
// plug-in calls: a stream, parameter changes, a handler recording the edits.
#pragma once

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "ComObject.h"
#include "interface/Controller.h"
#include "interface/Factory.h"

namespace vst3host {

using namespace vst3;

// The class identifiers the README promises forever.
inline const Uid kStereoProcessor = makeUid(0x972751C8, 0x38A1400D, 0xAB5A62D0, 0x5052715A);
inline const Uid kStereoController = makeUid(0xBC40E530, 0xCBB44768, 0x8F172846, 0x946F3DA7);
inline const Uid k51Processor = makeUid(0x3702AF4F, 0x263E4927, 0xBA9D96FE, 0x5DC1E11D);
inline const Uid k51Controller = makeUid(0xDDF0A4F0, 0x6C17474B, 0xB0115DB8, 0x3954A123);

// A host object the test owns: references are counted (for leak checks),
// never deleting.
template <class... Interfaces>
class HostObject : public Interfaces... {
public:
    tresult ORVANTA_VST3_API queryInterface(const TUID id, void** object) override {
        *object = nullptr;
        (void)((orvanta_vst3::derivesFrom<Interfaces>(id) ? (*object = static_cast<Interfaces*>(this), true) : false) ||
               ...);
        return *object ? (++references, kResultOk) : kNoInterface;
    }
    uint32 ORVANTA_VST3_API addRef() override { return ++references; }
    uint32 ORVANTA_VST3_API release() override { return --references; }
    uint32 references = 1;
};

class Stream : public HostObject<IBStream> {
public:
    tresult ORVANTA_VST3_API read(void* buffer, int32 bytes, int32* done) override {
        const auto n = static_cast<int32>(std::min<size_t>(bytes, data.size() - at));
        std::memcpy(buffer, data.data() + at, n);
        at += n, *done = n;
        return kResultOk;
    }
    tresult ORVANTA_VST3_API write(void* buffer, int32 bytes, int32* done) override {
        data.append(static_cast<const char*>(buffer), bytes), *done = bytes;
        return kResultOk;
    }
    tresult ORVANTA_VST3_API seek(int64, int32, int64*) override { return kNotImplemented; }
    tresult ORVANTA_VST3_API tell(int64* position) override { return *position = at, kResultOk; }
    std::string data;
    size_t at = 0;
};

class Queue : public HostObject<IParamValueQueue> {
public:
    explicit Queue(ParamID queueId) : id(queueId) {}
    ParamID ORVANTA_VST3_API getParameterId() override { return id; }
    int32 ORVANTA_VST3_API getPointCount() override { return static_cast<int32>(points.size()); }
    tresult ORVANTA_VST3_API getPoint(int32 index, int32& offset, double& value) override {
        if (index < 0 || index >= getPointCount()) return kInvalidArgument;
        return offset = points[index].first, value = points[index].second, kResultOk;
    }
    tresult ORVANTA_VST3_API addPoint(int32 offset, double value, int32& index) override {
        return index = getPointCount(), points.push_back({offset, value}), kResultOk;
    }
    ParamID id;
    std::vector<std::pair<int32, double>> points;  // offset, value
};

class Changes : public HostObject<IParameterChanges> {
public:
    int32 ORVANTA_VST3_API getParameterCount() override { return static_cast<int32>(queues.size()); }
    IParamValueQueue* ORVANTA_VST3_API getParameterData(int32 index) override {
        return index >= 0 && index < getParameterCount() ? &queues[index] : nullptr;
    }
    IParamValueQueue* ORVANTA_VST3_API addParameterData(const ParamID& id, int32& index) override {
        for (index = 0; index < getParameterCount(); ++index)
            if (queues[index].id == id) return &queues[index];
        return &queues.emplace_back(id);
    }
    void add(ParamID id, int32 offset, double value) {
        int32 index;
        addParameterData(id, index)->addPoint(offset, value, index);
    }
    std::deque<Queue> queues;  // stable addresses
};

struct Edit {
    char what;  // 'b'egin, 'p'erform, 'e'nd
    ParamID id;
    double value;
};

class Handler : public HostObject<IComponentHandler> {
public:
    tresult ORVANTA_VST3_API beginEdit(ParamID id) override { return edits.push_back({'b', id, 0}), kResultOk; }
    tresult ORVANTA_VST3_API performEdit(ParamID id, double v) override { return edits.push_back({'p', id, v}), kResultOk; }
    tresult ORVANTA_VST3_API endEdit(ParamID id) override { return edits.push_back({'e', id, 0}), kResultOk; }
    tresult ORVANTA_VST3_API restartComponent(int32) override { return kResultOk; }
    std::vector<Edit> edits;
};

// A module loaded and entered (Linux's entry takes the library's handle,
// Windows's takes nothing, which the same call leaves unused), and its factory.
class Module {
public:
#if defined(_WIN32)
    explicit Module(const std::string& path) : handle(LoadLibraryA(path.c_str())) { enter("InitDll"); }
    ~Module() { leave("ExitDll"), handle && FreeLibrary(handle); }
    void* symbol(const char* name) const { return handle ? reinterpret_cast<void*>(GetProcAddress(handle, name)) : nullptr; }
    HMODULE handle;
#else
    explicit Module(const std::string& path) : handle(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) { enter("ModuleEntry"); }
    ~Module() { leave("ModuleExit"), handle && dlclose(handle); }
    void* symbol(const char* name) const { return handle ? dlsym(handle, name) : nullptr; }
    void* handle;
#endif
    template <class Interface>
    Interface* create(const Uid& cid) const {
        void* object = nullptr;
        return factory && factory->createInstance(cid.bytes, Interface::iid.bytes, &object) == kResultOk
                   ? static_cast<Interface*>(object) : nullptr;
    }
    void enter(const char* entry) {
        entered = handle && reinterpret_cast<bool (*)(void*)>(symbol(entry))(handle);
        if (entered) factory = reinterpret_cast<IPluginFactory*(ORVANTA_VST3_API*)()>(symbol("GetPluginFactory"))();
        factory3.query(factory);
    }
    void leave(const char* exit) {
        factory3.reset();
        if (factory) factory->release();
        if (entered) reinterpret_cast<bool (*)()>(symbol(exit))();
    }
    bool entered = false;
    IPluginFactory* factory = nullptr;
    orvanta_vst3::HostRef<IPluginFactory3> factory3;
};

// A processor and its controller, initialized and connected as a host does.
struct Plugin {
    Plugin(const Module& module, bool surround)
        : channels(surround ? 6 : 2),
          component(module.create<IComponent>(surround ? k51Processor : kStereoProcessor)),
          controller(module.create<IEditController>(surround ? k51Controller : kStereoController)) {
        if (!component || !controller) return;
        component->initialize(&handler), controller->initialize(&handler);
        controller->setComponentHandler(&handler);
        processor.query(component);
    }
    ~Plugin() {
        processor.reset();
        if (component) component->setActive(false), component->terminate(), component->release();
        if (controller) controller->terminate(), controller->release();
    }
    bool ok() const { return component && controller && processor; }
    // Set up for `rate` and switched on.
    tresult start(double rate) {
        ProcessSetup setup{kRealtime, kSample32, 4096, rate};
        const tresult result = processor->setupProcessing(setup);
        component->setActive(true), processor->setProcessing(true);
        return result;
    }
    // One block; `in` and `out` may be the same buffers, or null.
    tresult process(float** in, float** out, int32 frames, IParameterChanges* changes,
                    IParameterChanges* reported = nullptr) {
        AudioBusBuffers inBus{channels, 0, {in}}, outBus{channels, 0, {out}};
        ProcessData data{kRealtime, kSample32, frames, 1, 1, &inBus, &outBus, changes, reported,
                         nullptr, nullptr, nullptr};
        return processor->process(data);
    }
    // The component's state carried to the controller, as a host restores.
    tresult restore(Stream& state) {
        state.at = 0;
        const tresult result = component->setState(&state);
        state.at = 0, controller->setComponentState(&state);
        return result;
    }

    Handler handler;
    int channels;
    IComponent* component;
    IEditController* controller;
    orvanta_vst3::HostRef<IAudioProcessor> processor;
};

inline std::string narrow(const char16* text) {
    std::string s;
    for (; *text; ++text) s += static_cast<char>(*text);
    return s;
}

}  // namespace vst3host
