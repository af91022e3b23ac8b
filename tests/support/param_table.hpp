#pragma once
// The product's parameter table as a host sees it, written out here rather than
// read from the code, so that a check against it is a check of the code.
#include <cstdint>

namespace velktest {

// A parameter as its unit runs: minimum, maximum and the normalised default.
struct ParamRange {
    const char* name;
    double minimum;
    double maximum;
    double normalisedDefault;
};
extern const ParamRange params[16];

// The normalised value of a whole unit value of parameter `index`.
float normalised(int32_t index, double unitValue);

} // namespace velktest
