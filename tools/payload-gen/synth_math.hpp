#pragma once
// Sine and exponential by plain series in double, so that the generated
// one-shots do not depend on the maths library's last-bit rounding.

namespace payload {

// sin(2 pi cycles) for any finite number of cycles.
double sineOfCycles(double cycles);

// e to the power x, for |x| up to a few hundred.
double exponential(double x);

// Nearest whole number, halves away from zero.
double roundHalfAway(double x);

} // namespace payload
