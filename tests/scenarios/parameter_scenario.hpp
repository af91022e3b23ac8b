#pragma once
// The fixtures and the table of cases of the host's parameter calls
// (parameter_scenario.cpp), which the checks of the values the instance stores
// (tests/plugin/host/parameters_test.cpp) extend.
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>

#include "tests/scenarios/scenario_level.hpp"

namespace velktest {

// A value the host sets and the whole step it is stored as.
struct Quantised {
    int32_t index;
    float input;
    double stored;
};
inline void PrintTo(const Quantised& q, std::ostream* os) {
    *os << params[q.index].name << " set to " << q.input;
}

inline const Quantised quantisedExamples[] = {
    {palmtone::pOctave, 0.125f, 0.0},  // -1.5 rounds away from zero to -2
    {palmtone::pOctave, 0.375f, 0.25}, // -0.5 rounds to -1
    {palmtone::pOctave, 0.625f, 0.75}, // 0.5 rounds to 1
    {palmtone::pOctave, 0.5f, 0.5},
    {palmtone::pTonic, 0.5f, 6.0 / 11}, // 5.5 -> 6
    {palmtone::pTonic, 7.0f, 1.0},      // clamped
    {palmtone::pScale, 0.5f, 15.0 / 29},
    {palmtone::pChords, 0.8f, 2.0 / 3},
    {palmtone::pChords, 0.84f, 1.0},
    {palmtone::pInversion, 0.125f, 0.25},
    {palmtone::pVolume, 0.123f, double(0.123f)}, // continuous: the widened float
    {palmtone::pVolume, 1.5f, 1.0},              // clamped
    {palmtone::pVolume, -0.2f, 0.0},             // clamped
    {palmtone::pChannel, 0.5f, 8.0 / 15},        // channel 9
    {palmtone::pChannel, -3.0f, 0.0},
    {palmtone::pBpm, 0.5f, 0.5}, // 165 BPM
    {palmtone::pBpm, 2.0f, 1.0}, // 300 BPM
    {palmtone::pBpm, std::numeric_limits<float>::max(), 1.0},
    {palmtone::pBpm, std::numeric_limits<float>::denorm_min(), 0.0},
    {palmtone::pCustomScale, 0.3f, 1228.0 / 4094}, // 1229.2 -> 1229
    {palmtone::pCustomScale, 0.5f, 0.5},
    {palmtone::pWaveRoot, 0.9999f, 1.0}, // 126.99 -> 127
    {palmtone::pWaveRoot, 0.5f, 64.0 / 127},
    {palmtone::pMidiOut, 0.4f, 0.0},
    {palmtone::pMidiOut, 0.49f, 0.0},
    {palmtone::pMidiOut, 0.5f, 1.0},
    {palmtone::pSound, 0.49f, 0.0},
    {palmtone::pSound, 0.5f, 1.0},
};

class Quantisation : public LevelTest, public ::testing::WithParamInterface<Quantised> {};

class HostParameters : public LevelTest {
  protected:
    void setAllToAQuarter() {
        for (int32_t i = 0; i < 16; ++i)
            set(i, 0.25f);
    }
    // Each non-finite value to every parameter, and 0.9 to the indices that are none.
    void sendNonFiniteAndForeign() {
        const float inf = std::numeric_limits<float>::infinity();
        for (int32_t i = 0; i < 16; ++i)
            for (float v : {std::nanf(""), -std::nanf(""), inf, -inf})
                set(i, v);
        for (int32_t i : foreign)
            set(i, 0.9f);
    }
    static constexpr int32_t foreign[] = {16, 17, -1, 1000, INT_MIN, INT_MAX};
};

} // namespace velktest
