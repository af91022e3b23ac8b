#pragma once
// The 30 scales and the interval sets of chords built on them. Pure functions of
// their arguments and constant tables; safe on the audio thread (no allocation).
#include <array>
#include <cstdint>

#include "chords/chord.hpp"

namespace tamso {

struct Scale {
    const char* name; // 8-bit ASCII display name
    uint16_t mask;    // bit k: the pitch class k semitones above the tonic is in the scale
};

// The major scale, 0 2 4 5 7 9 11 semitones above the tonic (2741): the table's
// first row and the custom set's default.
constexpr uint16_t majorScaleMask = 0xAB5;

constexpr int scaleCount = 30;
constexpr int customScaleIndex = 29;
extern const Scale scales[scaleCount];

// The mask that config selects: the custom set for index 29 (the tonic alone when 0).
uint16_t scaleMask(const Config& config) noexcept;

// Whether note's pitch class lies in the scale that config selects.
bool inScale(int32_t note, const Config& config) noexcept;

// The scale note nearest to target inside a window clipped to 0..127; ties go low.
int32_t nearestInScale(int32_t target, const Config& config) noexcept;

// {0, third, fifth, seventh, ninth} in semitones above root (root >= 0).
std::array<int32_t, 5> intervals(int32_t root, const Config& config) noexcept;

} // namespace tamso
