#pragma once
// Turns a root and a configuration into the MIDI notes that sound.
#include <cstdint>

#include "chords/chord.hpp"

namespace tamso {

// The voiced chord on root (negative: the empty chord with that root).
// Pure, no allocation: called on the audio thread for every played key.
Chord makeChord(int32_t root, const Config& config) noexcept;

} // namespace tamso
