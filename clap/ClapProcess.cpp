// Processing: a host block with its parameter events. Each event takes
// effect at its frame: the block is processed up to the event, the value is
// handed to the core, and the rest follows as a further piece, so the engines
// compute what a port-based host gets when it splits its blocks at the same
// frames. Events the host did not sort, or that lie beyond the block, take
// effect at the earliest frame still to come (the end of the block at the
// latest). Nothing here allocates, locks or blocks.
#include <cstring>

#include "ClapPlugin.h"
#include "Surround51.h"

namespace {

constexpr int32_t kMaxChannels = Surround51::kChannels;

// The first `channels` channel buffers of a port; false unless the port has
// that many 32-bit channels, every one of them with a buffer.
template <typename Sample>
bool bindPort(const clap_audio_buffer_t* ports, uint32_t count, uint32_t channels, Sample** bound) {
    if (ports == nullptr || count == 0 || ports[0].data32 == nullptr || ports[0].channel_count < channels)
        return false;
    for (uint32_t ch = 0; ch < channels; ++ch) {
        bound[ch] = ports[0].data32[ch];
        if (bound[ch] == nullptr) return false;
    }
    return true;
}

// Silence on every output channel the host provided, so that a host that
// plays a failed block anyway plays nothing.
void silenceOutputs(const clap_process_t& process) {
    if (process.audio_outputs == nullptr || process.audio_outputs_count == 0) return;
    const clap_audio_buffer_t& port = process.audio_outputs[0];
    if (port.data32 == nullptr) return;
    for (uint32_t ch = 0; ch < port.channel_count; ++ch)
        if (port.data32[ch]) std::memset(port.data32[ch], 0, sizeof(float) * process.frames_count);
}

uint32_t eventCount(const clap_input_events_t* in) {
    return in != nullptr && in->size != nullptr && in->get != nullptr ? in->size(in) : 0;
}

}  // namespace

clap_process_status ClapPlugin::process(const clap_process_t* process) {
    if (process == nullptr) return CLAP_PROCESS_ERROR;
    const Turn resting = takeTurn(false);
    if (resting != Turn::Active) {
        // Before activation (or while the main thread re-derives the engines)
        // there is nothing to process with.
        if (resting != Turn::Busy) giveTurn(resting);
        silenceOutputs(*process);
        return CLAP_PROCESS_ERROR;
    }

    const uint32_t frames = process->frames_count;
    const float* in[kMaxChannels] = {};
    float* out[kMaxChannels] = {};
    const bool audio = bindPort(process->audio_inputs, process->audio_inputs_count, channels(), in) &&
                       bindPort(process->audio_outputs, process->audio_outputs_count, channels(), out);

    core_->beginMeterBlock();
    uint32_t done = 0;
    auto processUpTo = [&](uint32_t frame) {
        if (frame <= done) return;
        if (audio) {
            const float* pieceIn[kMaxChannels];
            float* pieceOut[kMaxChannels];
            for (uint32_t ch = 0; ch < channels(); ++ch) {
                pieceIn[ch] = in[ch] + done;
                pieceOut[ch] = out[ch] + done;
            }
            core_->process(pieceIn, pieceOut, frame - done);
        }
        done = frame;
    };
    const clap_input_events_t* events = process->in_events;
    const uint32_t count = eventCount(events);
    for (uint32_t i = 0; i < count; ++i) {
        const clap_event_header_t* event = events->get(events, i);
        if (event == nullptr) continue;
        processUpTo(event->time < frames ? event->time : frames);
        applyEvent(event);
    }
    processUpTo(frames);
    core_->publishMeters();
    sendEdits(process->out_events);
    sendMeters(process->out_events, frames);
    giveTurn(Turn::Active);

    if (audio) return CLAP_PROCESS_CONTINUE;
    // Without buffers the engines kept their state; the values still came.
    silenceOutputs(*process);
    return CLAP_PROCESS_ERROR;
}

void ClapPlugin::flush(const clap_input_events_t* in, const clap_output_events_t* out) {
    // A flush during a block (a host calling from two threads) waits for the
    // next one: the values are stored in the core either way.
    const Turn resting = takeTurn(false);
    if (resting == Turn::Busy) {
        applyEvents(in);
        return;
    }
    applyEvents(in);
    sendEdits(out);
    giveTurn(resting);
}

void ClapPlugin::applyEvents(const clap_input_events_t* in) {
    const uint32_t count = eventCount(in);
    for (uint32_t i = 0; i < count; ++i) applyEvent(in->get(in, i));
}

void ClapPlugin::sendEdits(const clap_output_events_t* out) {
    if (out == nullptr || out->try_push == nullptr) return;
    EditEvent edit;
    while (edits_.peek(edit)) {
        clap_event_param_value_t value{};
        clap_event_param_gesture_t gesture{};
        const clap_event_header_t* event;
        if (edit.kind == EditEvent::Kind::Value) {
            value.header = {sizeof value, 0, kClapCoreEventSpace, CLAP_EVENT_PARAM_VALUE, 0};
            value.param_id = static_cast<clap_id>(edit.index);
            value.note_id = -1;
            value.port_index = -1;
            value.channel = -1;
            value.key = -1;
            value.value = edit.plainValue;
            event = &value.header;
        } else {
            const uint16_t type =
                edit.kind == EditEvent::Kind::Begin ? CLAP_EVENT_PARAM_GESTURE_BEGIN : CLAP_EVENT_PARAM_GESTURE_END;
            gesture.header = {sizeof gesture, 0, kClapCoreEventSpace, type, 0};
            gesture.param_id = static_cast<clap_id>(edit.index);
            event = &gesture.header;
        }
        // A full list keeps the edit for the next block.
        if (!out->try_push(out, event)) return;
        edits_.pop();
    }
}
