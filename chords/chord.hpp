#pragma once
// The two value types of the chord theory: how chords are built and one voiced chord.
#include <cstdint>

namespace tamso {

// Chord-building configuration, decoded from the parameters once per block.
// A plain aggregate: palmtone::settings always fills every field.
struct Config {
    int32_t tonic;        // pitch class of the key, 0 = C .. 11 = B
    int32_t scale;        // row of tamso::scales; 29 = the custom set
    int32_t inversion;    // 0..4: how many of the lowest notes move up an octave
    int32_t octave;       // -2..2
    int32_t seventhKind;  // 0 from the scale, 1 minor, 2 major, 3 diminished
    int32_t ninthKind;    // 0 from the scale, 1 major, 2 minor, 3 augmented
    uint8_t addSeventh;   // 0 or 1
    uint8_t addNinth;     // 0 or 1
    uint16_t customScale; // 12-bit pitch-class mask relative to the tonic
};

// One voiced chord: up to five ascending, distinct MIDI notes in 0..127.
struct Chord {
    int32_t notes[5]; // slots from count on hold 0
    int32_t count;    // 0..5
    int32_t root;     // the root asked for; negative = no chord
};

// The empty chord that a free held key keeps.
constexpr Chord emptyChord() noexcept {
    return Chord{{0, 0, 0, 0, 0}, 0, -1};
}

} // namespace tamso
