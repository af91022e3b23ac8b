// Held keys through whole blocks, at both levels (scenario_level.hpp), as the
// host's MIDI shows them: shared notes, the sustain pedal, all-notes-off,
// repeated note-ons, the editor's rows, ignored kinds, and the host's suspend
// and stop. What the engine and the take hold meanwhile is checked on the
// instance (tests/plugin/sound/held_keys_test.cpp).
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/scenarios/held_keys_scenario.hpp"

namespace velktest {
namespace {

TEST_F(HeldKeys, SharedNotesSoundOnceUntilBothKeysAreUp) {
    noteOn(10, 60, 90);
    EXPECT_EQ(block(), ons(10, {60, 64, 67}, 90));
    noteOn(20, 64, 50);
    EXPECT_EQ(block(), ons(20, {71}, 50));
    noteOff(5, 60);
    EXPECT_EQ(block(), offs(5, {60}));
    noteOff(7, 64);
    EXPECT_EQ(block(), offs(7, {64, 67, 71}));

    // The same within one block, the second key louder.
    fresh();
    noteOn(10, 60, 50);
    noteOn(20, 64, 100);
    noteOff(30, 60);
    noteOff(40, 64);
    EXPECT_EQ(block(),
              ons(10, {60, 64, 67}, 50) + ons(20, {71}, 100) + offs(30, {60}) + offs(40, {64, 67, 71}));
}

TEST_F(HeldKeys, SustainKeepsReleasedKeysUntilThePedalLifts) {
    controller(0, 64, 127);
    noteOn(10, 60);
    noteOff(20, 60);
    noteOn(30, 62);
    EXPECT_EQ(block(), ons(10, {60, 64, 67}, 100) + ons(30, {62, 65, 69}, 100));

    // A second note-off of the sustained key changes nothing.
    noteOff(5, 60);
    EXPECT_EQ(block(), Out{});

    controller(40, 64, 63);
    EXPECT_EQ(block(), offs(40, {60, 64, 67}));
    noteOff(50, 62);
    EXPECT_EQ(block(), offs(50, {62, 65, 69}));

    // The same within one block, with both keys down before the first is released.
    fresh();
    controller(0, 64, 127);
    noteOn(10, 60, 90);
    noteOn(20, 62, 90);
    noteOff(30, 60);
    controller(40, 64, 63);
    noteOff(50, 62);
    EXPECT_EQ(block(), ons(10, {60, 64, 67}, 90) + ons(20, {62, 65, 69}, 90) + offs(40, {60, 64, 67}) +
                           offs(50, {62, 65, 69}));
}

TEST_F(HeldKeys, PedalOnAnotherChannelHoldsNothingHere) {
    for (int channel : {2, 4}) {
        SCOPED_TRACE(channel);
        pedalOnAndKeyReleased(channel);
        EXPECT_EQ(block(), ons(10, {60, 64, 67}, 100) + offs(20, {60, 64, 67}));
    }
}

TEST_F(HeldKeys, AllNotesOffReleasesKeysStillDown) {
    for (int number : {120, 123}) {
        SCOPED_TRACE(number);
        holdKeysOnTwoRows();
        controller(15, number, 0);
        EXPECT_EQ(block(), offs(15, {60, 62, 64, 65, 67, 69}));

        // Their later note-offs change nothing.
        noteOff(5, 60);
        noteOff(6, 62);
        EXPECT_EQ(block(), Out{});
        noteOff(0, 71, 2);
        block();

        // The same within one block, with the key's note-off and the pedal's
        // lift after it: only channel 1's key is released, channel 2's stays.
        controller(0, 64, 127);
        noteOn(10, 60, 90);
        noteOn(20, 62, 90, 2);
        controller(30, number, 0);
        noteOff(40, 60);
        controller(50, 64, 0);
        EXPECT_EQ(block(), ons(10, {60, 64, 67}, 90) + ons(20, {62, 65, 69}, 90) + offs(30, {60, 64, 67}));
        noteOff(0, 62, 2);
        EXPECT_EQ(block(), offs(0, {62, 65, 69}));
    }
}

TEST_F(HeldKeys, NoteOnWithVelocityZeroIsANoteOff) {
    struct {
        int key;
        int velocity;
        Out expected;
    } const cases[] = {{60, 100, ons(10, {60, 64, 67}, 100) + offs(20, {60, 64, 67})},
                       {62, 1, ons(10, {62, 65, 69}, 1) + offs(20, {62, 65, 69})}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        noteOn(10, c.key, c.velocity);
        queue(20, 0x90, c.key, 0);
        EXPECT_EQ(block(), c.expected);
    }
}

TEST_F(HeldKeys, RepeatedNoteOnRestartsOnlyTheUnsharedNotes) {
    noteOn(0, 60, 90);
    noteOn(0, 64, 80);
    block();
    noteOn(30, 60, 70);
    EXPECT_EQ(block(), offs(30, {60}) + ons(30, {60}, 70));

    // The same for a key held only by the pedal.
    controller(0, 64, 127);
    noteOff(1, 64);
    noteOn(40, 64, 60);
    EXPECT_EQ(block(), offs(40, {71}) + ons(40, {71}, 60));

    // The same within one block, the repeated key's notes shared with none.
    fresh();
    noteOn(10, 64, 40);
    noteOn(20, 60, 50);
    noteOn(30, 60, 60);
    EXPECT_EQ(block(), ons(10, {64, 67, 71}, 40) + ons(20, {60}, 50) + offs(30, {60}) + ons(30, {60}, 60));
}

TEST_F(HeldKeys, IgnoredEventsChangeNothing) {
    noteOn(0, 60);
    block();
    queueIgnoredKinds();
    EXPECT_EQ(block(), Out{});
    // The key is still down: its note-off ends the chord.
    noteOff(3, 60);
    EXPECT_EQ(block(), offs(3, {60, 64, 67}));
}

TEST_F(HeldKeys, HostChannelsShareTheEditorsRows) {
    level().key('S', true); // the editor's computer keys play on channel 16
    EXPECT_EQ(block(), ons(0, {62, 65, 69}, 100));
    noteOff(3, 62, 16);
    EXPECT_EQ(block(), offs(3, {62, 65, 69}));

    level().pad(0, true); // its pads on channel 15
    EXPECT_EQ(block(), ons(0, {60, 64, 67}, 100));
    noteOff(4, 60, 15);
    EXPECT_EQ(block(), offs(4, {60, 64, 67}));

    // The editor's note-off after the host released the key changes nothing.
    level().key('S', false);
    EXPECT_EQ(block(), Out{});
}

TEST_F(HeldKeys, SuspendReleasesEverythingIntoTheHost) {
    holdChordsForASuspend();

    // Pending work that the suspend drops: a host note, an editor key, a
    // count-in asked for, and a reset left for the next block.
    noteOn(0, 62);
    deliver();
    level().key('F', true);
    level().record();
    level().releaseNotes();

    clearLog();
    EXPECT_EQ(dispatch(vst2::op::mainsChanged, 0, 0), 1);
    // One list, sent within the suspend call on the host's thread.
    EXPECT_EQ(output(), offs(0, {60, 64, 67, 71, 74, 77}));
    EXPECT_EQ(outputOf(-1).size(), 6u);
    const std::vector<HostCall> lists = calls(vst2::hostProcessEvents);
    ASSERT_EQ(lists.size(), 1u);
    EXPECT_EQ(lists[0].block, -1);
    EXPECT_TRUE(onThisThread(lists[0]));

    // Nothing of the dropped work arrives later.
    clearLog();
    EXPECT_EQ(block(), Out{});
}

TEST_F(HeldKeys, SuspendAndStopProcessingSendNoteOffsWithinTheCall) {
    for (int32_t opcode : {vst2::op::mainsChanged, vst2::op::stopProcessing}) {
        SCOPED_TRACE(opcode);
        noteOn(7, 60, 90);
        controller(8, 64, 127);
        noteOff(9, 60);
        block(512);
        noteOn(0, 64, 91);
        block(512);
        clearLog();
        EXPECT_EQ(dispatch(opcode, 0, 0), 1);
        const std::vector<HostCall> lists = calls(vst2::hostProcessEvents);
        ASSERT_EQ(lists.size(), 1u);
        EXPECT_EQ(lists[0].block, -1);
        EXPECT_TRUE(onThisThread(lists[0]));
        EXPECT_EQ(output(), offs(0, {60, 64, 67, 71}));
        EXPECT_EQ(outputOf(-1).size(), 4u);

        // Keys and the pedal were freed: later note-offs and pedal ups do nothing.
        clearLog();
        resume();
        noteOff(0, 64);
        controller(1, 64, 0);
        block(512);
        block(512);
        EXPECT_TRUE(sent().empty());
        // A second suspend has nothing to send, and sends no empty list.
        suspend();
        EXPECT_TRUE(calls(vst2::hostProcessEvents).empty());
        resume();
    }
}

} // namespace
} // namespace velktest
