#include "ClapPlugin.h"

#include <cmath>
#include <cstring>
#include <new>
#include <thread>

#include "ClapExtensions.h"
#include "ClapGui.h"

namespace {

// The rate a core runs at until the host activates it; parameters, state and
// the editor work before that.
constexpr float kRateBeforeActivationHz = 48000.0f;

// ---------------------------------------------------------------- record callbacks

// Main thread, once, after create_plugin: the host's extensions are looked up.
bool ORVANTA_CLAP_ABI pluginInit(const clap_plugin_t* plugin) {
    ClapPlugin* self = ClapPlugin::from(plugin);
    return self && self->init();
}

// Main thread, after deactivate (a host that skipped it is deactivated here):
// the gui, the engines and the instance go.
void ORVANTA_CLAP_ABI pluginDestroy(const clap_plugin_t* plugin) {
    if (ClapPlugin* self = ClapPlugin::from(plugin)) self->destroy();
}

// Main thread, while inactive: the engines take the host's rate (this
// allocates) and start from silence. The frame counts are not needed: any
// block length is processed.
bool ORVANTA_CLAP_ABI pluginActivate(const clap_plugin_t* plugin, double rate, uint32_t, uint32_t) {
    ClapPlugin* self = ClapPlugin::from(plugin);
    return self && self->activate(rate);
}

// Main thread, while active.
void ORVANTA_CLAP_ABI pluginDeactivate(const clap_plugin_t* plugin) {
    if (ClapPlugin* self = ClapPlugin::from(plugin)) self->deactivate();
}

// Audio thread, while active: nothing to start; true once activated.
bool ORVANTA_CLAP_ABI pluginStartProcessing(const clap_plugin_t* plugin) {
    ClapPlugin* self = ClapPlugin::from(plugin);
    return self && self->startProcessing();
}

// Audio thread: nothing to stop; the engines keep their state.
void ORVANTA_CLAP_ABI pluginStopProcessing(const clap_plugin_t*) {}

// Audio thread, while active: the signal state is cleared, the parameters stay.
void ORVANTA_CLAP_ABI pluginReset(const clap_plugin_t* plugin) {
    if (ClapPlugin* self = ClapPlugin::from(plugin)) self->reset();
}

// Audio thread, while active and processing (ClapProcess.cpp).
clap_process_status ORVANTA_CLAP_ABI pluginProcess(const clap_plugin_t* plugin, const clap_process_t* process) {
    ClapPlugin* self = ClapPlugin::from(plugin);
    return self ? self->process(process) : CLAP_PROCESS_ERROR;
}

// Any thread: constant records, or null for what the plug-ins do not offer.
const void* ORVANTA_CLAP_ABI pluginGetExtension(const clap_plugin_t* plugin, const char* id) {
    const ClapPlugin* self = ClapPlugin::from(plugin);
    return self ? self->extension(id) : nullptr;
}

// Main thread: the plug-ins never ask for this callback; nothing to do.
void ORVANTA_CLAP_ABI pluginOnMainThread(const clap_plugin_t*) {}

// ---------------------------------------------------------------- audio-ports

// Main thread: one main input and one main output.
uint32_t ORVANTA_CLAP_ABI audioPortCount(const clap_plugin_t* plugin, bool) {
    return ClapPlugin::from(plugin) ? 1 : 0;
}

// Main thread: the port's channels and type; false beyond port 0 or for a
// null record.
bool ORVANTA_CLAP_ABI audioPortGet(const clap_plugin_t* plugin, uint32_t index, bool isInput,
                                   clap_audio_port_info_t* info) {
    const ClapPlugin* self = ClapPlugin::from(plugin);
    return self && self->audioPortInfo(index, isInput, info);
}

const clap_plugin_audio_ports_t kAudioPorts{audioPortCount, audioPortGet};

// ---------------------------------------------------------------- surround (5.1 only)

constexpr uint64_t kSurround51Mask = (1u << CLAP_SURROUND_FL) | (1u << CLAP_SURROUND_FR) |
                                     (1u << CLAP_SURROUND_FC) | (1u << CLAP_SURROUND_LFE) |
                                     (1u << CLAP_SURROUND_BL) | (1u << CLAP_SURROUND_BR);

// Main thread: only the one layout the plug-in levels.
bool ORVANTA_CLAP_ABI surroundMaskSupported(const clap_plugin_t* plugin, uint64_t mask) {
    return ClapPlugin::from(plugin) && mask == kSurround51Mask;
}

// Main thread: the channel roles of either port, in the engine's order.
uint32_t ORVANTA_CLAP_ABI surroundChannelMap(const clap_plugin_t* plugin, bool, uint32_t portIndex, uint8_t* map,
                                             uint32_t capacity) {
    const ClapPlugin* self = ClapPlugin::from(plugin);
    return self ? self->channelMap(portIndex, map, capacity) : 0;
}

const clap_plugin_surround_t kSurround{surroundMaskSupported, surroundChannelMap};

// ---------------------------------------------------------------- latency, state

// Main thread, while active or being activated (any time is answered): the
// frames between an input frame and its output at the current rate.
uint32_t ORVANTA_CLAP_ABI latencyGet(const clap_plugin_t* plugin) {
    ClapPlugin* self = ClapPlugin::from(plugin);
    return self ? self->latency() : 0;
}

const clap_plugin_latency_t kLatency{latencyGet};

// Main thread: the parameter values in the core's text format.
bool ORVANTA_CLAP_ABI stateSave(const clap_plugin_t* plugin, const clap_ostream_t* stream) {
    const ClapPlugin* self = ClapPlugin::from(plugin);
    return self && self->saveState(stream);
}

// Main thread: a saved state, whole or not at all.
bool ORVANTA_CLAP_ABI stateLoad(const clap_plugin_t* plugin, const clap_istream_t* stream) {
    ClapPlugin* self = ClapPlugin::from(plugin);
    return self && self->loadState(stream);
}

const clap_plugin_state_t kState{stateSave, stateLoad};

bool sameId(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

}  // namespace

// ---------------------------------------------------------------- life

const clap_plugin_t* ClapPlugin::create(const ClapPluginKind& kind, const clap_host_t* host) {
    if (host == nullptr || !clapVersionIsCompatible(host->clap_version)) return nullptr;
    std::unique_ptr<PluginCore> core = PluginCore::create(kind.layout, kRateBeforeActivationHz);
    if (!core) return nullptr;
    ClapPlugin* self = new (std::nothrow) ClapPlugin(kind, host, std::move(core));
    return self ? &self->record_ : nullptr;
}

ClapPlugin* ClapPlugin::from(const clap_plugin_t* plugin) {
    return plugin ? static_cast<ClapPlugin*>(plugin->plugin_data) : nullptr;
}

ClapPlugin::ClapPlugin(const ClapPluginKind& kind, const clap_host_t* host, std::unique_ptr<PluginCore> core)
    : record_{&kind.descriptor, this,          pluginInit,          pluginDestroy,
              pluginActivate,   pluginDeactivate, pluginStartProcessing, pluginStopProcessing,
              pluginReset,      pluginProcess, pluginGetExtension,  pluginOnMainThread},
      kind_(kind),
      host_(host),
      core_(std::move(core)) {}

ClapPlugin::~ClapPlugin() = default;

bool ClapPlugin::init() {
    std::lock_guard<std::recursive_mutex> lock(mainLock_);
    if (host_->get_extension == nullptr) return true;
    auto lookUp = [this](const char* id) { return host_->get_extension(host_, id); };
    hostParams_ = static_cast<const clap_host_params_t*>(lookUp(kClapExtParams));
    hostThreadCheck_ = static_cast<const clap_host_thread_check_t*>(lookUp(kClapExtThreadCheck));
    hostTimers_ = static_cast<const clap_host_timer_support_t*>(lookUp(kClapExtTimerSupport));
    hostDescriptors_ = static_cast<const clap_host_posix_fd_support_t*>(lookUp(kClapExtPosixFdSupport));
    return true;
}

void ClapPlugin::destroy() {
    // No block may run while the instance goes; the turn is never given back.
    takeTurn(true);
    {
        std::lock_guard<std::recursive_mutex> lock(mainLock_);
        editor_.reset();
    }
    delete this;
}

ClapPlugin::Turn ClapPlugin::takeTurn(bool wait) {
    for (;;) {
        Turn resting = turn_.load(std::memory_order_acquire);
        if (resting != Turn::Busy &&
            turn_.compare_exchange_weak(resting, Turn::Busy, std::memory_order_acquire))
            return resting;
        if (!wait && resting == Turn::Busy) return Turn::Busy;
        // Only the main thread waits, and only for one block to end.
        if (resting == Turn::Busy) std::this_thread::yield();
    }
}

bool ClapPlugin::activate(double sampleRate) {
    // A rate must be a positive number; the engines clamp it to their range.
    if (!(sampleRate > 0.0) || !std::isfinite(sampleRate)) return false;
    std::lock_guard<std::recursive_mutex> lock(mainLock_);
    const Turn resting = takeTurn(true);
    if (resting == Turn::Active) {  // activated twice: the first activation stands
        giveTurn(resting);
        return false;
    }
    core_->setSampleRate(static_cast<float>(sampleRate));
    core_->reset();
    // The host hears the meters afresh with the first block.
    sentMeters_[0] = sentMeters_[1] = -1.0f;
    giveTurn(Turn::Active);
    return true;
}

void ClapPlugin::deactivate() {
    std::lock_guard<std::recursive_mutex> lock(mainLock_);
    takeTurn(true);
    giveTurn(Turn::Inactive);
}

bool ClapPlugin::startProcessing() { return turn_.load(std::memory_order_acquire) != Turn::Inactive; }

void ClapPlugin::reset() {
    const Turn resting = takeTurn(false);
    if (resting == Turn::Busy) return;
    if (resting == Turn::Active) core_->reset();
    giveTurn(resting);
}

const void* ClapPlugin::extension(const char* id) const {
    if (id == nullptr) return nullptr;
    if (sameId(id, kClapExtAudioPorts)) return &kAudioPorts;
    if (sameId(id, kClapExtParams)) return clapParamsExtension();
    if (sameId(id, kClapExtLatency)) return &kLatency;
    if (sameId(id, kClapExtState)) return &kState;
    if (kind_.layout == Layout::Surround51 && (sameId(id, kClapExtSurround) || sameId(id, kClapExtSurroundDraft)))
        return &kSurround;
    if (sameId(id, kClapExtGui)) return clapGuiExtension();
    if (sameId(id, kClapExtTimerSupport)) return clapTimerExtension();
    if (sameId(id, kClapExtPosixFdSupport)) return clapFdExtension();
    return nullptr;
}

bool ClapPlugin::onMainThread() const {
    return hostThreadCheck_ == nullptr || hostThreadCheck_->is_main_thread == nullptr ||
           hostThreadCheck_->is_main_thread(host_);
}

void ClapPlugin::setEditor(std::unique_ptr<ClapEditor> editor) { editor_ = std::move(editor); }

// ---------------------------------------------------------------- ports

bool ClapPlugin::audioPortInfo(uint32_t index, bool isInput, clap_audio_port_info_t* info) const {
    if (index != 0 || info == nullptr) return false;
    std::memset(info, 0, sizeof *info);
    info->id = 0;
    std::strcpy(info->name, isInput ? "Input" : "Output");
    info->flags = kClapAudioPortIsMain;
    info->channel_count = channels();
    switch (kind_.layout) {
        case Layout::Mono: info->port_type = kClapPortMono; break;
        case Layout::Stereo: info->port_type = kClapPortStereo; break;
        case Layout::Surround51: info->port_type = kClapPortSurround; break;
    }
    // The engines process in place: the host may hand one buffer set for both.
    info->in_place_pair = 0;
    return true;
}

uint32_t ClapPlugin::channelMap(uint32_t portIndex, uint8_t* map, uint32_t capacity) const {
    constexpr uint8_t kEngineOrder[] = {CLAP_SURROUND_FL,  CLAP_SURROUND_FR, CLAP_SURROUND_FC,
                                        CLAP_SURROUND_LFE, CLAP_SURROUND_BL, CLAP_SURROUND_BR};
    if (portIndex != 0 || map == nullptr || capacity < channels() || kind_.layout != Layout::Surround51)
        return 0;
    std::memcpy(map, kEngineOrder, sizeof kEngineOrder);
    return channels();
}

uint32_t ClapPlugin::latency() {
    // activate re-derives the engines under this lock.
    std::lock_guard<std::recursive_mutex> lock(mainLock_);
    return core_->latency();
}

// ---------------------------------------------------------------- state

bool ClapPlugin::saveState(const clap_ostream_t* stream) const {
    if (stream == nullptr || stream->write == nullptr) return false;
    char text[PluginCore::kMaxStateBytes];
    const size_t length = core_->saveState(text, sizeof text);
    if (length == 0) return false;
    // A host's stream may take the bytes in several pieces.
    for (size_t written = 0; written < length;) {
        const int64_t n = stream->write(stream, text + written, length - written);
        if (n <= 0 || static_cast<uint64_t>(n) > length - written) return false;
        written += static_cast<size_t>(n);
    }
    return true;
}

bool ClapPlugin::loadState(const clap_istream_t* stream) {
    if (stream == nullptr || stream->read == nullptr) return false;
    // One byte more than a state may have, so that a longer one is refused.
    char text[PluginCore::kMaxStateBytes + 1];
    size_t length = 0;
    for (;;) {
        const int64_t n = stream->read(stream, text + length, sizeof text - length);
        if (n == 0) break;
        if (n < 0 || static_cast<uint64_t>(n) > sizeof text - length) return false;
        length += static_cast<size_t>(n);
        if (length == sizeof text) return false;
    }
    if (!core_->restoreState(text, length)) return false;
    changedRows_.store(~0u, std::memory_order_release);
    std::lock_guard<std::recursive_mutex> lock(mainLock_);
    if (editor_) editor_->refresh();
    return true;
}

// ---------------------------------------------------------------- the editor's edits

void ClapPlugin::editBegin(ParamId id) {
    edits_.push({EditEvent::Kind::Begin, static_cast<int32_t>(id), 0.0f});
    requestFlush();
}

void ClapPlugin::editValue(ParamId id, float normalised) {
    if (!core_->setNormalised(id, normalised)) return;
    edits_.push({EditEvent::Kind::Value, static_cast<int32_t>(id), core_->plain(id)});
    requestFlush();
}

void ClapPlugin::editEnd(ParamId id) {
    edits_.push({EditEvent::Kind::End, static_cast<int32_t>(id), 0.0f});
    requestFlush();
}

void ClapPlugin::requestFlush() const {
    // The host then calls process or flush, which sends the edits.
    if (hostParams_ && hostParams_->request_flush) hostParams_->request_flush(host_);
}
