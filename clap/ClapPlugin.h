// ClapPlugin: one CLAP plug-in instance (mono, stereo or 5.1) over a plug-in
// core. The host sees the clap_plugin_t record inside it; every callback of
// the record and of the extensions finds the instance through plugin_data.
//
// Threads. The host calls each callback on the thread the interface names
// for it (main, audio, or any). Nothing here trusts that:
//   - the audio-side callbacks (process, reset, params flush) and the
//     main-thread ones that change the engines' set-up (activate, deactivate,
//     destroy) take turns through one atomic state word. The audio side only
//     tries and gives up when the turn is taken (it never waits); the main
//     side waits for a running block to end. So no block ever runs while the
//     engines are re-derived, and nothing on the audio side locks or blocks;
//   - every other main-thread callback that touches instance state (the gui,
//     its timer and descriptor, the latency, state loading) holds a recursive
//     mutex, so two threads calling them at once take turns; the audio side
//     never takes it;
//   - the parameter values themselves are the core's, safe from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "ClapAbi.h"
#include "ClapDescriptors.h"
#include "EditEventQueue.h"
#include "PluginCore.h"

class ClapEditor;

class ClapPlugin {
public:
    // Any thread (the factory's create_plugin): a new instance for `host`,
    // or null without memory or without a usable host record. The host's
    // callbacks are not used before init.
    static const clap_plugin_t* create(const ClapPluginKind& kind, const clap_host_t* host);
    // The instance behind a record the host passes back; null for null.
    static ClapPlugin* from(const clap_plugin_t* plugin);

    ~ClapPlugin();
    ClapPlugin(const ClapPlugin&) = delete;
    ClapPlugin& operator=(const ClapPlugin&) = delete;

    // ---- the record's callbacks (ClapPlugin.cpp) ----
    bool init();
    void destroy();
    bool activate(double sampleRate);
    void deactivate();
    bool startProcessing();
    void reset();
    const void* extension(const char* id) const;

    // ---- processing (ClapProcess.cpp) ----
    clap_process_status process(const clap_process_t* process);
    void flush(const clap_input_events_t* in, const clap_output_events_t* out);

    // ---- params (ClapParams.cpp) ----
    uint32_t paramCount() const;
    bool paramInfo(uint32_t index, clap_param_info_t* info) const;
    bool paramValue(clap_id id, double* value) const;
    bool valueToText(clap_id id, double value, char* text, uint32_t capacity) const;
    bool textToValue(clap_id id, const char* text, double* value) const;

    // ---- ports, latency, state (ClapPlugin.cpp) ----
    uint32_t channels() const { return static_cast<uint32_t>(core_->channels()); }
    bool audioPortInfo(uint32_t index, bool isInput, clap_audio_port_info_t* info) const;
    uint32_t channelMap(uint32_t portIndex, uint8_t* map, uint32_t capacity) const;
    uint32_t latency();
    bool saveState(const clap_ostream_t* stream) const;
    bool loadState(const clap_istream_t* stream);

    // ---- what the gui binding uses (ClapGui.cpp) ----
    const ClapPluginKind& kind() const { return kind_; }
    const clap_host_t* host() const { return host_; }
    PluginCore& core() { return *core_; }
    std::recursive_mutex& mainLock() { return mainLock_; }
    // True unless the host's thread check says this is not its main thread.
    bool onMainThread() const;
    // The editor's gesture on a parameter, for the host's automation (main
    // thread); the value is applied to the core at once.
    void editBegin(ParamId id);
    void editValue(ParamId id, float normalised);
    void editEnd(ParamId id);
    // Rows the editor must redraw, set by any thread, taken by the gui.
    uint32_t takeChangedRows() { return changedRows_.exchange(0, std::memory_order_acq_rel); }
    ClapEditor* editor() { return editor_.get(); }
    void setEditor(std::unique_ptr<ClapEditor> editor);

    const clap_host_timer_support_t* hostTimers() const { return hostTimers_; }
    const clap_host_posix_fd_support_t* hostDescriptors() const { return hostDescriptors_; }

private:
    ClapPlugin(const ClapPluginKind& kind, const clap_host_t* host, std::unique_ptr<PluginCore> core);

    // The turn word: Inactive and Active are resting states; Busy means one
    // caller holds the turn (a block, a reset, a flush, or the main thread
    // re-deriving the engines).
    enum class Turn : int32_t { Inactive, Active, Busy };
    // Takes the turn from a resting state and answers that state; when
    // `wait` is false and the turn is taken, answers Busy without taking it.
    Turn takeTurn(bool wait);
    void giveTurn(Turn restingState) { turn_.store(restingState, std::memory_order_release); }

    // A host event (parameter value) applied to the core; true when a
    // parameter of this layout changed. Any thread, lock-free.
    bool applyEvent(const clap_event_header_t* event);
    void applyEvents(const clap_input_events_t* in);
    // The editor's gestures and values, sent to the host as output events
    // while it takes them. Audio thread, or main thread in an inactive flush.
    void sendEdits(const clap_output_events_t* out);
    // The meters, when they changed, as values at the block's last frame
    // (ClapParams.cpp). Audio thread.
    void sendMeters(const clap_output_events_t* out, uint32_t frames);
    void requestFlush() const;

    clap_plugin_t record_;
    const ClapPluginKind& kind_;
    const clap_host_t* host_;
    std::unique_ptr<PluginCore> core_;

    // Host extensions, queried in init (null where the host has none).
    const clap_host_params_t* hostParams_ = nullptr;
    const clap_host_thread_check_t* hostThreadCheck_ = nullptr;
    const clap_host_timer_support_t* hostTimers_ = nullptr;
    const clap_host_posix_fd_support_t* hostDescriptors_ = nullptr;

    std::atomic<Turn> turn_{Turn::Inactive};
    std::recursive_mutex mainLock_;
    std::atomic<uint32_t> changedRows_{0};
    EditEventQueue edits_;
    // The meter values the host was last sent; audio thread only.
    float sentMeters_[2] = {-1.0f, -1.0f};
    std::unique_ptr<ClapEditor> editor_;
};
