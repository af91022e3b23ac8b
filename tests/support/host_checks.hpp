#pragma once
// What a strict host checks in an instance's output, at either level: every
// sample finite and within -1..1, and a well-formed MIDI stream.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "plugin/host/vst2.hpp"

namespace velktest {

// One event of an opcode 8 list, as the host copied it.
struct Sent {
    int64_t block;       // the block being processed; -1 when sent outside process
    int32_t list;        // number of the opcode 8 call, from 0
    int64_t time;        // absolute frame: the block's first frame (outside: the next's) plus the offset
    bool callerThread;   // sent on the thread that drives the instance
    vst2::MidiEvent raw; // the whole record

    bool inProcess() const { return block >= 0; }
    int32_t frame() const { return raw.deltaFrames; }
    int status() const { return raw.midiData[0]; }
    int data1() const { return raw.midiData[1]; }
    int data2() const { return raw.midiData[2]; }
};

// Every sample finite and within -1..1; reports the first offender.
::testing::AssertionResult audioSane(const std::vector<float>& samples);

// Checks a MIDI output stream the way a strict host would: only note-on and
// note-off, data within 0..127, note-on velocity 1..127, note-off velocity 0,
// offsets inside their block (0 outside process), times that never go back, no
// note-on for a note already on and no note-off for a note not on. `blockSizes`
// gives the size of block i. Returns the notes still on, per channel, in `open`.
::testing::AssertionResult midiWellFormed(const std::vector<Sent>& sent,
                                          const std::vector<int32_t>& blockSizes,
                                          std::vector<std::vector<bool>>* open = nullptr);

} // namespace velktest
