// Orvanta.clap as a host sees it, on Linux and under Wine: the factory, ids,
// features and ports, the parameters against the table, latency, a state
// round trip, hostile calls, and with a LADSPA library the bits against it.
//   clap_checks MODULE [LADSPA_LIBRARY]
//   clap_checks MODULE --editors (on $DISPLAY: the editors instead)
//   clap_checks MODULE OUT.raw   (writes the output of one programme instead)
#include <cmath>
#include <cstdio>
#include <string>
#include <tuple>

#if defined(ORVANTA_WITH_X11)
#include <X11/Xlib.h>
#endif

#include "ClapHost.h"
#include "ParamTable.h"
#include "ProgramChecks.h"
#if defined(ORVANTA_WITH_LADSPA)
#include "AllocationCounter.h"
#include "PluginHost.h"
#else
struct AllocationCounter { size_t allocations() const { return 0; } };  // Windows: not seen
#endif

using namespace claphost;

namespace {

int passed = 0;
void check(bool ok, const std::string& what) {
    passed += ok ? 1 : 0;
    programchecks::check(ok, what);
}

struct Kind { const char *id, *name, *feature; uint32_t channels; Layout layout; };
const Kind kKinds[] = {
    {"com.veltrano.orvanta.mono", "Orvanta Mono", "mono", 1, Layout::Mono},
    {"com.veltrano.orvanta.stereo", "Orvanta Stereo", "stereo", 2, Layout::Stereo},
    {"com.veltrano.orvanta.5dot1", "Orvanta 5.1", "surround", 6, Layout::Surround51},
};

const clap_plugin_params_t* params(const Plugin& p) { return p.ext<clap_plugin_params_t>(kClapExtParams); }
double value(const Plugin& p, clap_id id) {
    double v = -999.0;
    return params(p)->get_value(p.plugin, id, &v), v;
}

// A programme that is exactly the same on every platform: noise from an
// integer generator, quiet, then loud, different on every channel.
std::vector<std::vector<float>> programme(uint32_t channels, uint32_t frames, uint32_t seed) {
    std::vector<std::vector<float>> audio(channels, std::vector<float>(frames));
    uint32_t state = seed;
    for (uint32_t ch = 0; ch < channels; ++ch)
        for (uint32_t i = 0; i < frames; ++i) {
            state = state * 1664525u + 1013904223u;
            const float level = (i + seed) % 8192 < 4096 ? 0.05f : 0.9f;
            audio[ch][i] = level * (static_cast<float>(static_cast<int32_t>(state >> 8) - (1 << 23)) / (1 << 23));
        }
    return audio;
}

// Three blocks of the programme; the second carries these changes.
constexpr uint32_t kBlock = 4096;
struct Change { uint32_t frame; ParamId id; float value; };
const Change kChanges[] = {{1000, ParamId::MaxGain, 12.0f}, {3000, ParamId::CorrMixMode, 3.0f},
                           {3000, ParamId::TargetLevel, -14.0f}};

// Every block's output, appended. At 44.1 kHz: the instance, made at 48 kHz, is re-derived.
std::vector<float> render(Plugin& p, const Kind& kind) {
    std::vector<float> all;
    p.plugin->activate(p.plugin, 44100.0, 1, kBlock);
    p.plugin->start_processing(p.plugin);
    for (uint32_t block = 0; block < 3; ++block) {
        auto audio = programme(kind.channels, kBlock, block + 1);
        Events events;
        for (const Change& c : kChanges)
            if (block == 1) events.add(c.frame, static_cast<clap_id>(c.id), c.value);
        p.process(audio, kBlock, &events);
        for (auto& channel : audio) all.insert(all.end(), channel.begin(), channel.end());
    }
    return all;
}

#if defined(ORVANTA_WITH_LADSPA)
// The same through the LADSPA plug-in, its runs split at the changes.
std::vector<float> renderLadspa(const testhost::Library& library, const Kind& kind, uint32_t index) {
    testhost::Instance ladspa(library.descriptor(index), 44100);
    const unsigned long firstAudio = static_cast<unsigned long>(paramCount(kind.layout)) + 1;
    std::vector<float> all;
    for (uint32_t block = 0; block < 3; ++block) {
        auto audio = programme(kind.channels, kBlock, block + 1);
        uint32_t done = 0;
        auto runTo = [&](uint32_t frame) {
            for (uint32_t ch = 0; ch < kind.channels && frame > done; ++ch) {
                ladspa.connect(firstAudio + 2 * ch, audio[ch].data() + done);
                ladspa.connect(firstAudio + 2 * ch + 1, audio[ch].data() + done);
            }
            if (frame > done) ladspa.run(frame - done);
            done = frame;
        };
        for (const Change& c : kChanges) {
            if (block != 1) continue;
            runTo(c.frame);
            ladspa.control(static_cast<unsigned long>(c.id)) = c.value;
        }
        runTo(kBlock);
        for (auto& channel : audio) all.insert(all.end(), channel.begin(), channel.end());
    }
    return all;
}
#endif

void checkKind(const clap_plugin_factory_t* factory, const Kind& kind, uint32_t index) {
    const std::string at = std::string(" of ") + kind.name;
    const clap_plugin_descriptor_t* d = factory->get_plugin_descriptor(factory, index);
    check(d && !std::strcmp(d->id, kind.id) && !std::strcmp(d->name, kind.name) &&
              !std::strcmp(d->vendor, "Veltrano") && !std::strcmp(d->version, "1.15"),
          "id, name, vendor, version" + at);
    check(d && !std::strcmp(d->features[0], "audio-effect") && !std::strcmp(d->features[1], "limiter") &&
              !std::strcmp(d->features[2], kind.feature) && !d->features[3], "features" + at);

    Plugin p(factory, kind.id);
    if (!p.plugin) return check(false, "created" + at);
    const auto* ports = p.ext<clap_plugin_audio_ports_t>(kClapExtAudioPorts);
    clap_audio_port_info_t port{};
    for (bool input : {true, false})
        check(ports->count(p.plugin, input) == 1 && ports->get(p.plugin, 0, input, &port) &&
                  port.channel_count == kind.channels && port.flags == kClapAudioPortIsMain &&
                  !std::strcmp(port.port_type, kind.feature) && !ports->get(p.plugin, 1, input, &port), "port" + at);
    const auto* surround = p.ext<clap_plugin_surround_t>(kClapExtSurround);
    uint8_t map[8] = {};
    check(kind.channels == 6 ? surround && surround->get_channel_map(p.plugin, true, 0, map, 8) == 6 &&
                                   map[0] == 0 && map[3] == 3 && map[5] == 5 &&
                                   surround->get_channel_map(p.plugin, true, 0, map, 5) == 0
                             : surround == nullptr,
          "surround channel map" + at);
    check(!p.ext<void>("clap.note-ports") && !p.ext<void>("clap.render") && !p.ext<void>(""), "others" + at);

    // The parameters: the table's rows, then the two read-only meters.
    const auto* params = ::params(p);
    const auto rows = static_cast<uint32_t>(paramCount(kind.layout));
    check(params->count(p.plugin) == rows + 2, "parameter count" + at);
    for (uint32_t i = 0; i < rows + 2; ++i) {
        clap_param_info_t info{};
        const std::string row = " row " + std::to_string(i) + at;
        if (!params->get_info(p.plugin, i, &info)) {
            check(false, "info" + row);
        } else if (i < rows) {
            const ParamInfo& t = paramTable[i];
            check(info.id == i && !std::strcmp(info.name, t.vstName) && info.min_value == t.lower &&
                      info.max_value == t.upper && info.default_value == t.engineDefault &&
                      value(p, i) == t.engineDefault &&
                      ((info.flags & CLAP_PARAM_IS_STEPPED) != 0) == (t.stepCount > 0),
                  "bounds, default, steps" + row);
            char text[64], expected[64];
            formatValueWithUnit(static_cast<ParamId>(i), t.engineDefault, expected, sizeof expected);
            check(params->value_to_text(p.plugin, i, t.engineDefault, text, 64) && !std::strcmp(text, expected) &&
                      !params->value_to_text(p.plugin, i, NAN, text, 64), "display text" + row);
        } else {
            check((info.flags & CLAP_PARAM_IS_READONLY) && value(p, info.id) == 0.0 &&
                      !params->text_to_value(p.plugin, info.id, "1", nullptr),
                  "read-only meter" + row);
        }
    }
    double v = 0.0, m = 0.0;
    check(params->text_to_value(p.plugin, 0, "-16.5 LUFS", &v) && params->text_to_value(p.plugin, 7, "LLiHLg", &m) &&
              v == -16.5 && m == 2.0 && !params->text_to_value(p.plugin, 0, "loud", &v), "text to value" + at);

    // Hostile events: NaN, an unknown id, the meters, out of order and
    // beyond the block; huge values are the bounds.
    Events hostile;
    for (auto [time, id, v] : {std::tuple{900u, 0u, double(NAN)}, {5u, 12345u, 1.0}, {3u, 100u, 5.0},
                               {1u << 30, 1u, -1e300}, {0u, 7u, 2.7}})
        hostile.add(time, id, v);
    params->flush(p.plugin, &hostile.list, nullptr);
    check(value(p, 0) == -20.0 && value(p, 100) == 0.0 && value(p, 1) == -5.0 && value(p, 7) == 2.0,
          "hostile values" + at);

    // Process before activate fails cleanly and leaves silence.
    auto audio = programme(kind.channels, 64, 9);
    check(p.process(audio, 64, nullptr) == CLAP_PROCESS_ERROR && audio[0][10] == 0.0f, "process inactive" + at);
    const auto* latency = p.ext<clap_plugin_latency_t>(kClapExtLatency);
    // Activation cycles over the whole range of rates and beyond; every block,
    // 0 frames included, with the hostile events comes out finite and
    // allocates nothing; a block without buffers fails.
    bool finite = !p.plugin->activate(p.plugin, NAN, 1, 64) && !p.plugin->activate(p.plugin, 0.0, 1, 64);
    clap_process_t noBuffers{-1, 64, nullptr, nullptr, nullptr, 0, 0, nullptr, nullptr};
    for (double rate : {8000.0, 22050.0, 44100.0, 48000.0, 96000.0, 192000.0, 384000.0, 1.0, 1e7}) {
        finite = finite && p.plugin->activate(p.plugin, rate, 1, 512) && !p.plugin->activate(p.plugin, rate, 1, 8);
        if (rate == 44100.0) check(latency->get(p.plugin) == 1560, "latency at 44.1 kHz" + at);
        if (rate == 48000.0) check(latency->get(p.plugin) == 1698, "latency at 48 kHz" + at);
        audio = programme(kind.channels, 512, 3);
        AllocationCounter counter;
        finite = finite && p.process(audio, 0, &hostile) == CLAP_PROCESS_CONTINUE &&
                 p.process(audio, 512, &hostile) == CLAP_PROCESS_CONTINUE && counter.allocations() == 0 &&
                 p.plugin->process(p.plugin, &noBuffers) == CLAP_PROCESS_ERROR && !p.plugin->process(p.plugin, nullptr);
        p.plugin->reset(p.plugin);
        for (auto& c : audio)
            for (float s : c) finite = finite && std::isfinite(s);
        p.plugin->deactivate(p.plugin);
    }
    check(finite, "no rate refused, activation cycles at 1 Hz..10 MHz, hostile blocks" + at);
    // The meters reach the host as values at the block's end, not recorded.
    Output out;
    p.plugin->activate(p.plugin, 48000.0, 1, 512);
    p.process(audio, 512, nullptr, &out);
    check(out.values.size() == 2 && out.values[0].param_id == 100 && out.values[1].param_id == 101 &&
              out.values[1].header.time == 511 && out.values[1].header.flags == kClapEventDontRecord, "meters sent" + at);
    p.plugin->deactivate(p.plugin);

    // State: written and read in small pieces; a broken one changes nothing.
    const auto* state = p.ext<clap_plugin_state_t>(kClapExtState);
    Stream saved;
    Plugin copy(factory, kind.id);
    const auto* copyState = copy.ext<clap_plugin_state_t>(kClapExtState);
    check(state->save(p.plugin, &saved.out) && copyState->load(copy.plugin, &saved.in) && value(copy, 1) == -5.0 &&
              value(copy, 7) == 2.0, "state saved and restored" + at);
    Stream broken;
    broken.bytes = "orvanta-state 1\ntrue_peak=nan\n";
    check(!copyState->load(copy.plugin, &broken.in) && value(copy, 1) == -5.0, "broken state refused" + at);

    // Main-thread callbacks from another thread: the gui is refused.
    const auto* gui = copy.ext<clap_plugin_gui_t>(kClapExtGui);
    copy.host.mainThread = false;
    check(!gui->create(copy.plugin, "x11", false) && !gui->create(copy.plugin, "win32", false),
          "gui refused off the main thread" + at);
}

#if defined(ORVANTA_WITH_X11)
// The editors as an X11 host drives them: create, set parent, show, hide,
// destroy, twice, following the registrations and the child window.
unsigned int children(Display* display, Window parent) {
    XSync(display, False);
    Window root, up, *list = nullptr;
    unsigned int count = 0;
    XQueryTree(display, parent, &root, &up, &list, &count);
    if (list) XFree(list);
    return count;
}


void checkEditors(const clap_plugin_factory_t* factory, Display* display) {
    const Window parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 400, 440, 0, 0, 0);
    XMapWindow(display, parent);
    XSync(display, False);  // the plug-in looks for the window on a connection of its own
    for (uint32_t index = 0; index < 3; ++index) {
        Plugin p(factory, kKinds[index].id);
        const auto* gui = p.ext<clap_plugin_gui_t>(kClapExtGui);
        const auto* timer = p.ext<clap_plugin_timer_support_t>(kClapExtTimerSupport);
        const auto* fd = p.ext<clap_plugin_posix_fd_support_t>(kClapExtPosixFdSupport);
        const std::string at = std::string(" of ") + kKinds[index].name;
        check(gui && timer && fd && gui->is_api_supported(p.plugin, "x11", false) &&
                  !gui->is_api_supported(p.plugin, "x11", true) && !gui->is_api_supported(p.plugin, "cocoa", false),
              "window APIs" + at);
        for (int round = 0; round < 2; ++round) {
            const std::string when = at + ", round " + std::to_string(round + 1);
            uint32_t width = 0, height = 0;
            check(gui->create(p.plugin, "x11", false) && p.host.timers == 1 &&
                      gui->get_size(p.plugin, &width, &height) && width == 380 && height == (index == 2 ? 420 : 390) &&
                      !gui->can_resize(p.plugin) && !gui->set_size(p.plugin, 500, 500),
                  "created, fixed size, timer registered" + when);
            clap_window_t window{"x11", {}};
            window.x11 = parent;
            check(gui->set_parent(p.plugin, &window) && children(display, parent) == 1 && p.host.descriptors == 1,
                  "embedded, display connection watched" + when);
            check(gui->show(p.plugin) && children(display, parent) == 1, "shown" + when);
            timer->on_timer(p.plugin, 7);
            fd->on_fd(p.plugin, 0, kClapPosixFdRead);
            check(gui->hide(p.plugin) && children(display, parent) == 0 && p.host.descriptors == 0,
                  "hidden, connection no longer watched" + when);
            check(gui->show(p.plugin) && children(display, parent) == 1 && p.host.descriptors == 1, "shown again" + when);
            gui->destroy(p.plugin);
            check(children(display, parent) == 0 && p.host.descriptors == 0 && p.host.timers == 0,
                  "destroyed, nothing left registered" + when);
            timer->on_timer(p.plugin, 7);  // after destroy: no editor, no display touched
            fd->on_fd(p.plugin, 0, kClapPosixFdRead);
        }
    }
}
#endif

}  // namespace

int main(int argc, char** argv) {
    const clap_plugin_entry_t* entry = argc > 1 ? loadEntry(argv[1]) : nullptr;
    if (!entry || !entry->init(argv[1])) {
        std::fprintf(stderr, "usage: clap_checks MODULE.clap [LADSPA_LIBRARY | OUT.raw]\n");
        return 2;
    }
    const auto* factory = static_cast<const clap_plugin_factory_t*>(entry->get_factory(kClapPluginFactoryId));
    const std::string second = argc > 2 ? argv[2] : "";
    if (second.size() > 4 && second.compare(second.size() - 4, 4, ".raw") == 0) {
        FILE* out = std::fopen(second.c_str(), "wb");
        for (const Kind& kind : kKinds) {
            Plugin p(factory, kind.id);
            const std::vector<float> samples = render(p, kind);
            if (out) std::fwrite(samples.data(), sizeof(float), samples.size(), out);
        }
        return out && std::fclose(out) == 0 ? 0 : 1;
    }

#if defined(ORVANTA_WITH_X11)
    if (second == "--editors") {
        Display* display = XOpenDisplay(nullptr);
        if (display) checkEditors(factory, display), XCloseDisplay(display);
        check(display != nullptr, "an X display");
        return std::printf("%d passed, %d failed\n", passed, programchecks::failures), programchecks::failures != 0;
    }
#endif
    HostRecord host;
    check(entry->clap_version.major == 1 && entry->get_factory("clap.preset-discovery-factory/2") == nullptr,
          "entry");
    check(factory && factory->get_plugin_count(factory) == 3 && !factory->get_plugin_descriptor(factory, 3) &&
              !factory->create_plugin(factory, &host.host, "com.veltrano.orvanta.7dot1") &&
              !factory->create_plugin(factory, nullptr, kKinds[0].id),
          "factory");
    for (uint32_t i = 0; i < 3; ++i) checkKind(factory, kKinds[i], i);
#if defined(ORVANTA_WITH_LADSPA)
    if (argc > 2) {
        testhost::Library ladspa(argv[2]);
        for (uint32_t i = 0; i < 3; ++i) {
            Plugin p(factory, kKinds[i].id);
            const std::vector<float> clap = render(p, kKinds[i]), port = renderLadspa(ladspa, kKinds[i], i);
            check(clap.size() == port.size() && !std::memcmp(clap.data(), port.data(), clap.size() * sizeof(float)),
                  std::string("bits of LADSPA with events at frames 1000 and 3000 for ") + kKinds[i].name);
        }
    }
#endif
    entry->deinit();
    return std::printf("%d passed, %d failed\n", passed, programchecks::failures), programchecks::failures != 0;
}
