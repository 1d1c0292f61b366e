// A small CLAP host for the tests, on Linux and Windows: a module's entry, a host record that records
// the timers and descriptors registered with it, event lists, memory streams, one plug-in instance.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "ClapAbi.h"

namespace claphost {

struct HostRecord {
    clap_host_t host{};
    bool mainThread = true;  // what thread-check answers
    int timers = 0;          // registered and not yet unregistered
    int descriptors = 0;

    HostRecord();
    static HostRecord& of(const clap_host_t* h) { return *static_cast<HostRecord*>(h->host_data); }
};

inline const clap_plugin_entry_t* loadEntry(const std::string& path) {
#if defined(_WIN32)
    HMODULE module = LoadLibraryA(path.c_str());
    return module ? reinterpret_cast<const clap_plugin_entry_t*>(GetProcAddress(module, "clap_entry")) : nullptr;
#else
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    return module ? static_cast<const clap_plugin_entry_t*>(dlsym(module, "clap_entry")) : nullptr;
#endif
}

namespace detail {
inline HostRecord& of(const clap_host_t* h) { return HostRecord::of(h); }
inline bool ORVANTA_CLAP_ABI isMain(const clap_host_t* h) { return of(h).mainThread; }
inline bool ORVANTA_CLAP_ABI isAudio(const clap_host_t* h) { return !of(h).mainThread; }
inline bool ORVANTA_CLAP_ABI addTimer(const clap_host_t* h, uint32_t, clap_id* id) { return *id = 7, ++of(h).timers; }
inline bool ORVANTA_CLAP_ABI removeTimer(const clap_host_t* h, clap_id) { return --of(h).timers >= 0; }
inline bool ORVANTA_CLAP_ABI addFd(const clap_host_t* h, int, uint32_t) { return ++of(h).descriptors; }
inline bool ORVANTA_CLAP_ABI modifyFd(const clap_host_t*, int, uint32_t) { return true; }
inline bool ORVANTA_CLAP_ABI removeFd(const clap_host_t* h, int) { return --of(h).descriptors >= 0; }
inline void ORVANTA_CLAP_ABI rescan(const clap_host_t*, uint32_t) {}
inline void ORVANTA_CLAP_ABI clear(const clap_host_t*, clap_id, uint32_t) {}
inline void ORVANTA_CLAP_ABI request(const clap_host_t*) {}

inline const void* ORVANTA_CLAP_ABI extension(const clap_host_t*, const char* id) {
    static const clap_host_thread_check_t threads{isMain, isAudio};
    static const clap_host_timer_support_t timers{addTimer, removeTimer};
    static const clap_host_posix_fd_support_t fds{addFd, modifyFd, removeFd};
    static const clap_host_params_t params{rescan, clear, request};
    const void* offered[] = {&threads, &timers, &fds, &params};
    const char* ids[] = {kClapExtThreadCheck, kClapExtTimerSupport, kClapExtPosixFdSupport, kClapExtParams};
    for (int i = 0; i < 4; ++i)
        if (!std::strcmp(id, ids[i])) return offered[i];
    return nullptr;
}
}  // namespace detail

inline HostRecord::HostRecord()
    : host{kClapVersion, this, "orvanta test host", "Veltrano", "", "1", detail::extension, detail::request,
           detail::request, detail::request} {}

// An input event list over parameter value events.
struct Events {
    std::vector<clap_event_param_value_t> values;
    clap_input_events_t list{this, size, get};

    void add(uint32_t time, clap_id id, double value) {
        values.push_back({{sizeof(clap_event_param_value_t), time, kClapCoreEventSpace, CLAP_EVENT_PARAM_VALUE, 0},
                          id, nullptr, -1, -1, -1, -1, value});
    }
    static uint32_t ORVANTA_CLAP_ABI size(const clap_input_events_t* l) { return of(l).size(); }
    static const clap_event_header_t* ORVANTA_CLAP_ABI get(const clap_input_events_t* l, uint32_t i) {
        return i < of(l).size() ? &of(l)[i].header : nullptr;
    }
    static std::vector<clap_event_param_value_t>& of(const clap_input_events_t* l) {
        return static_cast<Events*>(l->ctx)->values;
    }
};

// An output event list that keeps the parameter values pushed to it.
struct Output {
    std::vector<clap_event_param_value_t> values;
    clap_output_events_t list{this, push};
    static bool ORVANTA_CLAP_ABI push(const clap_output_events_t* l, const clap_event_header_t* e) {
        if (e->type == CLAP_EVENT_PARAM_VALUE)
            static_cast<Output*>(l->ctx)->values.push_back(*reinterpret_cast<const clap_event_param_value_t*>(e));
        return true;
    }
};

// Memory streams that move at most `chunk` bytes a call, as a host may.
struct Stream {
    std::string bytes;
    size_t position = 0;
    size_t chunk = 7;
    clap_ostream_t out{this, write};
    clap_istream_t in{this, read};

    static int64_t ORVANTA_CLAP_ABI write(const clap_ostream_t* s, const void* data, uint64_t n) {
        auto* self = static_cast<Stream*>(s->ctx);
        self->bytes.append(static_cast<const char*>(data), n = std::min<uint64_t>(n, self->chunk));
        return static_cast<int64_t>(n);
    }
    static int64_t ORVANTA_CLAP_ABI read(const clap_istream_t* s, void* data, uint64_t n) {
        auto* self = static_cast<Stream*>(s->ctx);
        n = std::min<uint64_t>({n, self->chunk, self->bytes.size() - self->position});
        std::memcpy(data, self->bytes.data() + self->position, n);
        self->position += n;
        return static_cast<int64_t>(n);
    }
};

// One instance, created and initialised; `plugin` is null when that failed.
struct Plugin {
    HostRecord host;
    const clap_plugin_t* plugin = nullptr;

    Plugin(const clap_plugin_factory_t* factory, const char* id) {
        plugin = factory->create_plugin(factory, &host.host, id);
        if (plugin && !plugin->init(plugin)) plugin = nullptr;
    }
    ~Plugin() {
        if (plugin) plugin->destroy(plugin);
    }
    template <typename Extension>
    const Extension* ext(const char* id) const {
        return static_cast<const Extension*>(plugin->get_extension(plugin, id));
    }
    // One block of planar buffers (channels * frames), in place.
    clap_process_status process(std::vector<std::vector<float>>& audio, uint32_t frames, Events* events,
                                Output* out = nullptr) {
        float* channels[8];  // no allocation here: the caller counts the plug-in's
        for (size_t c = 0; c < audio.size(); ++c) channels[c] = audio[c].data();
        clap_audio_buffer_t buffer{channels, nullptr, static_cast<uint32_t>(audio.size()), 0, 0};
        clap_process_t p{-1, frames, nullptr, &buffer, &buffer, 1, 1, events ? &events->list : nullptr,
                         out ? &out->list : nullptr};
        return plugin->process(plugin, &p);
    }
};

}  // namespace claphost
