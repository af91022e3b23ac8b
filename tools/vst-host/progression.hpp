#pragma once
// The short chord progression the demo renders: one chord per bar, every second
// chord held on by the sustain pedal after its key is up.
#include <string>
#include <vector>

#include "tools/vst-host/schedule.hpp"

namespace vsthost {

// Roots from a comma-separated list of MIDI note numbers or names ("C4", "F#3",
// "Bb2"; 60 = C4). Throws std::invalid_argument for a malformed entry or an empty list.
std::vector<int> parseRoots(const std::string& text);

struct Progression {
    std::vector<TimedMidi> events; // on channel 1
    int64_t frames;                // the bars plus one second of release
};

Progression progression(const std::vector<int>& roots, double bpm, double sampleRate);

} // namespace vsthost
