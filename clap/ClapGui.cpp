#include "ClapGui.h"

#include <cstring>
#include <mutex>
#include <new>

#include "ClapExtensions.h"
#include "ClapPlugin.h"
#include "EditorLayout.h"

namespace {

#if defined(_WIN32)
constexpr const char* kWindowApi = kClapWindowApiWin32;
#else
constexpr const char* kWindowApi = kClapWindowApiX11;
#endif

// About 30 idle calls a second: smooth enough for the sliders to follow the
// host's automation, and the rate every host is asked to allow.
constexpr uint32_t kIdlePeriodMs = 33;

bool isOurApi(const char* api) { return api != nullptr && std::strcmp(api, kWindowApi) == 0; }

void* nativeParent(const clap_window_t& window) {
#if defined(_WIN32)
    return window.win32;
#else
    return reinterpret_cast<void*>(static_cast<uintptr_t>(window.x11));
#endif
}

// The instance of a gui callback, with its main lock held; null (and no
// lock) when the record is null or, for every callback but destroy, when the
// host's thread check says this is not its main thread: the window system
// is the main thread's.
class GuiCall {
public:
    explicit GuiCall(const clap_plugin_t* record, bool anyThread = false) : self_(ClapPlugin::from(record)) {
        if (self_ && !anyThread && !self_->onMainThread()) self_ = nullptr;
        if (self_) lock_ = std::unique_lock<std::recursive_mutex>(self_->mainLock());
    }
    ClapPlugin* plugin() const { return self_; }
    ClapEditor* editor() const { return self_ ? self_->editor() : nullptr; }

private:
    ClapPlugin* self_;
    std::unique_lock<std::recursive_mutex> lock_;
};

// ---------------------------------------------------------------- gui callbacks

// Main thread: embedded windows of the system's own window API only.
bool ORVANTA_CLAP_ABI guiIsApiSupported(const clap_plugin_t* plugin, const char* api, bool floating) {
    return ClapPlugin::from(plugin) && !floating && isOurApi(api);
}

// Main thread.
bool ORVANTA_CLAP_ABI guiGetPreferredApi(const clap_plugin_t* plugin, const char** api, bool* floating) {
    if (!ClapPlugin::from(plugin) || api == nullptr || floating == nullptr) return false;
    *api = kWindowApi;
    *floating = false;
    return true;
}

// Main thread: the editor, without a window yet. A second create keeps the first.
bool ORVANTA_CLAP_ABI guiCreate(const clap_plugin_t* plugin, const char* api, bool floating) {
    GuiCall call(plugin);
    if (!call.plugin() || floating || !isOurApi(api)) return false;
    if (call.editor()) return true;
    ClapEditor* editor = new (std::nothrow) ClapEditor(*call.plugin());
    if (!editor) return false;
    call.plugin()->setEditor(std::unique_ptr<ClapEditor>(editor));
    return true;
}

// Main thread (from any thread it still goes, under the lock): the window,
// the host's timer and descriptor registrations and the editor.
void ORVANTA_CLAP_ABI guiDestroy(const clap_plugin_t* plugin) {
    GuiCall call(plugin, true);
    if (call.plugin()) call.plugin()->setEditor(nullptr);
}

// Main thread: the window has a fixed size in pixels; no scaling.
bool ORVANTA_CLAP_ABI guiSetScale(const clap_plugin_t*, double) { return false; }

// Main thread: the window's size; false before create.
bool ORVANTA_CLAP_ABI guiGetSize(const clap_plugin_t* plugin, uint32_t* width, uint32_t* height) {
    GuiCall call(plugin);
    if (!call.editor() || width == nullptr || height == nullptr) return false;
    *width = call.editor()->width();
    *height = call.editor()->height();
    return true;
}

// Main thread: fixed size, so no resizing and no hints for it.
bool ORVANTA_CLAP_ABI guiCanResize(const clap_plugin_t*) { return false; }
bool ORVANTA_CLAP_ABI guiGetResizeHints(const clap_plugin_t*, clap_gui_resize_hints_t*) { return false; }
bool ORVANTA_CLAP_ABI guiAdjustSize(const clap_plugin_t*, uint32_t*, uint32_t*) { return false; }

// Main thread: only the size the window has.
bool ORVANTA_CLAP_ABI guiSetSize(const clap_plugin_t* plugin, uint32_t width, uint32_t height) {
    GuiCall call(plugin);
    return call.editor() && width == call.editor()->width() && height == call.editor()->height();
}

// Main thread: the editor opens inside the host's window.
bool ORVANTA_CLAP_ABI guiSetParent(const clap_plugin_t* plugin, const clap_window_t* window) {
    GuiCall call(plugin);
    if (!call.editor() || window == nullptr || (window->api != nullptr && !isOurApi(window->api))) return false;
    return call.editor()->setParent(nativeParent(*window));
}

// Main thread: floating windows are not offered.
bool ORVANTA_CLAP_ABI guiSetTransient(const clap_plugin_t*, const clap_window_t*) { return false; }
void ORVANTA_CLAP_ABI guiSuggestTitle(const clap_plugin_t*, const char*) {}

// Main thread.
bool ORVANTA_CLAP_ABI guiShow(const clap_plugin_t* plugin) {
    GuiCall call(plugin);
    return call.editor() && call.editor()->show();
}

// Main thread.
bool ORVANTA_CLAP_ABI guiHide(const clap_plugin_t* plugin) {
    GuiCall call(plugin);
    return call.editor() && call.editor()->hide();
}

const clap_plugin_gui_t kGui{guiIsApiSupported, guiGetPreferredApi, guiCreate,    guiDestroy,
                             guiSetScale,       guiGetSize,         guiCanResize, guiGetResizeHints,
                             guiAdjustSize,     guiSetSize,         guiSetParent, guiSetTransient,
                             guiSuggestTitle,   guiShow,            guiHide};

// ---------------------------------------------------------------- run loop

// Main thread: the editor's timer; any other id is not ours.
void ORVANTA_CLAP_ABI onTimer(const clap_plugin_t* plugin, clap_id) {
    GuiCall call(plugin);
    if (call.editor()) call.editor()->idle();
}

const clap_plugin_timer_support_t kTimer{onTimer};

#if !defined(_WIN32)
// Main thread: the display connection has events (or failed; reading it then
// finds the window gone).
void ORVANTA_CLAP_ABI onFd(const clap_plugin_t* plugin, int, uint32_t) {
    GuiCall call(plugin);
    if (call.editor()) call.editor()->idle();
}

const clap_plugin_posix_fd_support_t kFd{onFd};
#endif

const EditorLayout& layoutOf(Layout layout) {
    return layout == Layout::Surround51 ? surround51EditorLayout() : stereoEditorLayout();
}

}  // namespace

const clap_plugin_gui_t* clapGuiExtension() { return &kGui; }
const clap_plugin_timer_support_t* clapTimerExtension() { return &kTimer; }
#if defined(_WIN32)
const clap_plugin_posix_fd_support_t* clapFdExtension() { return nullptr; }
#else
const clap_plugin_posix_fd_support_t* clapFdExtension() { return &kFd; }
#endif

// ---------------------------------------------------------------- the editor

ClapEditor::ClapEditor(ClapPlugin& plugin) : plugin_(plugin), window_(*this, layoutOf(plugin.kind().layout)) {
    const clap_host_timer_support_t* timers = plugin_.hostTimers();
    if (timers && timers->register_timer)
        hasTimer_ = timers->register_timer(plugin_.host(), kIdlePeriodMs, &timer_);
}

ClapEditor::~ClapEditor() {
    hide();
    const clap_host_timer_support_t* timers = plugin_.hostTimers();
    if (hasTimer_ && timers->unregister_timer) timers->unregister_timer(plugin_.host(), timer_);
}

bool ClapEditor::setParent(void* parentWindow) {
    hide();
    parent_ = parentWindow;
    return show();
}

bool ClapEditor::show() {
    if (window_.isOpen()) return true;
    if (parent_ == nullptr || !window_.open(parent_)) return false;
    registerDescriptor();
    return true;
}

bool ClapEditor::hide() {
    // The host stops watching the connection before it closes.
    unregisterDescriptor();
    window_.close();
    return true;
}

void ClapEditor::idle() {
    refresh();
    window_.idle();
}

void ClapEditor::refresh() {
    const uint32_t rows = plugin_.takeChangedRows();
    for (int32_t row = 0; row < OVEditor::kMaxRows; ++row)
        if (rows & (1u << row)) window_.parameterChanged(row);
}

void ClapEditor::registerDescriptor() {
    const clap_host_posix_fd_support_t* descriptors = plugin_.hostDescriptors();
    const int fd = window_.eventFileDescriptor();
    if (!descriptors || !descriptors->register_fd || fd < 0) return;
    if (descriptors->register_fd(plugin_.host(), fd, kClapPosixFdRead | kClapPosixFdError)) descriptor_ = fd;
}

void ClapEditor::unregisterDescriptor() {
    if (descriptor_ < 0) return;
    const clap_host_posix_fd_support_t* descriptors = plugin_.hostDescriptors();
    if (descriptors->unregister_fd) descriptors->unregister_fd(plugin_.host(), descriptor_);
    descriptor_ = -1;
}

float ClapEditor::value(int32_t index) const { return plugin_.core().normalised(static_cast<ParamId>(index)); }

void ClapEditor::beginEdit(int32_t index) { plugin_.editBegin(static_cast<ParamId>(index)); }

void ClapEditor::setValue(int32_t index, float normalised) {
    plugin_.editValue(static_cast<ParamId>(index), normalised);
    window_.parameterChanged(index);
}

void ClapEditor::endEdit(int32_t index) { plugin_.editEnd(static_cast<ParamId>(index)); }
