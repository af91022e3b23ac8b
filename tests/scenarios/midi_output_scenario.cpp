// The mirror of the sounding notes on the host's MIDI output, at both levels
// (scenario_level.hpp): the records and the lists they go out in, the "Canal"
// channel and its changes, the "MIDI out" switch, re-voicing order, the shared
// note's velocity, the input modes, and full lists. The instance's own output
// records and voices are checked on it (tests/plugin/sound/midi_output_test.cpp).
#include <gtest/gtest.h>

#include <vector>

#include "tests/scenarios/midi_output_scenario.hpp"

namespace velktest {
namespace {

TEST_F(MidiOutput, ChordOnAndOffAtTheKeysSamples) {
    clearLog();
    chordOnAndOff();
    const std::vector<Sent> sent = this->sent();
    ASSERT_EQ(sent.size(), 6u);
    expectWholeRecords(sent);
    // One list per block that changed something, none for quiet blocks, each
    // the instance's own list again.
    const std::vector<HostCall> lists = calls(vst2::hostProcessEvents);
    ASSERT_EQ(lists.size(), 2u);
    for (const HostCall& c : lists) {
        EXPECT_EQ(c.eventCount, 3);
        EXPECT_EQ(c.index, 0);
        EXPECT_EQ(c.value, 0);
        EXPECT_EQ(c.option, 0.0f);
        EXPECT_NE(c.ptr, nullptr);
        EXPECT_EQ(c.ptr, lists[0].ptr);
    }
}

TEST_F(MidiOutput, ChordOnTheCanalChannelWhateverTheInputChannel) {
    struct {
        int canal;
        int input;
        int velocity;
    } const cases[] = {{1, 5, 64}, {16, 1, 127}, {16, 9, 77}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.canal);
        setUnit(palmtone::pChannel, c.canal);
        noteOn(3, 60, c.velocity, c.input);
        noteOff(9, 60, c.input);
        EXPECT_EQ(block(), ons(3, {60, 64, 67}, c.velocity, c.canal) + offs(9, {60, 64, 67}, c.canal));
    }
}

TEST_F(MidiOutput, ChannelChangeMovesTheSoundingNotes) {
    noteOn(0, 60, 90);
    block();
    setUnit(palmtone::pChannel, 2);
    EXPECT_EQ(block(), offs(0, {60, 64, 67}) + ons(0, {60, 64, 67}, 90, 2));
    noteOff(10, 60);
    EXPECT_EQ(block(), offs(10, {60, 64, 67}, 2));
}

// A shared note takes the velocity of the key that added it last, which shows
// when a channel change sends every sounding note again.
TEST_F(MidiOutput, SharedNoteKeepsTheLastKeysVelocity) {
    noteOn(10, 60, 50);
    noteOn(20, 64, 100);
    block();
    setUnit(palmtone::pChannel, 2);
    EXPECT_EQ(block(), offs(0, {60, 64, 67, 71}) + ons(0, {60}, 50, 2) + ons(0, {64, 67, 71}, 100, 2));
}

TEST_F(MidiOutput, SwitchingOffSendsNoteOffsAndThenNothing) {
    noteOn(0, 60, 90);
    block();
    setUnit(palmtone::pMidiOut, 0);
    EXPECT_EQ(block(), offs(0, {60, 64, 67}));
    noteOn(10, 62, 80);
    noteOn(20, 64, 70);
    noteOff(30, 60);
    EXPECT_EQ(block(), Out{}); // they sound, but nothing is sent
    EXPECT_EQ(block(), Out{});
    // Switching on again sends the notes sounding then, on the current channel,
    // in ascending order with each note's velocity.
    setUnit(palmtone::pChannel, 3);
    setUnit(palmtone::pMidiOut, 1);
    EXPECT_EQ(block(), (Out{on(0, 62, 80, 3), on(0, 64, 70, 3), on(0, 65, 80, 3), on(0, 67, 70, 3),
                            on(0, 69, 80, 3), on(0, 71, 70, 3)}));
}

TEST_F(MidiOutput, NothingChangesNothingIsHandedOver) {
    clearLog();
    for (int i = 0; i < 8; ++i)
        block();
    EXPECT_TRUE(calls(vst2::hostProcessEvents).empty());
    noteOn(3, 60, 99);
    for (int i = 0; i < 8; ++i)
        block();
    EXPECT_EQ(calls(vst2::hostProcessEvents).size(), 1u);

    // Neither the volume, the tempo nor the one-shot's root and play mode
    // re-voice, and a free key's note-off changes nothing.
    clearLog();
    set(palmtone::pVolume, 0.2f);
    set(palmtone::pBpm, 0.9f);
    set(palmtone::pWaveRoot, 0.1f);
    set(palmtone::pWholeOneShot, 1.0f);
    noteOff(3, 99);
    block();
    block();
    EXPECT_TRUE(calls(vst2::hostProcessEvents).empty());
    EXPECT_TRUE(sent().empty());
}

TEST_F(MidiOutput, RevoicingSendsEachChangeInNoteOrder) {
    struct {
        int scale;
        Out expected;
    } const cases[] = {
        // Key 60 on D in D Dorian: the chord C E G becomes D F A.
        {4, offs(0, {60}) + ons(0, {62}, 90) + offs(0, {64}) + ons(0, {65}, 90) + offs(0, {67}) +
                ons(0, {69}, 90)},
        // In D major: D F# A.
        {0, offs(0, {60}) + ons(0, {62}, 90) + offs(0, {64}) + ons(0, {66}, 90) + offs(0, {67}) +
                ons(0, {69}, 90)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scale);
        fresh();
        noteOn(0, 60, 90);
        block();
        setUnit(palmtone::pTonic, 2);
        setUnit(palmtone::pScale, c.scale);
        EXPECT_EQ(block(), c.expected);
    }
}

// Scale 29 with the custom set 1 (the tonic alone): degree II of key 62 counts
// on to the next tonic, 72, and the triad folds to 72 and 84.
TEST_F(MidiOutput, CustomScaleOfTheTonicAlone) {
    set(palmtone::pScale, 1.0f);
    set(palmtone::pCustomScale, 0.0f);
    noteOn(0, 62, 70);
    EXPECT_EQ(block(), ons(0, {72, 84}, 70));
}

TEST_F(MidiOutput, InputModes) {
    struct {
        float mode;
        int key;
        std::vector<int> chord;
    } const cases[] = {
        {0.0f, 62, {62, 65, 69}}, {0.0f, 61, {60, 64, 67}}, {0.0f, 71, {71, 74, 77}},
        {0.5f, 61, {60, 64, 67}}, {0.5f, 62, {62, 65, 69}}, {0.5f, 66, {65, 69, 72}},
        {1.0f, 61, {61}},         {1.0f, 0, {0}},           {1.0f, 127, {127}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " key " << c.key);
        set(palmtone::pInput, c.mode);
        noteOn(1, c.key, 33);
        Out expected;
        for (int n : c.chord)
            expected.push_back(on(1, n, 33));
        EXPECT_EQ(block(), expected);
        noteOff(0, c.key);
        expected.clear();
        for (int n : c.chord)
            expected.push_back(velktest::off(0, n));
        EXPECT_EQ(block(), expected);
    }
}

TEST_F(MidiOutput, OverFullBlockIsHandedOverInSeveralOrderedLists) {
    clearLog();
    runOverFullBlock();
    const std::vector<HostCall> lists = calls(vst2::hostProcessEvents);
    ASSERT_EQ(lists.size(), 2u);
    EXPECT_EQ(lists[0].eventCount, 512);
    EXPECT_EQ(lists[1].eventCount, 512);
    const std::vector<Sent> sent = this->sent();
    ASSERT_EQ(sent.size(), 1024u);
    for (size_t i = 0; i < sent.size(); ++i) {
        const Sent& e = sent[i];
        EXPECT_EQ(e.list - sent[0].list, i < 512 ? 0 : 1);
        EXPECT_EQ(e.block, level().blocks() - 1);
        EXPECT_EQ(e.frame(), static_cast<int32_t>(i));
        const int n = static_cast<int>(i / 2);
        EXPECT_EQ(e.status(), i % 2 == 0 ? 0x90 : 0x80);
        EXPECT_EQ(e.data1(), n % 128);
        EXPECT_EQ(e.data2(), i % 2 == 0 ? 1 + n % 127 : 0);
    }
}

TEST_F(MidiOutput, ExactlyFullListIsHandedOverOnce) {
    setUnit(palmtone::pInput, 2);
    clearLog();
    for (int i = 0; i < 256; ++i) {
        noteOn(i, i % 128);
        noteOff(i, i % 128);
    }
    level().run(512);
    EXPECT_EQ(calls(vst2::hostProcessEvents).size(), 1u);
    EXPECT_EQ(sent().size(), 512u);
}

} // namespace
} // namespace velktest
