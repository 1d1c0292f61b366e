// The vector kernels of the staged passes, and the one table through which
// an engine reaches them.
//
// A kernel is a free function over plain state structs and arrays. Its body
// is a template over a lane set (DetectorKernel.inc, GainLawKernel.inc,
// TruePeakKernel.inc); each instruction set builds all of them in a file of
// its own (KernelsBaseline.cpp, KernelsAvx2.cpp) with the lane sets it has
// (LanesSse.inc, LanesAvx.inc), and fills one PassKernels table. An engine
// takes the table of its processor when it is built. Every table gives the
// bits of the frame-by-frame steps; they differ only in speed.
#pragma once

#include <cstdint>

#include "Detector.h"
#include "GainLaw.h"

namespace orvanta {

// Frames per staged pass. No more than the shortest look-ahead delay (272
// samples at 8 kHz): no frame of a pass reads a delay slot the pass writes.
constexpr int kPassFrames = 256;
// How far past a pass's last frame a kernel may read its inputs and write
// its outputs: groups of up to eight frames.
constexpr int kPassPad = 7;
// The most detector channels one kernel call takes side by side.
constexpr int kMaxDetectorLanes = 8;

// What the detector kernel's stages hand one another: one entry per lane
// and frame.
struct DetectorScratch {
    static constexpr int kEntries = kPassFrames * kMaxDetectorLanes;
    float blendA[kEntries], blendB[kEntries], weighted[kEntries];
    int32_t measured[kEntries];
    float level[kEntries], ratio[kEntries], power[kEntries];
};

struct PassKernels {
    const char* name;
    // Detector channels one call of `detect` takes side by side.
    int detectorLanes;

    // The detector over n frames (1 <= n <= kPassFrames): lane j < lanes
    // steps channels[j] with in[j][0..n), the first frame offset by
    // `antiDenormal`, the offset flipping its sign every frame. power[j][i]
    // receives the channel power of frame i, admitted[j][i] the sample
    // that goes on: in[j][i], or silence where it could not be measured.
    // The same bits as DetectorChannel::step frame by frame.
    void (*detect)(const DetectorSettings& settings, DetectorChannel* channels, int lanes, float antiDenormal,
                   const float* const* in, float* const* admitted, float* const* power, int32_t n,
                   DetectorScratch& scratch);

    // The gain law over n frames: gain[i] for programme[i], as
    // GainLaw::gainFor gives it. programme is read, and gain written, up to
    // n + kPassPad. The law's last log-law power and gain may change.
    void (*gains)(GainLaw& law, const double* programme, float* gain, int32_t n);

    // One true-peak ring over n frames. history[0..kHistory) holds the
    // ring's samples before the pass, oldest first, and history[kHistory +
    // i] frame i's. Where not null, groupPeak[i] is raised to frame i's
    // largest magnitude (a NaN centre takes it, a NaN phase never does) and
    // lfePeak[i] set to it. history is read, the peaks written, up to
    // n + kPassPad.
    void (*interpolate)(const float* history, int32_t n, float* groupPeak, float* lfePeak);
};

// The baseline build (SSE2), which every processor we run on has.
const PassKernels& baselineKernels();
// The AVX2 build, or null where the processor lacks AVX2.
const PassKernels* avx2Kernels();
// The fastest table this processor runs: what an engine takes.
const PassKernels& chosenKernels();

// Every table this processor runs, the baseline first.
struct KernelTables {
    const PassKernels* table[2];
    int count;
};
KernelTables runnableKernels();

}  // namespace orvanta
