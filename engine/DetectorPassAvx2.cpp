// The detector pass for processors with AVX2, chosen at run time: up to four
// channels per pass. Built with -mavx2 and without FMA, so every operation
// stays the baseline's IEEE operation.
#include "DetectorPass.inc"
