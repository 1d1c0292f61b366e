// Our declarations of the VST 3 edit controller, the side of a plug-in that
// describes its parameters and owns its editor, and of the host's handler
// through which it reports edits.
#pragma once

#include "Processing.h"

namespace vst3 {

class IPlugView;

struct ParameterInfo {
    enum Flags : int32 {
        kNoFlags = 0,
        kCanAutomate = 1 << 0,
        kIsReadOnly = 1 << 1,
        kIsList = 1 << 3,
        kIsBypass = 1 << 16,
    };
    ParamID id;
    String128 title;
    String128 shortTitle;
    String128 units;
    int32 stepCount;  // 0: continuous
    ParamValue defaultNormalizedValue;
    int32 unitId;     // 0: the root unit
    int32 flags;
};

class IComponentHandler : public FUnknown {
public:
    using Base = FUnknown;
    static constexpr Uid iid = makeUid(0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6);
    enum RestartFlags : int32 { kLatencyChanged = 1 << 3 };

    virtual tresult ORVANTA_VST3_API beginEdit(ParamID id) = 0;
    virtual tresult ORVANTA_VST3_API performEdit(ParamID id, ParamValue normalised) = 0;
    virtual tresult ORVANTA_VST3_API endEdit(ParamID id) = 0;
    virtual tresult ORVANTA_VST3_API restartComponent(int32 flags) = 0;
};

class IEditController : public IPluginBase {
public:
    using Base = IPluginBase;
    static constexpr Uid iid = makeUid(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);

    virtual tresult ORVANTA_VST3_API setComponentState(IBStream* state) = 0;
    virtual tresult ORVANTA_VST3_API setState(IBStream* state) = 0;
    virtual tresult ORVANTA_VST3_API getState(IBStream* state) = 0;
    virtual int32 ORVANTA_VST3_API getParameterCount() = 0;
    virtual tresult ORVANTA_VST3_API getParameterInfo(int32 index, ParameterInfo& info) = 0;
    virtual tresult ORVANTA_VST3_API getParamStringByValue(ParamID id, ParamValue normalised,
                                                           String128 text) = 0;
    virtual tresult ORVANTA_VST3_API getParamValueByString(ParamID id, char16* text,
                                                           ParamValue& normalised) = 0;
    virtual ParamValue ORVANTA_VST3_API normalizedParamToPlain(ParamID id, ParamValue normalised) = 0;
    virtual ParamValue ORVANTA_VST3_API plainParamToNormalized(ParamID id, ParamValue plain) = 0;
    virtual ParamValue ORVANTA_VST3_API getParamNormalized(ParamID id) = 0;
    virtual tresult ORVANTA_VST3_API setParamNormalized(ParamID id, ParamValue normalised) = 0;
    virtual tresult ORVANTA_VST3_API setComponentHandler(IComponentHandler* handler) = 0;
    virtual IPlugView* ORVANTA_VST3_API createView(FIDString name) = 0;
};

constexpr const char* kEditorViewName = "editor";

static_assert(sizeof(ParameterInfo) == 792, "parameter information layout");

}  // namespace vst3
