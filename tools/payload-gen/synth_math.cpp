#include "tools/payload-gen/synth_math.hpp"

#include <cmath>

namespace payload {

namespace {
constexpr double pi = 3.14159265358979323846;

// Taylor series of sin on [-pi/2, pi/2]; the error stays below 1e-13.
double sineSeries(double x) {
    const double x2 = x * x;
    double term = x;
    double sum = x;
    for (int n = 1; n <= 9; ++n) {
        term *= -x2 / ((2.0 * n) * (2.0 * n + 1.0));
        sum += term;
    }
    return sum;
}
} // namespace

double sineOfCycles(double cycles) {
    // std::floor is exact, so the reduction is the same on every machine.
    double t = cycles - std::floor(cycles); // 0..1
    if (t >= 0.5) t -= 1.0;                 // -0.5..0.5
    double x = 2.0 * pi * t;                // -pi..pi
    if (x > pi / 2)
        x = pi - x;
    else if (x < -pi / 2)
        x = -pi - x;
    return sineSeries(x);
}

double exponential(double x) {
    // Halve until the series converges fast, then square back.
    int halvings = 0;
    while (x > 0.5 || x < -0.5) {
        x /= 2.0;
        ++halvings;
    }
    double term = 1.0;
    double sum = 1.0;
    for (int n = 1; n <= 20; ++n) {
        term *= x / n;
        sum += term;
    }
    for (int i = 0; i < halvings; ++i)
        sum *= sum;
    return sum;
}

double roundHalfAway(double x) {
    return x >= 0.0 ? std::floor(x + 0.5) : -std::floor(-x + 0.5);
}

} // namespace payload
