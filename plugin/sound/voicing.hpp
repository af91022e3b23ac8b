#pragma once
// Which chord a played key means: the input mode turns the key into a root (a
// scale degree, a real root moved into the scale, or the note as written),
// then the chord is built on it. Pure; the audio thread voices held keys with
// it and the editor shows the pads' chords.
#include "chords/chord.hpp"
#include "plugin/host/parameters.hpp"

namespace palmtone {

tamso::Chord voicing(int key, const Settings& settings) noexcept;

} // namespace palmtone
