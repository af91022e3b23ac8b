#pragma once
// A strict reader for the files the take writes, independent of the writer: one
// format-0 track holding the name, the tempo, channel note events (each with its
// own status byte) and the end of track.
#include <cstdint>
#include <string>
#include <vector>

namespace velktest {

struct SmfNote {
    uint32_t tick = 0; // absolute
    bool on = false;
    int note = 0;
    int channel = 0;
    int velocity = 0;
    bool operator==(const SmfNote& o) const {
        return tick == o.tick && on == o.on && note == o.note && channel == o.channel &&
               velocity == o.velocity;
    }
};

struct Smf {
    std::string name;
    uint32_t tempo = 0; // microseconds per quarter note
    std::vector<SmfNote> notes;
    std::vector<uint32_t> deltas; // of the note events, as written
};

// Parses `bytes`; returns an empty string on success, else what is wrong.
std::string readSmf(const std::vector<uint8_t>& bytes, Smf& out);

} // namespace velktest
