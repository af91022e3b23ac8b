#pragma once
// Builds the chord configurations the chord tests use.
#include <cstdint>

#include "chords/chord.hpp"

namespace chordstest {

// The four chord sizes of the "Acordes" parameter.
enum class Size { Triad, Seventh, Ninth, AddedNinth };

inline const char* sizeText(Size size) {
    switch (size) {
    case Size::Triad: return "triad";
    case Size::Seventh: return "seventh";
    case Size::Ninth: return "ninth";
    case Size::AddedNinth: return "added ninth";
    }
    return "?";
}

// Root position, no octave shift, kinds from the scale, the default custom set.
inline tamso::Config config(int32_t scale, int32_t tonic = 0, Size size = Size::Triad) {
    tamso::Config c{};
    c.tonic = tonic;
    c.scale = scale;
    c.inversion = 0;
    c.octave = 0;
    c.seventhKind = 0;
    c.ninthKind = 0;
    c.addSeventh = size == Size::Seventh || size == Size::Ninth;
    c.addNinth = size == Size::Ninth || size == Size::AddedNinth;
    c.customScale = 2741;
    return c;
}

inline tamso::Config custom(uint16_t mask, int32_t tonic = 0, Size size = Size::Triad) {
    tamso::Config c = config(29, tonic, size);
    c.customScale = mask;
    return c;
}

} // namespace chordstest
