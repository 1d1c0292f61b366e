// The estimator's pass for the baseline instruction set: four frames per
// SSE register.
#include "TruePeakPass.inc"
