// White-box access to LevelerCore's fields for the engine tests.
#pragma once

#include "LevelerCore.h"

struct LevelerCoreProbe {
#define ORVANTA_PROBE(field) \
    static auto& field(LevelerCore& e) { return e.field; }
    ORVANTA_PROBE(levelRing)
    ORVANTA_PROBE(peakRing)
    ORVANTA_PROBE(sampleRing)
    ORVANTA_PROBE(tpRing)
    ORVANTA_PROBE(lookaheadDelay)
    ORVANTA_PROBE(ceiling)
    ORVANTA_PROBE(releaseFloor)
    ORVANTA_PROBE(floorKnee)
    ORVANTA_PROBE(holdMin)
    ORVANTA_PROBE(floorMin)
    ORVANTA_PROBE(sampleRate)
    ORVANTA_PROBE(outScale)
    ORVANTA_PROBE(shelfA1)
    ORVANTA_PROBE(shelfA2)
    ORVANTA_PROBE(shelfB0)
    ORVANTA_PROBE(shelfB1)
    ORVANTA_PROBE(shelfB2)
    ORVANTA_PROBE(highPassA1)
    ORVANTA_PROBE(highPassA2)
    ORVANTA_PROBE(shelfState1)
    ORVANTA_PROBE(shelfState2)
    ORVANTA_PROBE(highPassState1)
    ORVANTA_PROBE(highPassState2)
    ORVANTA_PROBE(fastPower)
    ORVANTA_PROBE(heldPower)
    ORVANTA_PROBE(slowPower)
    ORVANTA_PROBE(kPower)
    ORVANTA_PROBE(calibrationTarget)
    ORVANTA_PROBE(calibration)
    ORVANTA_PROBE(coef100ms)
    ORVANTA_PROBE(coef500ms)
    ORVANTA_PROBE(coef800ms)
    ORVANTA_PROBE(coef8s)
    ORVANTA_PROBE(targetAmplitude)
    ORVANTA_PROBE(targetLevel)
    ORVANTA_PROBE(maxGain)
    ORVANTA_PROBE(freezeThreshold)
    ORVANTA_PROBE(inputLevel)
    ORVANTA_PROBE(inputPower)
    ORVANTA_PROBE(correctionHigh)
    ORVANTA_PROBE(correctionLow)
    ORVANTA_PROBE(highUsesLogLaw)
    ORVANTA_PROBE(lowUsesLogLaw)
    ORVANTA_PROBE(staticGainMode)
    ORVANTA_PROBE(staticGain)
    ORVANTA_PROBE(highLinearOffset)
    ORVANTA_PROBE(lfeGain)
    ORVANTA_PROBE(channelShare)
    ORVANTA_PROBE(levelerGain)
    ORVANTA_PROBE(antiDenormal)
    ORVANTA_PROBE(startupCount)
    ORVANTA_PROBE(gapCount)
    ORVANTA_PROBE(gapHoldLength)
    ORVANTA_PROBE(lookaheadLength)
    ORVANTA_PROBE(lookaheadIndex)
    ORVANTA_PROBE(limLen)
    ORVANTA_PROBE(holdLen)
    ORVANTA_PROBE(holdCount)
    ORVANTA_PROBE(longHoldLen)
    ORVANTA_PROBE(attackDiv)
    ORVANTA_PROBE(releaseCoef)
    ORVANTA_PROBE(levelRise)
    ORVANTA_PROBE(levelFall)
    ORVANTA_PROBE(envelope)
    ORVANTA_PROBE(peakTarget)
    ORVANTA_PROBE(levelGate)
    ORVANTA_PROBE(tpWrite)
    ORVANTA_PROBE(tpCentre)
    ORVANTA_PROBE(sampleBySampleOnly)
    ORVANTA_PROBE(useAvx2)
#undef ORVANTA_PROBE

    static float detect(LevelerCore& e, int d, float x) {
        bool rejected = false;
        return e.detectChannel(d, x, rejected);
    }
    static void gainFor(LevelerCore& e, double programmePower) { e.computeLevelerGain(programmePower); }
    static float truePeak(LevelerCore& e, float gained, float* centre) {
        return e.estimateTruePeak(&gained, 1, 0x1u, centre, nullptr);
    }
};
