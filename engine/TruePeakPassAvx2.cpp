// The estimator's pass for processors with AVX2, chosen at run time: eight
// frames per AVX register. Built with -mavx2 and without FMA, so every
// operation stays the baseline's IEEE operation.
#include "TruePeakPass.inc"
