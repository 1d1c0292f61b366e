// The detector pass for the baseline instruction set (SSE2): two channels
// per pass.
#include "DetectorPass.inc"
