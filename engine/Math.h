// The elementary functions of the engine, computed in its own source with
// plain double-precision (SSE) arithmetic. The runtime libraries' versions
// differ between systems in their last bits: Windows runtimes compute exp,
// log and pow with x87 code whose results follow the calling thread's x87
// precision, and tan comes from the system's C runtime. The engine's results
// must be the same bits on every system and every host thread, so it uses
// these instead. Each is accurate to about one unit in the last place, and
// agrees with a correctly rounded result nearly always: after the engine
// rounds to single precision, the results equal those of an exact
// computation.
#pragma once

namespace orvanta {

// e^x. NaN for NaN, +inf above the overflow threshold, 0 below underflow.
double exp(double x);
// Natural logarithm. NaN for negative x and NaN, -inf for 0, +inf for +inf.
double log(double x);
// The single-precision logarithm: the double-precision one, rounded.
float log(float x);
// base^exponent for a positive base, as e^(exponent ln base); NaN for a
// negative or NaN base.
double pow(double base, double exponent);
// Tangent of x (radians). NaN for NaN and the infinities; arguments beyond
// 2^19 (no sample rate the engine accepts gives one) answer 0.
double tan(double x);

}  // namespace orvanta
