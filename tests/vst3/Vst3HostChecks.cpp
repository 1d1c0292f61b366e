// The VST 3 module as a host sees it, on Linux and under Wine: factory and
// classes, parameters against the VST 2.4 effect's, buses, latency, hostile
// calls, bypass delay, state round trip, on Windows the editor, and a
// programme with changes at block offsets, written to OUTPUT; given the LADSPA
// library, that programme through the LADSPA plug-in must give the same bits.
//   vst3_host MODULE OUTPUT [LADSPA_LIBRARY]
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>

#include "ExpectedParameters.h"
#include "ProgramChecks.h"
#include "Vst3Host.h"
#include "interface/View.h"
#if !defined(_WIN32)
#include "PluginHost.h"
#endif

using namespace vst3host;
using programchecks::check;

namespace {

constexpr ParamID kBypass = 100;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Level steps, triangles and noise, in arithmetic every platform rounds alike.
float sampleAt(int channel, int64_t i) {
    uint32_t s = static_cast<uint32_t>(i) * 2654435761u ^ static_cast<uint32_t>(channel) * 40503u;
    s ^= s >> 13, s *= 0x5bd1e995u, s ^= s >> 15;
    const float noise = static_cast<float>(static_cast<int32_t>(s)) * (1.0f / 2147483648.0f);
    const int64_t period = 97 + 13 * channel;
    const float triangle = 4.0f * std::fabs(static_cast<float>(i % period) / period - 0.5f) - 1.0f;
    const float levels[] = {0.5f, 0.02f, 0.9f, 0.005f};
    return levels[(i / 11025) % 4] * (0.7f * triangle + 0.3f * noise);
}

// Planar samples of the programme from `start`; block 10 of the rendered
// programme has a NaN and a huge sample.
struct Block {
    std::vector<std::vector<float>> data;
    std::vector<float*> pointers;
    Block(int channels, int frames, int64_t start, int block = 0)
        : data(channels, std::vector<float>(frames + 1)), pointers(channels) {
        for (int c = 0; c < channels; ++c) {
            pointers[c] = data[c].data();
            for (int i = 0; i < frames; ++i) data[c][i] = sampleAt(c, start + i);
        }
        if (block == 10) data[0][3] = std::numeric_limits<float>::quiet_NaN(), data[1][9] = 1e30f;
    }
    float** p() { return pointers.data(); }
};

std::string in(bool surround) { return surround ? " (5.1)" : " (stereo)"; }
std::string text(const char* s) { return s; }

void checkFactory(const Module& module) {
    PFactoryInfo info;
    check(module.factory3 && module.factory->getFactoryInfo(&info) == kResultOk && text(info.vendor) == "Veltrano" &&
              info.flags == PFactoryInfo::kUnicode && module.factory->countClasses() == 4,
          "factory version 3, vendor, flags, four classes");
    const std::map<std::string, std::string> expected = {
        {std::string(kStereoProcessor.bytes, 16), "Orvanta"},
        {std::string(kStereoController.bytes, 16), "Orvanta Controller"},
        {std::string(k51Processor.bytes, 16), "Orvanta 5.1"},
        {std::string(k51Controller.bytes, 16), "Orvanta 5.1 Controller"}};
    for (int32 i = 0; module.factory3 && i < 4; ++i) {
        PClassInfo2 c{};
        PClassInfoW w{};
        module.factory3->getClassInfo2(i, &c), module.factory3->getClassInfoUnicode(i, &w);
        const auto found = expected.find(std::string(c.cid, 16));
        const bool processor = text(c.category) == "Audio Module Class";
        check(found != expected.end() && found->second == c.name && narrow(w.name) == c.name &&
                  (processor ? text(c.subCategories) == "Fx|Dynamics" : text(c.category) == "Component Controller Class") &&
                  text(c.vendor) == "Veltrano" && text(c.version) == "1.15" && c.cardinality == kManyInstances,
              "class id, name, category, vendor, version " + std::to_string(i));
    }
    void* object = &object;
    check(module.factory->createInstance(kStereoController.bytes, IComponent::iid.bytes, &object) != kResultOk &&
              !object && module.factory->createInstance("no such class...", FUnknown::iid.bytes, &object) != kResultOk &&
              module.factory->createInstance(kStereoProcessor.bytes, FUnknown::iid.bytes, nullptr) != kResultOk,
          "no instance of the wrong interface, an unknown class, for a null place");
}

void checkParameters(IEditController* c, bool surround) {
    const int params = surround ? 9 : 8;
    check(c->getParameterCount() == params + 3, "parameter count" + in(surround));
    ParameterInfo info;
    String128 shown;
    for (int i = 0; i < params + 3; ++i) {
        const std::string row = " of parameter " + std::to_string(i) + in(surround);
        c->getParameterInfo(i, info);
        const ParamID extra = kBypass + (i - params);
        if (i < params)
            check(info.id == static_cast<ParamID>(i) && narrow(info.title) == vsthost::kNames[i] &&
                      narrow(info.units) == vsthost::kLabels[i] && info.stepCount == (i == 7 ? 3 : 0) &&
                      info.defaultNormalizedValue == vsthost::kDefaultNormalised[i] &&
                      (info.flags & ParameterInfo::kCanAutomate) &&
                      c->getParamStringByValue(i, info.defaultNormalizedValue, shown) == kResultOk &&
                      narrow(shown) == vsthost::kDefaultDisplay[i],
                  "id, name, unit, steps, default, display" + row);
        else
            check(info.id == extra && info.stepCount == (extra == kBypass) &&
                      info.flags == (extra == kBypass ? ParameterInfo::kIsBypass | ParameterInfo::kCanAutomate
                                                      : ParameterInfo::kIsReadOnly),
                  "bypass and meters" + row);
    }
    double v = -1;
    char16 typed[] = u"-16.0 LUFS", mode[] = u"2 LLiHLg", junk[] = u"loud";
    check(c->getParamValueByString(0, typed, v) == kResultOk && c->normalizedParamToPlain(0, v) == -16.0 &&
              c->getParamValueByString(7, mode, v) == kResultOk && v == static_cast<double>(2.0f / 3.0f) &&
              c->getParamValueByString(0, junk, v) != kResultOk,
          "text to value" + in(surround));
    check(c->setParamNormalized(7, 0.6) == kResultOk && c->getParamNormalized(7) == static_cast<double>(2.0f / 3.0f) &&
              c->setParamNormalized(0, kNaN) != kResultOk && c->getParamNormalized(0) == 0.5,
          "the mode snaps to 2/3, a NaN is ignored" + in(surround));
    check(c->getParameterInfo(params + 3, info) != kResultOk && c->getParamStringByValue(555, 0.5, shown) != kResultOk &&
              c->setParamNormalized(555, 0.5) != kResultOk && c->getParamNormalized(555) == 0.0 &&
              c->createView("not the editor") == nullptr,
          "unknown ids and views" + in(surround));
}

void checkProcessor(const Module& module, bool surround) {
    Plugin plugin(module, surround);
    check(plugin.ok(), "processor and controller" + in(surround));
    if (!plugin.ok()) return;
    checkParameters(plugin.controller, surround);
    IAudioProcessor* p = plugin.processor.get();
    TUID controllerId;
    BusInfo bus;
    check(plugin.component->getControllerClassId(controllerId) == kResultOk &&
              sameUid(controllerId, surround ? k51Controller : kStereoController) &&
              plugin.component->getBusInfo(kAudio, kInput, 0, bus) == kResultOk && bus.channelCount == plugin.channels &&
              plugin.component->getBusInfo(kAudio, kOutput, 1, bus) != kResultOk,
          "the processor names its controller; one bus each way" + in(surround));
    SpeakerArrangement ours = surround ? kArrangement51 : kArrangementStereo, two[] = {ours, ours},
                       other = surround ? kArrangementStereo : kArrangement51;
    ProcessSetup doubles{kRealtime, kSample64, 512, 44100.0}, noRate{kRealtime, kSample32, 512, kNaN};
    check(p->setBusArrangements(&ours, 1, &ours, 1) == kResultTrue && p->setBusArrangements(&other, 1, &other, 1) != kResultTrue &&
              p->setBusArrangements(two, 2, two, 2) != kResultTrue && p->canProcessSampleSize(kSample64) != kResultTrue &&
              p->setupProcessing(doubles) != kResultOk && p->setupProcessing(noRate) != kResultOk,
          "only the layout's arrangement, 32-bit floats, a rate" + in(surround));

    Block block(plugin.channels, 256, 0);
    for (auto& c : block.data) std::fill(c.begin(), c.end(), 1.0f);
    const tresult early = plugin.process(block.p(), block.p(), 256, nullptr);
    check(early != kResultOk && block.data[0][0] == 0.0f && block.data.back()[255] == 0.0f &&
              plugin.component->setState(nullptr) != kResultOk && plugin.component->getState(nullptr) != kResultOk,
          "silence and no success before activation; null streams" + in(surround));
    check(plugin.start(44100.0) == kResultOk && p->getLatencySamples() == 1560 &&
              plugin.process(nullptr, nullptr, 0, nullptr) == kResultOk,
          "latency at 44.1 kHz; a block of 0 frames" + in(surround));
    p->setProcessing(false), plugin.component->setActive(false);
    ProcessSetup at48{kRealtime, kSample32, 512, 48000.0};
    check(p->setupProcessing(at48) == kResultOk && p->getLatencySamples() == 1698, "latency at 48 kHz" + in(surround));
    plugin.component->terminate(), plugin.controller->terminate();
    check(plugin.handler.references == 1, "terminate releases the host's objects" + in(surround));
}

// The changes of block b of the rendered programme, some hostile.
void programmeChanges(int b, int32 frames, Changes& changes) {
    switch (b) {
        case 2: changes.add(2, 100, 0.75), changes.add(555, 10, 0.3), changes.add(0, 50, kNaN); break;
        case 4: changes.add(0, 0, 0.8), changes.add(7, frames - 1, 0.6); break;
        case 7: changes.add(6, 0, 0.25); break;  // with a block of 0 frames
        case 9: changes.add(1, 17, 0.2), changes.add(1, 300, 0.9), changes.add(3, 301, 0.1); break;
        case 12: changes.add(8, 5, 0.9), changes.add(5, -3, 0.4); break;
        case 14: changes.add(4, frames + 10, 0.3); break;  // beyond the block: from the next one
        default: break;
    }
}
int32 programmeFrames(int b) { return b == 7 ? 0 : b == 15 ? 9000 : 1 + (b * 1733) % 4096; }
constexpr int kProgrammeBlocks = 20;

// The programme, in place on odd blocks, as many hosts do.
std::vector<float> vst3Programme(Plugin& plugin) {
    plugin.start(44100.0);
    std::vector<float> out;
    for (int b = 0, position = 0; b < kProgrammeBlocks; position += programmeFrames(b++)) {
        const int32 frames = programmeFrames(b);
        Changes changes;
        programmeChanges(b, frames, changes);
        Block input(plugin.channels, frames, position, b), result(plugin.channels, frames, 0);
        Block& target = b % 2 ? input : result;
        plugin.process(frames ? input.p() : nullptr, frames ? target.p() : nullptr, frames, &changes);
        for (auto& c : target.data) out.insert(out.end(), c.begin(), c.begin() + frames);
    }
    return out;
}

#if !defined(_WIN32)
// The programme through the LADSPA plug-in, split at the same offsets, with
// the plain values the controller gives for the normalised ones.
std::vector<float> ladspaProgramme(const char* path, bool surround, IEditController* controller) {
    testhost::Library library(path);
    testhost::Instance plugin(library.descriptor(surround ? 2 : 1), 44100);
    const int channels = surround ? 6 : 2, params = surround ? 9 : 8;
    plugin.activate();
    std::vector<float> out;
    for (int b = 0, position = 0; b < kProgrammeBlocks; position += programmeFrames(b++)) {
        const int32 frames = programmeFrames(b);
        Changes changes;
        programmeChanges(b, frames, changes);
        std::multimap<int32, std::pair<ParamID, double>> points;  // by offset
        for (Queue& q : changes.queues)
            for (auto [offset, value] : q.points)
                if (q.id < static_cast<ParamID>(params) && !std::isnan(value)) points.insert({std::max(offset, 0), {q.id, value}});
        Block block(channels, frames, position, b);
        int32 done = 0;
        for (auto it = points.begin();; ++it) {
            const int32 until = it == points.end() ? frames : std::min(it->first, frames);
            for (int c = 0; until > done && c < channels; ++c)
                plugin.connect(params + 1 + 2 * c, block.p()[c] + done), plugin.connect(params + 2 + 2 * c, block.p()[c] + done);
            if (until > done) plugin.run(until - done), done = until;
            if (it == points.end()) break;
            plugin.control(it->second.first) =
                static_cast<float>(controller->normalizedParamToPlain(it->second.first, it->second.second));
        }
        for (auto& c : block.data) out.insert(out.end(), c.begin(), c.begin() + frames);
    }
    return out;
}
#endif

// Bypassed from frame `on` to frame `off`: the input delayed by exactly the
// latency there, the never-bypassed effect's bits everywhere else.
void checkBypass(const Module& module, bool surround) {
    Plugin bypassed(module, surround), reference(module, surround);
    bypassed.start(44100.0), reference.start(44100.0);
    const int32 frames = 2048, latency = 1560, on = 3 * frames + 1000, off = 8 * frames + 10;
    bool delayed = true, same = true;
    for (int b = 0; b < 12; ++b) {
        Block input(bypassed.channels, frames, b * frames), a(bypassed.channels, frames, 0), r(bypassed.channels, frames, 0);
        Changes changes;
        if (b == 3) changes.add(kBypass, 1000, 1.0);
        if (b == 8) changes.add(kBypass, 10, 0.0);
        bypassed.process(input.p(), a.p(), frames, &changes), reference.process(input.p(), r.p(), frames, nullptr);
        for (int c = 0; c < bypassed.channels; ++c)
            for (int i = 0, t = b * frames; i < frames; ++i, ++t)
                (t >= on && t < off ? delayed : same) &=
                    a.data[c][i] == (t >= on && t < off ? (t >= latency ? sampleAt(c, t - latency) : 0.0f) : r.data[c][i]);
    }
    check(delayed && same, "bypassed: the input delayed by the latency; else the effect's own bits" + in(surround));
}

// A fresh instance restored from another's state has its parameters and
// gives its audio; what is not such a state changes nothing.
void checkState(const Module& module, bool surround) {
    Plugin saved(module, surround), restored(module, surround);
    saved.start(48000.0), restored.start(48000.0);
    Changes changes, unbypass;
    for (const auto& [id, v] : std::map<ParamID, double>{{0, 0.3}, {2, 0.6}, {7, 0.9}, {8, 0.7}, {kBypass, 1.0}})
        changes.add(id, 0, v), saved.controller->setParamNormalized(id, v);
    saved.process(nullptr, nullptr, 0, &changes);
    Stream state, again, foreign, controllerState;
    saved.component->getState(&state), foreign.data = "orvanta-state 9\n";
    bool same = restored.restore(foreign) != kResultOk && restored.controller->getParamNormalized(0) == 0.5 &&
                restored.restore(state) == kResultOk && restored.component->getState(&again) == kResultOk &&
                again.data == state.data && saved.controller->getState(&controllerState) == kResultOk &&
                restored.controller->setState(&controllerState) == kResultOk;
    // The state keeps plain values: normalised ones come back on their step's middle.
    for (ParamID id : {0u, 1u, 2u, 7u, 8u, kBypass})
        same &= restored.controller->normalizedParamToPlain(id, restored.controller->getParamNormalized(id)) ==
                saved.controller->normalizedParamToPlain(id, saved.controller->getParamNormalized(id));
    unbypass.add(kBypass, 0, 0.0);
    for (int b = 0; b < 6; ++b) {
        Block s(saved.channels, 3000, b * 3000), r(saved.channels, 3000, b * 3000);
        saved.process(s.p(), s.p(), 3000, b ? nullptr : &unbypass), restored.process(r.p(), r.p(), 3000, b ? nullptr : &unbypass);
        same &= s.data == r.data;
    }
    check(same, "a foreign state refused; ours restores the parameters, bypass included, and the audio" + in(surround));
}

#if defined(_WIN32)
// The editor as an HWND view, attached into a host window twice while the
// host's message loop runs, and removed each time.
void checkWindowsEditor(const Module& module, bool surround) {
    Plugin plugin(module, surround);
    IPlugView* view = plugin.controller->createView("editor");
    HWND parent = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 480, 480, nullptr,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    for (int round = 0; round < 2; ++round) {
        const bool attached = view && parent && view->attached(parent, "HWND") == kResultOk;
        for (int t = 0; t < 30; ++t, Sleep(10)) {
            if (t == 10) plugin.controller->setParamNormalized(0, round);
            for (MSG m; PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE);) DispatchMessageA(&m);
        }
        check(attached && FindWindowExA(parent, nullptr, nullptr, nullptr) && view->removed() == kResultOk &&
                  !FindWindowExA(parent, nullptr, nullptr, nullptr),
              "an HWND view attached, shown, removed" + in(surround));
    }
    if (view) view->release();
    if (parent) DestroyWindow(parent);
}
#endif

}  // namespace

int main(int argc, char** argv) {
    std::FILE* output = argc >= 3 ? std::fopen(argv[2], "wb") : nullptr;
    if (!output) return std::fprintf(stderr, "usage: %s MODULE OUTPUT [LADSPA_LIBRARY]\n", argv[0]), 2;
    {
        Module module(argv[1]);
        check(module.entered && module.factory, "module entry and factory");
        if (!module.factory) return 1;
        checkFactory(module);
        for (bool surround : {false, true}) {
            checkProcessor(module, surround);
            Plugin plugin(module, surround);
            const std::vector<float> rendered = vst3Programme(plugin);
            std::fwrite(rendered.data(), sizeof(float), rendered.size(), output);
#if !defined(_WIN32)
            const std::vector<float> ladspa = argc > 3 ? ladspaProgramme(argv[3], surround, plugin.controller) : rendered;
            check(ladspa.size() == rendered.size() && !std::memcmp(ladspa.data(), rendered.data(), 4 * ladspa.size()),
                  "the LADSPA plug-in's bits" + in(surround));
#else
            checkWindowsEditor(module, surround);
#endif
            checkBypass(module, surround);
            checkState(module, surround);
        }
    }
    std::fclose(output);
    return programchecks::failures ? 1 : 0;
}
