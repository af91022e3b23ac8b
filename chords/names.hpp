#pragma once
// The texts shown for notes and chords, and the tables of names they use.
#include <cstdint>
#include <string>

#include "chords/chord.hpp"

namespace tamso {

extern const char* const notes[12];     // "C" .. "B", sharps only
extern const char* const sevenKinds[4]; // texts of Config::seventhKind
extern const char* const nineKinds[4];  // texts of Config::ninthKind

// "C4" for 60; allocates, never called on the audio thread.
std::string noteName(int32_t note);

// "Em7(b9)"; "--" for a negative root. Allocates.
std::string chordName(int32_t root, const Config& config);

} // namespace tamso
