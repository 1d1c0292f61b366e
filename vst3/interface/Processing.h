// Our declarations of the VST 3 processing side: the component (buses,
// activation, state), the audio processor (arrangements, set-up, blocks)
// and the parameter changes a block carries, with their structures.
#pragma once

#include "Base.h"

namespace vst3 {

using SpeakerArrangement = uint64;
using ParamID = uint32;
using ParamValue = double;

// Speaker bits; a bus's channels come in the order of its bits.
constexpr SpeakerArrangement kSpeakerL = 1u << 0;
constexpr SpeakerArrangement kSpeakerR = 1u << 1;
constexpr SpeakerArrangement kSpeakerC = 1u << 2;
constexpr SpeakerArrangement kSpeakerLfe = 1u << 3;
constexpr SpeakerArrangement kSpeakerLs = 1u << 4;
constexpr SpeakerArrangement kSpeakerRs = 1u << 5;
constexpr SpeakerArrangement kArrangementStereo = kSpeakerL | kSpeakerR;
constexpr SpeakerArrangement kArrangement51 =
    kSpeakerL | kSpeakerR | kSpeakerC | kSpeakerLfe | kSpeakerLs | kSpeakerRs;

enum MediaType : int32 { kAudio = 0, kEvent = 1 };
enum BusDirection : int32 { kInput = 0, kOutput = 1 };
enum BusType : int32 { kMain = 0, kAux = 1 };

struct BusInfo {
    enum Flags : uint32 { kDefaultActive = 1 << 0 };
    int32 mediaType;
    int32 direction;
    int32 channelCount;
    String128 name;
    int32 busType;
    uint32 flags;
};

struct RoutingInfo {
    int32 mediaType;
    int32 busIndex;
    int32 channel;
};

class IComponent : public IPluginBase {
public:
    using Base = IPluginBase;
    static constexpr Uid iid = makeUid(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);

    virtual tresult ORVANTA_VST3_API getControllerClassId(TUID classId) = 0;
    virtual tresult ORVANTA_VST3_API setIoMode(int32 mode) = 0;
    virtual int32 ORVANTA_VST3_API getBusCount(int32 mediaType, int32 direction) = 0;
    virtual tresult ORVANTA_VST3_API getBusInfo(int32 mediaType, int32 direction, int32 index,
                                                BusInfo& bus) = 0;
    virtual tresult ORVANTA_VST3_API getRoutingInfo(RoutingInfo& in, RoutingInfo& out) = 0;
    virtual tresult ORVANTA_VST3_API activateBus(int32 mediaType, int32 direction, int32 index,
                                                 TBool state) = 0;
    virtual tresult ORVANTA_VST3_API setActive(TBool state) = 0;
    virtual tresult ORVANTA_VST3_API setState(IBStream* state) = 0;
    virtual tresult ORVANTA_VST3_API getState(IBStream* state) = 0;
};

enum SampleSize : int32 { kSample32 = 0, kSample64 = 1 };
enum ProcessMode : int32 { kRealtime = 0, kPrefetch = 1, kOffline = 2 };

struct ProcessSetup {
    int32 processMode;
    int32 symbolicSampleSize;
    int32 maxSamplesPerBlock;
    double sampleRate;
};

struct AudioBusBuffers {
    int32 numChannels;
    uint64 silenceFlags;  // bit c: channel c is all zeros
    union {
        float** channelBuffers32;
        double** channelBuffers64;
    };
};

class IParamValueQueue : public FUnknown {
public:
    using Base = FUnknown;
    static constexpr Uid iid = makeUid(0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA);

    virtual ParamID ORVANTA_VST3_API getParameterId() = 0;
    virtual int32 ORVANTA_VST3_API getPointCount() = 0;
    virtual tresult ORVANTA_VST3_API getPoint(int32 index, int32& sampleOffset, ParamValue& value) = 0;
    virtual tresult ORVANTA_VST3_API addPoint(int32 sampleOffset, ParamValue value, int32& index) = 0;
};

class IParameterChanges : public FUnknown {
public:
    using Base = FUnknown;
    static constexpr Uid iid = makeUid(0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D);

    virtual int32 ORVANTA_VST3_API getParameterCount() = 0;
    virtual IParamValueQueue* ORVANTA_VST3_API getParameterData(int32 index) = 0;
    virtual IParamValueQueue* ORVANTA_VST3_API addParameterData(const ParamID& id, int32& index) = 0;
};

// Passed through, never read: events and the transport context.
struct IEventList;
struct ProcessContext;

struct ProcessData {
    int32 processMode;
    int32 symbolicSampleSize;
    int32 numSamples;
    int32 numInputs;   // buses
    int32 numOutputs;
    AudioBusBuffers* inputs;
    AudioBusBuffers* outputs;
    IParameterChanges* inputParameterChanges;
    IParameterChanges* outputParameterChanges;  // may be null
    IEventList* inputEvents;
    IEventList* outputEvents;
    ProcessContext* processContext;
};

class IAudioProcessor : public FUnknown {
public:
    using Base = FUnknown;
    static constexpr Uid iid = makeUid(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);

    virtual tresult ORVANTA_VST3_API setBusArrangements(SpeakerArrangement* inputs, int32 inputCount,
                                                        SpeakerArrangement* outputs, int32 outputCount) = 0;
    virtual tresult ORVANTA_VST3_API getBusArrangement(int32 direction, int32 index,
                                                       SpeakerArrangement& arrangement) = 0;
    virtual tresult ORVANTA_VST3_API canProcessSampleSize(int32 sampleSize) = 0;
    virtual uint32 ORVANTA_VST3_API getLatencySamples() = 0;
    virtual tresult ORVANTA_VST3_API setupProcessing(ProcessSetup& setup) = 0;
    virtual tresult ORVANTA_VST3_API setProcessing(TBool state) = 0;
    virtual tresult ORVANTA_VST3_API process(ProcessData& data) = 0;
    virtual uint32 ORVANTA_VST3_API getTailSamples() = 0;
};

// Which parts of the transport context a processor reads: hosts ask before
// they fill it.
class IProcessContextRequirements : public FUnknown {
public:
    using Base = FUnknown;
    static constexpr Uid iid = makeUid(0x2A654303, 0xEF764E3D, 0x95B5FE83, 0x730EF6D0);

    virtual uint32 ORVANTA_VST3_API getProcessContextRequirements() = 0;
};

#if INTPTR_MAX == INT64_MAX
static_assert(sizeof(ProcessSetup) == 24 && sizeof(AudioBusBuffers) == 24 && sizeof(ProcessData) == 80,
              "64-bit processing structures");
#elif defined(_WIN32)
static_assert(sizeof(ProcessSetup) == 24 && sizeof(AudioBusBuffers) == 24 && sizeof(ProcessData) == 48,
              "32-bit Windows processing structures");
#else
static_assert(sizeof(ProcessSetup) == 20 && sizeof(AudioBusBuffers) == 16 && sizeof(ProcessData) == 48,
              "i386 processing structures");
#endif
static_assert(sizeof(BusInfo) == 276, "bus information layout");

}  // namespace vst3
