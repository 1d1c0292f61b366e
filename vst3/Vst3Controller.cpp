#include "Vst3Controller.h"

#include <cmath>
#include <cstring>
#include <new>

#include "ParameterState.h"
#include "Utf16.h"
#include "Vst3Parameters.h"
#include "Vst3State.h"
#if ORVANTA_VST3_EDITOR
#include "Vst3View.h"
#endif

namespace orvanta_vst3 {

Vst3Controller* Vst3Controller::create(Layout layout) noexcept {
    return new (std::nothrow) Vst3Controller(layout);
}

Vst3Controller::Vst3Controller(Layout layout) : layout_(layout) {
    for (auto& value : values_) value.store(0.0, std::memory_order_relaxed);
    vst3::ParameterInfo info;
    for (int32_t i = 0; describeParameter(layout_, i, info); ++i) store(info.id, info.defaultNormalizedValue);
}

int32_t Vst3Controller::slotOf(vst3::ParamID id) const {
    switch (kindOf(layout_, id)) {
        case ParameterKind::Table: return static_cast<int32_t>(id);
        case ParameterKind::Bypass: return kParamCount;
        case ParameterKind::GainMeter: return kParamCount + 1;
        case ParameterKind::ReductionMeter: return kParamCount + 2;
        case ParameterKind::None: break;
    }
    return -1;
}

void Vst3Controller::store(vst3::ParamID id, double normalised) {
    const int32_t slot = slotOf(id);
    if (slot >= 0) values_[slot].store(normalised, std::memory_order_relaxed);
}

double Vst3Controller::value(vst3::ParamID id) const {
    const int32_t slot = slotOf(id);
    return slot >= 0 ? values_[slot].load(std::memory_order_relaxed) : 0.0;
}

void Vst3Controller::showInViews(vst3::ParamID id) {
#if ORVANTA_VST3_EDITOR
    if (kindOf(layout_, id) != ParameterKind::Table) return;  // the editor shows the table's rows
    for (Vst3View* view : views_)
        if (view != nullptr) view->parameterChanged(static_cast<int32_t>(id));
#else
    (void)id;
#endif
}

// ---------------------------------------------------------------- IPluginBase

vst3::tresult Vst3Controller::initialize(vst3::FUnknown* context) {
    context_.hold(context);
    return vst3::kResultOk;
}

vst3::tresult Vst3Controller::terminate() {
    handler_.reset();
    context_.reset();
    return vst3::kResultOk;
}

// ---------------------------------------------------------------- state

vst3::tresult Vst3Controller::setComponentState(vst3::IBStream* state) {
    char text[kStateBytes];
    size_t length = 0;
    float plain[kParamCount];
    if (!readStream(state, text, sizeof text, length) ||
        !readParameterState(text, length, PluginCore::kMaxStateBytes, paramCount(layout_), plain))
        return vst3::kResultFalse;
    for (int32_t i = 0; i < paramCount(layout_); ++i) {
        const auto id = static_cast<vst3::ParamID>(i);
        store(id, toNormalised(static_cast<ParamId>(i), plain[i]));
        showInViews(id);
    }
    store(kBypassId, bypassedInState(text, length) ? 1.0 : 0.0);
    return vst3::kResultOk;
}

vst3::tresult Vst3Controller::setState(vst3::IBStream*) { return vst3::kResultOk; }

vst3::tresult Vst3Controller::getState(vst3::IBStream* state) {
    return state != nullptr ? vst3::kResultOk : vst3::kInvalidArgument;
}

// ---------------------------------------------------------------- parameters

vst3::int32 Vst3Controller::getParameterCount() { return parameterCount(layout_); }

vst3::tresult Vst3Controller::getParameterInfo(vst3::int32 index, vst3::ParameterInfo& info) {
    return describeParameter(layout_, index, info) ? vst3::kResultOk : vst3::kInvalidArgument;
}

vst3::tresult Vst3Controller::getParamStringByValue(vst3::ParamID id, vst3::ParamValue normalised,
                                                    vst3::String128 text) {
    if (text == nullptr || kindOf(layout_, id) == ParameterKind::None) return vst3::kInvalidArgument;
    char value[32];
    textOf(layout_, id, normalised, value, sizeof value);
    toUtf16(value, text, 128);
    return vst3::kResultOk;
}

vst3::tresult Vst3Controller::getParamValueByString(vst3::ParamID id, vst3::char16* text,
                                                    vst3::ParamValue& normalised) {
    char value[128];
    if (!fromUtf16(text, value, sizeof value)) return vst3::kInvalidArgument;
    return normalisedFromText(layout_, id, value, normalised) ? vst3::kResultOk : vst3::kResultFalse;
}

vst3::ParamValue Vst3Controller::normalizedParamToPlain(vst3::ParamID id, vst3::ParamValue normalised) {
    return plainOf(layout_, id, normalised);
}

vst3::ParamValue Vst3Controller::plainParamToNormalized(vst3::ParamID id, vst3::ParamValue plain) {
    return normalisedOf(layout_, id, plain);
}

vst3::ParamValue Vst3Controller::getParamNormalized(vst3::ParamID id) { return value(id); }

vst3::tresult Vst3Controller::setParamNormalized(vst3::ParamID id, vst3::ParamValue normalised) {
    double kept;
    if (!settleNormalised(layout_, id, normalised, kept)) return vst3::kInvalidArgument;
    store(id, kept);
    showInViews(id);
    return vst3::kResultOk;
}

vst3::tresult Vst3Controller::setComponentHandler(vst3::IComponentHandler* handler) {
    handler_.hold(handler);
    return vst3::kResultOk;
}

// ---------------------------------------------------------------- the editor

vst3::IPlugView* Vst3Controller::createView(vst3::FIDString name) {
#if ORVANTA_VST3_EDITOR
    if (name == nullptr || std::strcmp(name, vst3::kEditorViewName) != 0) return nullptr;
    for (Vst3View*& slot : views_) {
        if (slot != nullptr) continue;
        slot = Vst3View::create(*this);
        return slot;
    }
#else
    (void)name;
#endif
    return nullptr;
}

void Vst3Controller::viewGone(Vst3View* view) {
    for (Vst3View*& slot : views_)
        if (slot == view) slot = nullptr;
}

void Vst3Controller::beginUserEdit(vst3::ParamID id) {
    if (handler_) handler_->beginEdit(id);
}

void Vst3Controller::performUserEdit(vst3::ParamID id, double normalised) {
    double kept;
    if (!settleNormalised(layout_, id, normalised, kept)) return;
    store(id, kept);
    showInViews(id);
    if (handler_) handler_->performEdit(id, kept);
}

void Vst3Controller::endUserEdit(vst3::ParamID id) {
    if (handler_) handler_->endEdit(id);
}

}  // namespace orvanta_vst3
