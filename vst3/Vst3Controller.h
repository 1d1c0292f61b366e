// The VST 3 edit controller of a layout: the parameters as the host sees
// them (Vst3Parameters.h) with their current normalised values, the
// component state read back from the processor's stream, and the editor
// views, whose edits it reports to the host's component handler framed by
// begin and end.
//
// The controller never touches the processor: the host carries every change
// between them (the controller's edits to the processor as parameter
// changes, the processor's meters back as the values of read-only
// parameters).
//
// Threads: the host's user-interface thread calls every entry; the values
// are atomics, so a host that reads them from another thread reads whole
// values. A change set on another thread reaches an open editor at its next
// idle call.
#pragma once

#include <atomic>

#include "ComObject.h"
#include "ParamTable.h"
#include "interface/Controller.h"

namespace orvanta_vst3 {

class Vst3View;

class Vst3Controller final : public ComObject<Vst3Controller, vst3::IEditController> {
public:
    static constexpr int32_t kMaxViews = 4;

    // The factory's thread: a controller at the layout's defaults; null
    // when memory cannot be had. Never throws.
    static Vst3Controller* create(Layout layout) noexcept;

    // ---- IPluginBase: user-interface thread. The context is kept for the
    // editor, which may find the host's run loop there.
    vst3::tresult ORVANTA_VST3_API initialize(vst3::FUnknown* context) override;
    vst3::tresult ORVANTA_VST3_API terminate() override;

    // ---- IEditController: user-interface thread ----
    // The processor's state (Vst3State.h): every parameter takes its value,
    // and an open editor shows it. A stream without our state changes
    // nothing and is answered kResultFalse.
    vst3::tresult ORVANTA_VST3_API setComponentState(vst3::IBStream* state) override;
    // The controller keeps nothing of its own: its state is empty, and any
    // state is taken.
    vst3::tresult ORVANTA_VST3_API setState(vst3::IBStream* state) override;
    vst3::tresult ORVANTA_VST3_API getState(vst3::IBStream* state) override;
    vst3::int32 ORVANTA_VST3_API getParameterCount() override;
    vst3::tresult ORVANTA_VST3_API getParameterInfo(vst3::int32 index, vst3::ParameterInfo& info) override;
    vst3::tresult ORVANTA_VST3_API getParamStringByValue(vst3::ParamID id, vst3::ParamValue normalised,
                                                         vst3::String128 text) override;
    vst3::tresult ORVANTA_VST3_API getParamValueByString(vst3::ParamID id, vst3::char16* text,
                                                         vst3::ParamValue& normalised) override;
    vst3::ParamValue ORVANTA_VST3_API normalizedParamToPlain(vst3::ParamID id, vst3::ParamValue normalised) override;
    vst3::ParamValue ORVANTA_VST3_API plainParamToNormalized(vst3::ParamID id, vst3::ParamValue plain) override;
    vst3::ParamValue ORVANTA_VST3_API getParamNormalized(vst3::ParamID id) override;
    // The host's value (automation, its own controls, the meters): kept as
    // the processor keeps it, and shown by an open editor at once. A NaN or
    // an unknown id changes nothing: kInvalidArgument.
    vst3::tresult ORVANTA_VST3_API setParamNormalized(vst3::ParamID id, vst3::ParamValue normalised) override;
    vst3::tresult ORVANTA_VST3_API setComponentHandler(vst3::IComponentHandler* handler) override;
    // "editor": a new view of the editor window (at most kMaxViews at a
    // time); null for any other name, or when the module has no editor.
    vst3::IPlugView* ORVANTA_VST3_API createView(vst3::FIDString name) override;

    // ---- the editor's calls, user-interface thread ----
    Layout layout() const { return layout_; }
    double value(vst3::ParamID id) const;
    // A user's gesture on parameter `id`: the value is kept, every view
    // shows it, and the host is told, framed by begin and end.
    void beginUserEdit(vst3::ParamID id);
    void performUserEdit(vst3::ParamID id, double normalised);
    void endUserEdit(vst3::ParamID id);
    vst3::FUnknown* hostContext() const { return context_.get(); }
    void viewGone(Vst3View* view);

private:
    friend class ComObject<Vst3Controller, vst3::IEditController>;
    explicit Vst3Controller(Layout layout);
    ~Vst3Controller() = default;

    // Where the value of `id` is kept; -1 for ids the layout lacks.
    int32_t slotOf(vst3::ParamID id) const;
    void store(vst3::ParamID id, double normalised);
    void showInViews(vst3::ParamID id);

    const Layout layout_;
    // The table's parameters by ParamId, then Bypass and the two meters.
    static constexpr int32_t kSlots = kParamCount + 3;
    std::atomic<double> values_[kSlots];
    HostRef<vst3::IComponentHandler> handler_;
    HostRef<vst3::FUnknown> context_;
    Vst3View* views_[kMaxViews] = {};
};

}  // namespace orvanta_vst3
