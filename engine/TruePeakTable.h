// The true-peak estimator's interpolation table, shared by its frame-by-frame
// step (TruePeak.cpp) and its kernel (TruePeakKernel.inc).
#pragma once

#include "TruePeakEstimator.h"

namespace orvanta {

// Row k multiplies the sample written k samples before the newest one; row
// kCentreDelay the centre sample. Each phase column sums to 1 (a constant
// passes with unit gain); row 11 - k is row k with its phases reversed.
constexpr float kInterpolator[TruePeakEstimator::kTaps][4] = {
    {-0.0220665932f, -0.0321273804f, -0.0291595459f, -0.0165920258f},
    {0.0420572758f, 0.0604727268f, 0.0530773401f, 0.0285004377f},
    {-0.0722943544f, -0.10719502f, -0.0968155861f, -0.0532443523f},
    {0.109519362f, 0.165168524f, 0.152565241f, 0.0861662626f},
    {-0.178005934f, -0.256623149f, -0.23108232f, -0.129134774f},
    {0.953251123f, 0.787033796f, 0.534685493f, 0.251843691f},
    {0.251843691f, 0.534685493f, 0.787033796f, 0.953251123f},
    {-0.129134774f, -0.23108232f, -0.256623149f, -0.178005934f},
    {0.0861662626f, 0.152565241f, 0.165168524f, 0.109519362f},
    {-0.0532443523f, -0.0968155861f, -0.10719502f, -0.0722943544f},
    {0.0285004377f, 0.0530773401f, 0.0604727268f, 0.0420572758f},
    {-0.0165920258f, -0.0291595459f, -0.0321273804f, -0.0220665932f},
};

}  // namespace orvanta
