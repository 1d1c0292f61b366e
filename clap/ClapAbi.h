// Our declarations of the CLAP plug-in interface, as far as the Orvanta
// plug-ins use it: the entry, the plug-in factory, the plug-in and host
// records, processing with its audio buffers and events, streams, and the
// extensions audio-ports, surround, params, latency, state, gui,
// timer-support, posix-fd-support and thread-check. Written from the
// published interface (MIT-licensed); the layouts, ids and constants are the
// ABI and must not change. Names follow the published C names, so a reader
// who knows the interface finds every field.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define ORVANTA_CLAP_ABI __cdecl
#else
#define ORVANTA_CLAP_ABI
#endif

extern "C" {

// ---------------------------------------------------------------- basics

struct clap_version_t {
    uint32_t major;
    uint32_t minor;
    uint32_t revision;
};
// The interface revision our records are written against. Hosts accept every
// 1.x plug-in; we accept every 1.x host.
constexpr clap_version_t kClapVersion{1, 2, 0};
inline bool clapVersionIsCompatible(const clap_version_t& v) { return v.major >= 1; }

using clap_id = uint32_t;
constexpr clap_id kClapInvalidId = UINT32_MAX;

// Capacities of the fixed text fields.
constexpr uint32_t kClapNameSize = 256;
constexpr uint32_t kClapPathSize = 1024;

// ---------------------------------------------------------------- host

struct clap_host_t {
    clap_version_t clap_version;
    void* host_data;
    const char* name;
    const char* vendor;
    const char* url;
    const char* version;
    const void*(ORVANTA_CLAP_ABI* get_extension)(const clap_host_t* host, const char* extension_id);
    void(ORVANTA_CLAP_ABI* request_restart)(const clap_host_t* host);
    void(ORVANTA_CLAP_ABI* request_process)(const clap_host_t* host);
    void(ORVANTA_CLAP_ABI* request_callback)(const clap_host_t* host);
};

// ---------------------------------------------------------------- events

struct clap_event_header_t {
    uint32_t size;      // bytes of the whole event, this header included
    uint32_t time;      // frame offset within the block
    uint16_t space_id;  // kClapCoreEventSpace for the events below
    uint16_t type;
    uint32_t flags;
};
constexpr uint16_t kClapCoreEventSpace = 0;
// A value the host shows but does not record as automation.
constexpr uint32_t kClapEventDontRecord = 1u << 1;

enum : uint16_t {
    CLAP_EVENT_PARAM_VALUE = 5,
    CLAP_EVENT_PARAM_MOD = 6,
    CLAP_EVENT_PARAM_GESTURE_BEGIN = 7,
    CLAP_EVENT_PARAM_GESTURE_END = 8,
};

struct clap_event_param_value_t {
    clap_event_header_t header;
    clap_id param_id;
    void* cookie;
    int32_t note_id;  // -1: not tied to a note, and so for port, channel and key
    int16_t port_index;
    int16_t channel;
    int16_t key;
    double value;
};

struct clap_event_param_gesture_t {
    clap_event_header_t header;
    clap_id param_id;
};

struct clap_input_events_t {
    void* ctx;
    uint32_t(ORVANTA_CLAP_ABI* size)(const clap_input_events_t* list);
    const clap_event_header_t*(ORVANTA_CLAP_ABI* get)(const clap_input_events_t* list, uint32_t index);
};

struct clap_output_events_t {
    void* ctx;
    bool(ORVANTA_CLAP_ABI* try_push)(const clap_output_events_t* list, const clap_event_header_t* event);
};

// ---------------------------------------------------------------- processing

struct clap_audio_buffer_t {
    float** data32;
    double** data64;
    uint32_t channel_count;
    uint32_t latency;
    uint64_t constant_mask;
};

struct clap_event_transport_t;  // never read

struct clap_process_t {
    int64_t steady_time;
    uint32_t frames_count;
    const clap_event_transport_t* transport;
    const clap_audio_buffer_t* audio_inputs;
    clap_audio_buffer_t* audio_outputs;
    uint32_t audio_inputs_count;
    uint32_t audio_outputs_count;
    const clap_input_events_t* in_events;
    const clap_output_events_t* out_events;
};

using clap_process_status = int32_t;
enum : int32_t {
    CLAP_PROCESS_ERROR = 0,
    CLAP_PROCESS_CONTINUE = 1,
};

// ---------------------------------------------------------------- plug-in

struct clap_plugin_descriptor_t {
    clap_version_t clap_version;
    const char* id;
    const char* name;
    const char* vendor;
    const char* url;
    const char* manual_url;
    const char* support_url;
    const char* version;
    const char* description;
    const char* const* features;  // null-terminated
};

struct clap_plugin_t {
    const clap_plugin_descriptor_t* desc;
    void* plugin_data;
    bool(ORVANTA_CLAP_ABI* init)(const clap_plugin_t* plugin);
    void(ORVANTA_CLAP_ABI* destroy)(const clap_plugin_t* plugin);
    bool(ORVANTA_CLAP_ABI* activate)(const clap_plugin_t* plugin, double sample_rate, uint32_t min_frames,
                                     uint32_t max_frames);
    void(ORVANTA_CLAP_ABI* deactivate)(const clap_plugin_t* plugin);
    bool(ORVANTA_CLAP_ABI* start_processing)(const clap_plugin_t* plugin);
    void(ORVANTA_CLAP_ABI* stop_processing)(const clap_plugin_t* plugin);
    void(ORVANTA_CLAP_ABI* reset)(const clap_plugin_t* plugin);
    clap_process_status(ORVANTA_CLAP_ABI* process)(const clap_plugin_t* plugin, const clap_process_t* process);
    const void*(ORVANTA_CLAP_ABI* get_extension)(const clap_plugin_t* plugin, const char* id);
    void(ORVANTA_CLAP_ABI* on_main_thread)(const clap_plugin_t* plugin);
};

// ---------------------------------------------------------------- entry and factory

constexpr const char* kClapPluginFactoryId = "clap.plugin-factory";

struct clap_plugin_factory_t {
    uint32_t(ORVANTA_CLAP_ABI* get_plugin_count)(const clap_plugin_factory_t* factory);
    const clap_plugin_descriptor_t*(ORVANTA_CLAP_ABI* get_plugin_descriptor)(const clap_plugin_factory_t* factory,
                                                                             uint32_t index);
    const clap_plugin_t*(ORVANTA_CLAP_ABI* create_plugin)(const clap_plugin_factory_t* factory,
                                                          const clap_host_t* host, const char* plugin_id);
};

struct clap_plugin_entry_t {
    clap_version_t clap_version;
    bool(ORVANTA_CLAP_ABI* init)(const char* plugin_path);
    void(ORVANTA_CLAP_ABI* deinit)();
    const void*(ORVANTA_CLAP_ABI* get_factory)(const char* factory_id);
};

// ---------------------------------------------------------------- streams

struct clap_istream_t {
    void* ctx;
    // Bytes read; 0 at the end, -1 on an error.
    int64_t(ORVANTA_CLAP_ABI* read)(const clap_istream_t* stream, void* buffer, uint64_t size);
};

struct clap_ostream_t {
    void* ctx;
    // Bytes written; -1 on an error.
    int64_t(ORVANTA_CLAP_ABI* write)(const clap_ostream_t* stream, const void* buffer, uint64_t size);
};

// ---------------------------------------------------------------- audio-ports

constexpr const char* kClapExtAudioPorts = "clap.audio-ports";
constexpr const char* kClapPortMono = "mono";
constexpr const char* kClapPortStereo = "stereo";
constexpr uint32_t kClapAudioPortIsMain = 1u << 0;

struct clap_audio_port_info_t {
    clap_id id;
    char name[kClapNameSize];
    uint32_t flags;
    uint32_t channel_count;
    const char* port_type;
    clap_id in_place_pair;
};

struct clap_plugin_audio_ports_t {
    uint32_t(ORVANTA_CLAP_ABI* count)(const clap_plugin_t* plugin, bool is_input);
    bool(ORVANTA_CLAP_ABI* get)(const clap_plugin_t* plugin, uint32_t index, bool is_input,
                                clap_audio_port_info_t* info);
};

// ---------------------------------------------------------------- surround

// The stable id and the draft id that earlier hosts ask for; one layout.
constexpr const char* kClapExtSurround = "clap.surround/4";
constexpr const char* kClapExtSurroundDraft = "clap.surround.draft/4";
constexpr const char* kClapPortSurround = "surround";

enum : uint8_t {
    CLAP_SURROUND_FL = 0,
    CLAP_SURROUND_FR = 1,
    CLAP_SURROUND_FC = 2,
    CLAP_SURROUND_LFE = 3,
    CLAP_SURROUND_BL = 4,
    CLAP_SURROUND_BR = 5,
};

struct clap_plugin_surround_t {
    bool(ORVANTA_CLAP_ABI* is_channel_mask_supported)(const clap_plugin_t* plugin, uint64_t channel_mask);
    uint32_t(ORVANTA_CLAP_ABI* get_channel_map)(const clap_plugin_t* plugin, bool is_input, uint32_t port_index,
                                                uint8_t* channel_map, uint32_t channel_map_capacity);
};

// ---------------------------------------------------------------- params

constexpr const char* kClapExtParams = "clap.params";

enum : uint32_t {
    CLAP_PARAM_IS_STEPPED = 1u << 0,
    CLAP_PARAM_IS_READONLY = 1u << 3,
    CLAP_PARAM_IS_AUTOMATABLE = 1u << 5,
    CLAP_PARAM_IS_ENUM = 1u << 16,
};

struct clap_param_info_t {
    clap_id id;
    uint32_t flags;
    void* cookie;
    char name[kClapNameSize];
    char module[kClapPathSize];
    double min_value;
    double max_value;
    double default_value;
};

struct clap_plugin_params_t {
    uint32_t(ORVANTA_CLAP_ABI* count)(const clap_plugin_t* plugin);
    bool(ORVANTA_CLAP_ABI* get_info)(const clap_plugin_t* plugin, uint32_t param_index, clap_param_info_t* info);
    bool(ORVANTA_CLAP_ABI* get_value)(const clap_plugin_t* plugin, clap_id param_id, double* value);
    bool(ORVANTA_CLAP_ABI* value_to_text)(const clap_plugin_t* plugin, clap_id param_id, double value,
                                          char* text, uint32_t capacity);
    bool(ORVANTA_CLAP_ABI* text_to_value)(const clap_plugin_t* plugin, clap_id param_id, const char* text,
                                          double* value);
    void(ORVANTA_CLAP_ABI* flush)(const clap_plugin_t* plugin, const clap_input_events_t* in,
                                  const clap_output_events_t* out);
};

constexpr uint32_t kClapParamRescanValues = 1u << 0;

struct clap_host_params_t {
    void(ORVANTA_CLAP_ABI* rescan)(const clap_host_t* host, uint32_t flags);
    void(ORVANTA_CLAP_ABI* clear)(const clap_host_t* host, clap_id param_id, uint32_t flags);
    void(ORVANTA_CLAP_ABI* request_flush)(const clap_host_t* host);
};

// ---------------------------------------------------------------- latency, state

constexpr const char* kClapExtLatency = "clap.latency";

struct clap_plugin_latency_t {
    uint32_t(ORVANTA_CLAP_ABI* get)(const clap_plugin_t* plugin);
};

constexpr const char* kClapExtState = "clap.state";

struct clap_plugin_state_t {
    bool(ORVANTA_CLAP_ABI* save)(const clap_plugin_t* plugin, const clap_ostream_t* stream);
    bool(ORVANTA_CLAP_ABI* load)(const clap_plugin_t* plugin, const clap_istream_t* stream);
};

// ---------------------------------------------------------------- gui

constexpr const char* kClapExtGui = "clap.gui";
constexpr const char* kClapWindowApiWin32 = "win32";
constexpr const char* kClapWindowApiX11 = "x11";

struct clap_window_t {
    const char* api;
    union {
        void* cocoa;
        void* uikit;
        unsigned long x11;
        void* win32;
        void* ptr;
    };
};

struct clap_gui_resize_hints_t {
    bool can_resize_horizontally;
    bool can_resize_vertically;
    bool preserve_aspect_ratio;
    uint32_t aspect_ratio_width;
    uint32_t aspect_ratio_height;
};

struct clap_plugin_gui_t {
    bool(ORVANTA_CLAP_ABI* is_api_supported)(const clap_plugin_t* plugin, const char* api, bool is_floating);
    bool(ORVANTA_CLAP_ABI* get_preferred_api)(const clap_plugin_t* plugin, const char** api, bool* is_floating);
    bool(ORVANTA_CLAP_ABI* create)(const clap_plugin_t* plugin, const char* api, bool is_floating);
    void(ORVANTA_CLAP_ABI* destroy)(const clap_plugin_t* plugin);
    bool(ORVANTA_CLAP_ABI* set_scale)(const clap_plugin_t* plugin, double scale);
    bool(ORVANTA_CLAP_ABI* get_size)(const clap_plugin_t* plugin, uint32_t* width, uint32_t* height);
    bool(ORVANTA_CLAP_ABI* can_resize)(const clap_plugin_t* plugin);
    bool(ORVANTA_CLAP_ABI* get_resize_hints)(const clap_plugin_t* plugin, clap_gui_resize_hints_t* hints);
    bool(ORVANTA_CLAP_ABI* adjust_size)(const clap_plugin_t* plugin, uint32_t* width, uint32_t* height);
    bool(ORVANTA_CLAP_ABI* set_size)(const clap_plugin_t* plugin, uint32_t width, uint32_t height);
    bool(ORVANTA_CLAP_ABI* set_parent)(const clap_plugin_t* plugin, const clap_window_t* window);
    bool(ORVANTA_CLAP_ABI* set_transient)(const clap_plugin_t* plugin, const clap_window_t* window);
    void(ORVANTA_CLAP_ABI* suggest_title)(const clap_plugin_t* plugin, const char* title);
    bool(ORVANTA_CLAP_ABI* show)(const clap_plugin_t* plugin);
    bool(ORVANTA_CLAP_ABI* hide)(const clap_plugin_t* plugin);
};

// ---------------------------------------------------------------- timers, descriptors, threads

constexpr const char* kClapExtTimerSupport = "clap.timer-support";

struct clap_plugin_timer_support_t {
    void(ORVANTA_CLAP_ABI* on_timer)(const clap_plugin_t* plugin, clap_id timer_id);
};

struct clap_host_timer_support_t {
    bool(ORVANTA_CLAP_ABI* register_timer)(const clap_host_t* host, uint32_t period_ms, clap_id* timer_id);
    bool(ORVANTA_CLAP_ABI* unregister_timer)(const clap_host_t* host, clap_id timer_id);
};

constexpr const char* kClapExtPosixFdSupport = "clap.posix-fd-support";
constexpr uint32_t kClapPosixFdRead = 1u << 0;
constexpr uint32_t kClapPosixFdError = 1u << 2;

struct clap_plugin_posix_fd_support_t {
    void(ORVANTA_CLAP_ABI* on_fd)(const clap_plugin_t* plugin, int fd, uint32_t flags);
};

struct clap_host_posix_fd_support_t {
    bool(ORVANTA_CLAP_ABI* register_fd)(const clap_host_t* host, int fd, uint32_t flags);
    bool(ORVANTA_CLAP_ABI* modify_fd)(const clap_host_t* host, int fd, uint32_t flags);
    bool(ORVANTA_CLAP_ABI* unregister_fd)(const clap_host_t* host, int fd);
};

constexpr const char* kClapExtThreadCheck = "clap.thread-check";

struct clap_host_thread_check_t {
    bool(ORVANTA_CLAP_ABI* is_main_thread)(const clap_host_t* host);
    bool(ORVANTA_CLAP_ABI* is_audio_thread)(const clap_host_t* host);
};

}  // extern "C"
