// White-box access to LevelerCore's stages for the engine tests.
#pragma once

#include "LevelerCore.h"
#include "Surround51.h"

struct LevelerCoreProbe {
    // The stages, as the engine holds them (their fields: the stage headers).
    static orvanta::Detector& detector(LevelerCore& e) { return e.detector; }
    static orvanta::DetectorChannel& channel(LevelerCore& e, int d = 0) { return e.detector.state.channel[d]; }
    static orvanta::GainLaw& law(LevelerCore& e) { return e.gainLaw; }
    static orvanta::LookaheadDelay& lookahead(LevelerCore& e) { return e.lookahead; }
    static orvanta::TruePeakEstimator& estimator(LevelerCore& e) { return e.truePeak; }
    static orvanta::Limiter& limiter(LevelerCore& e) { return e.limiter; }
    static const orvanta::PassKernels*& kernels(LevelerCore& e) { return e.kernels; }

    // One detector step on channel d, the offset flipped after it as the
    // loops flip it.
    static float detect(LevelerCore& e, int d, float x) {
        bool rejected = false;
        orvanta::DetectorState& state = e.detector.state;
        const float power = state.channel[d].step(e.detector.settings, x + state.antiDenormal, rejected);
        state.antiDenormal = -state.antiDenormal;
        return power;
    }
    static void gainFor(LevelerCore& e, double programmePower) { e.computeLevelerGain(programmePower); }
    // One sample through ring 0 of the estimator.
    static float truePeak(LevelerCore& e, float gained, float* centre) {
        return e.truePeak.estimate(&gained, 1, 0x1u, centre, nullptr);
    }

    // The frame-by-frame path alone, the reference the staged passes must
    // match: what the loops fall back to, for every frame.
    static void framesMono(LevelerCore& e, const float* in, float* out, int32_t count) {
        for (int32_t i = 0; i < count; ++i) e.channelsFrame<1>(&in, &out, i);
    }
    static void framesStereo(LevelerCore& e, const float* const in[2], float* const out[2], int32_t count) {
        for (int32_t i = 0; i < count; ++i) e.channelsFrame<2>(in, out, i);
    }
    // The 5.1 unit's engines, in the unit's chunks of kPassFrames.
    static void framesSurround(Surround51& unit, const float* const in[6], float* const out[6], int32_t count) {
        float centre[LevelerCore::kPassFrames], peak[LevelerCore::kPassFrames];
        for (int32_t done = 0; done < count; done += LevelerCore::kPassFrames) {
            const int32_t n = count - done < LevelerCore::kPassFrames ? count - done : LevelerCore::kPassFrames;
            const float* chunkIn[6];
            float* chunkOut[6];
            for (int c = 0; c < 6; ++c) {
                chunkIn[c] = in[c] + done;
                chunkOut[c] = out[c] + done;
            }
            for (int32_t i = 0; i < n; ++i) unit.main.surroundFrame(chunkIn, chunkOut, i, centre, peak);
            unit.lfe.limitLfe(centre, peak, chunkOut[orvanta::kLfeChannel], n);
        }
    }

    // Settings as the parameter-table and stress tests read them.
    static float& targetLevel(LevelerCore& e) { return e.gainLaw.targetLevel; }
    static float& maxGain(LevelerCore& e) { return e.gainLaw.maxGain; }
    static float& inputPower(LevelerCore& e) { return e.gainLaw.inputPower; }
    static double& correctionHigh(LevelerCore& e) { return e.gainLaw.correctionHigh; }
    static double& correctionLow(LevelerCore& e) { return e.gainLaw.correctionLow; }
    static float& lfeGain(LevelerCore& e) { return e.gainLaw.lfeGain; }
    static uint8_t& staticGainMode(LevelerCore& e) { return e.gainLaw.staticGainMode; }
    static float& channelShare(LevelerCore& e) { return e.detector.settings.channelShare; }
    static float& freezeThreshold(LevelerCore& e) { return e.detector.settings.freezeThreshold; }
};
