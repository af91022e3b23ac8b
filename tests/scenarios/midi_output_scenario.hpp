#pragma once
// The MIDI-output fixture (midi_output_scenario.cpp), which the checks of the
// instance's output records and voices (tests/plugin/sound/midi_output_test.cpp) extend.
#include <vector>

#include "tests/scenarios/scenario_level.hpp"

namespace velktest {

// Scale degrees in C major, triads: key 60 is C E G, 62 D F A, 64 E G B.
class MidiOutput : public LevelTest {
  protected:
    void prepare() override { setUnit(palmtone::pChords, 0); }

    // A chord on key 60 and its release, then two quiet blocks.
    void chordOnAndOff() {
        noteOn(100, 60, 77);
        EXPECT_EQ(block(), ons(100, {60, 64, 67}, 77));
        noteOff(188, 60);
        EXPECT_EQ(block(), offs(188, {60, 64, 67}));
        EXPECT_EQ(block(), Out{});
        EXPECT_EQ(block(), Out{});
    }
    // One block of 1024 frames and 1024 host events, notes passed through
    // unchanged: 512 notes each switched on and off again, one per frame.
    void runOverFullBlock() {
        setUnit(palmtone::pInput, 2);
        for (int i = 0; i < 512; ++i) {
            noteOn(2 * i, i % 128, 1 + i % 127);
            noteOff(2 * i + 1, i % 128);
        }
        level().run(1024);
    }
    // Every field of every record sent, on the thread running the block.
    static void expectWholeRecords(const std::vector<Sent>& sent) {
        for (const Sent& s : sent) {
            EXPECT_EQ(s.raw.type, 1);
            EXPECT_EQ(s.raw.byteSize, 24);
            EXPECT_EQ(s.raw.flags, 1);
            EXPECT_EQ(s.raw.noteLength, 0);
            EXPECT_EQ(s.raw.noteOffset, 0);
            EXPECT_EQ(s.raw.midiData[3], 0);
            EXPECT_EQ(s.raw.detune, 0);
            EXPECT_EQ(s.raw.noteOffVelocity, 0);
            EXPECT_EQ(s.raw.reserved1, 0);
            EXPECT_EQ(s.raw.reserved2, 0);
            EXPECT_TRUE(s.callerThread);
        }
    }
};

} // namespace velktest
