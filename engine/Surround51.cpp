#include "Surround51.h"

void Surround51::setTruePeak(float dbtp) {
    main.setTruePeak(dbtp);
    lfe.setTruePeak(dbtp);
}

void Surround51::setSampleRate(float hz) {
    main.setSampleRate(hz);
    lfe.setSampleRate(hz);
}

void Surround51::reset() {
    main.reset();
    lfe.reset();
}

void Surround51::process(const float* const inputs[kChannels], float* const outputs[kChannels],
                         int32_t count) {
    const float* in[kChannels];
    float* out[kChannels];
    for (int32_t done = 0; done < count; done += kChunkSamples) {
        const int32_t n = count - done < kChunkSamples ? count - done : kChunkSamples;
        for (int ch = 0; ch < kChannels; ++ch) {
            in[ch] = inputs[ch] + done;
            out[ch] = outputs[ch] + done;
        }
        // The main engine reads every LFE input sample of the chunk before
        // the LFE engine, stepping along with it, writes the LFE output of
        // the same samples.
        main.processSurround(in, out, lfeCentre, lfePeak, n, &lfe);
    }
}
