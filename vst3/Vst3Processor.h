// The VST 3 processor of a layout (stereo or 5.1): the component and audio
// processor a host runs, over a plug-in core and the dry line of the
// bypass. It has one audio input and one output bus in the layout's
// arrangement only (stereo L R; 5.1 L R C LFE Ls Rs, the engine's order),
// processes 32-bit floats, reports the engine's latency at the host's rate,
// applies each parameter change from the sample offset the host gives, and
// reports the two meters as output parameter changes after every block.
//
// Threads, as VST 3 hosts call: the factory's thread creates it; the
// user-interface thread initializes, sets up, activates, saves and restores
// it; the audio thread processes, one block at a time. process allocates
// nothing, takes no lock and makes no system call.
#pragma once

#include <atomic>
#include <memory>

#include "BypassDelay.h"
#include "ComObject.h"
#include "PluginCore.h"
#include "interface/Processing.h"

namespace orvanta_vst3 {

class Vst3Processor final
    : public ComObject<Vst3Processor, vst3::IComponent, vst3::IAudioProcessor, vst3::IProcessContextRequirements> {
public:
    // The factory's thread. A processor at 44100 Hz until the host sets it
    // up; null when memory cannot be had. Never throws.
    static Vst3Processor* create(Layout layout) noexcept;

    // ---- IPluginBase: user-interface thread ----
    vst3::tresult ORVANTA_VST3_API initialize(vst3::FUnknown* context) override;
    vst3::tresult ORVANTA_VST3_API terminate() override;

    // ---- IComponent: user-interface thread ----
    vst3::tresult ORVANTA_VST3_API getControllerClassId(vst3::TUID classId) override;
    vst3::tresult ORVANTA_VST3_API setIoMode(vst3::int32 mode) override;
    vst3::int32 ORVANTA_VST3_API getBusCount(vst3::int32 mediaType, vst3::int32 direction) override;
    vst3::tresult ORVANTA_VST3_API getBusInfo(vst3::int32 mediaType, vst3::int32 direction, vst3::int32 index,
                                              vst3::BusInfo& bus) override;
    vst3::tresult ORVANTA_VST3_API getRoutingInfo(vst3::RoutingInfo& in, vst3::RoutingInfo& out) override;
    vst3::tresult ORVANTA_VST3_API activateBus(vst3::int32 mediaType, vst3::int32 direction, vst3::int32 index,
                                               vst3::TBool state) override;
    // While no block is processed: true clears the signal state (the engines
    // and the dry line), keeping every parameter.
    vst3::tresult ORVANTA_VST3_API setActive(vst3::TBool state) override;
    // Also while blocks are processed: the restored values reach the audio
    // thread whole, before its next block. A stream that holds no state of
    // ours changes nothing and is answered kResultFalse.
    vst3::tresult ORVANTA_VST3_API setState(vst3::IBStream* state) override;
    vst3::tresult ORVANTA_VST3_API getState(vst3::IBStream* state) override;

    // ---- IAudioProcessor ----
    // User-interface thread: only the layout's arrangement, one bus each way.
    vst3::tresult ORVANTA_VST3_API setBusArrangements(vst3::SpeakerArrangement* inputs, vst3::int32 inputCount,
                                                      vst3::SpeakerArrangement* outputs,
                                                      vst3::int32 outputCount) override;
    vst3::tresult ORVANTA_VST3_API getBusArrangement(vst3::int32 direction, vst3::int32 index,
                                                     vst3::SpeakerArrangement& arrangement) override;
    // User-interface thread: 32-bit samples only.
    vst3::tresult ORVANTA_VST3_API canProcessSampleSize(vst3::int32 sampleSize) override;
    // User-interface thread: the latency at the rate set up last.
    vst3::uint32 ORVANTA_VST3_API getLatencySamples() override;
    // User-interface thread, while inactive: the rate re-derives the engines
    // and sizes the dry line (this allocates). Refused while processing is
    // switched on, for 64-bit samples and for a rate that is no positive
    // number.
    vst3::tresult ORVANTA_VST3_API setupProcessing(vst3::ProcessSetup& setup) override;
    // User-interface or audio thread: only recorded.
    vst3::tresult ORVANTA_VST3_API setProcessing(vst3::TBool state) override;
    // Audio thread: one block. Before setActive(true), or with buffers that
    // are not the layout's, the outputs it can reach are silenced, the
    // parameter changes are still taken, and the answer is not kResultOk.
    vst3::tresult ORVANTA_VST3_API process(vst3::ProcessData& data) override;
    // Any thread: the latency, the time the output sounds on after the input.
    vst3::uint32 ORVANTA_VST3_API getTailSamples() override;

    // ---- IProcessContextRequirements: any thread. The transport is not read.
    vst3::uint32 ORVANTA_VST3_API getProcessContextRequirements() override { return 0; }

private:
    friend class ComObject<Vst3Processor, vst3::IComponent, vst3::IAudioProcessor,
                           vst3::IProcessContextRequirements>;
    Vst3Processor(Layout layout, std::unique_ptr<PluginCore> core);
    ~Vst3Processor() = default;

    vst3::SpeakerArrangement arrangement() const;
    // The bus's channel buffers when they are the layout's, else null.
    float** channelsOf(const vst3::AudioBusBuffers* buses, vst3::int32 busCount) const;
    void apply(vst3::ParamID id, double normalised);
    // Frames [start, start + frames) of the block, in pieces the dry line takes.
    void runSpan(float* const* inputs, float* const* outputs, vst3::int32 start, vst3::int32 frames);
    void silence(vst3::ProcessData& data) const;
    void reportMeters(vst3::IParameterChanges* changes) const;

    const Layout layout_;
    const std::unique_ptr<PluginCore> core_;
    BypassDelay dry_;
    std::atomic<bool> bypassed_{false};
    std::atomic<bool> active_{false};
    std::atomic<bool> processing_{false};
};

}  // namespace orvanta_vst3
