#include "Vst3View.h"

#include <cstring>
#include <new>

#include "EditorLayout.h"
#include "Vst3Controller.h"

namespace orvanta_vst3 {

namespace {

#if defined(_WIN32)
constexpr const char* kPlatformType = vst3::kPlatformTypeHwnd;
#else
constexpr const char* kPlatformType = vst3::kPlatformTypeX11EmbedWindowId;
#endif

const EditorLayout& layoutOf(Layout layout) {
    return layout == Layout::Surround51 ? surround51EditorLayout() : stereoEditorLayout();
}

VSTGUI::VstKeyCode viewKey(vst3::char16 key, vst3::int16 keyCode, vst3::int16 modifiers) {
    VSTGUI::VstKeyCode code;
    code.character = key;
    code.virt = keyCode > 0 && keyCode < 256 ? static_cast<unsigned char>(keyCode) : 0;
    code.modifier = static_cast<unsigned char>(modifiers & 0xFF);
    return code;
}

}  // namespace

Vst3View* Vst3View::create(Vst3Controller& controller) noexcept {
    try {
        return new Vst3View(controller);
    } catch (...) {
        return nullptr;
    }
}

Vst3View::Vst3View(Vst3Controller& controller)
    : controller_(controller), window_(*this, layoutOf(controller.layout())) {
    controller_.addRef();
}

Vst3View::~Vst3View() {
    if (attached_) removed();
    controller_.viewGone(this);
    controller_.release();
}

vst3::tresult Vst3View::isPlatformTypeSupported(vst3::FIDString type) {
    return type != nullptr && std::strcmp(type, kPlatformType) == 0 ? vst3::kResultTrue : vst3::kResultFalse;
}

vst3::tresult Vst3View::attached(void* parent, vst3::FIDString type) {
    if (parent == nullptr || isPlatformTypeSupported(type) != vst3::kResultTrue) return vst3::kInvalidArgument;
    if (attached_) removed();
    if (!window_.open(parent)) return vst3::kResultFalse;
    if (!startIdle()) {
        window_.close();
        return vst3::kResultFalse;
    }
    attached_ = true;
    return vst3::kResultOk;
}

vst3::tresult Vst3View::removed() {
    if (!attached_) return vst3::kResultFalse;
    attached_ = false;
    stopIdle();
    window_.close();
    return vst3::kResultOk;
}

// The window reads the wheel from its own events.
vst3::tresult Vst3View::onWheel(float) { return vst3::kResultFalse; }

vst3::tresult Vst3View::onKeyDown(vst3::char16 key, vst3::int16 keyCode, vst3::int16 modifiers) {
    VSTGUI::VstKeyCode code = viewKey(key, keyCode, modifiers);
    return attached_ && window_.onKeyDown(code) ? vst3::kResultTrue : vst3::kResultFalse;
}

vst3::tresult Vst3View::onKeyUp(vst3::char16 key, vst3::int16 keyCode, vst3::int16 modifiers) {
    VSTGUI::VstKeyCode code = viewKey(key, keyCode, modifiers);
    return attached_ && window_.onKeyUp(code) ? vst3::kResultTrue : vst3::kResultFalse;
}

vst3::tresult Vst3View::getSize(vst3::ViewRect* size) {
    if (size == nullptr) return vst3::kInvalidArgument;
    *size = vst3::ViewRect{0, 0, window_.width(), window_.height()};
    return vst3::kResultOk;
}

// The window keeps its size whatever the host's frame does.
vst3::tresult Vst3View::onSize(vst3::ViewRect* newSize) {
    return newSize != nullptr ? vst3::kResultOk : vst3::kInvalidArgument;
}

vst3::tresult Vst3View::onFocus(vst3::TBool) { return vst3::kResultOk; }

vst3::tresult Vst3View::setFrame(vst3::IPlugFrame* frame) {
    frame_ = frame;
    return vst3::kResultOk;
}

vst3::tresult Vst3View::canResize() { return vst3::kResultFalse; }

vst3::tresult Vst3View::checkSizeConstraint(vst3::ViewRect* rect) {
    if (rect == nullptr) return vst3::kInvalidArgument;
    rect->right = rect->left + window_.width();
    rect->bottom = rect->top + window_.height();
    return vst3::kResultTrue;
}

float Vst3View::value(int32_t index) const {
    return static_cast<float>(controller_.value(static_cast<vst3::ParamID>(index)));
}

void Vst3View::beginEdit(int32_t index) { controller_.beginUserEdit(static_cast<vst3::ParamID>(index)); }

// The controller keeps the value, shows it in every view (this one too) and
// tells the host.
void Vst3View::setValue(int32_t index, float normalised) {
    controller_.performUserEdit(static_cast<vst3::ParamID>(index), normalised);
}

void Vst3View::endEdit(int32_t index) { controller_.endUserEdit(static_cast<vst3::ParamID>(index)); }

}  // namespace orvanta_vst3
