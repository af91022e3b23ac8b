// What reaches the host's MIDI output for played keys: the chord's notes on the
// "Canal" channel at the key's sample, the sounding set across several keys and
// the pedal, channel moves and "MIDI out", and the note-offs of a suspend.
#include <algorithm>

#include "tests/host/plugin_fixture.hpp"

namespace hosttest {
namespace {

using vsthost::OutputMidi;
using vsthost::TimedMidi;

TimedMidi on(int64_t t, uint8_t key, uint8_t velocity = 90, uint8_t channel = 0) {
    return {t, static_cast<uint8_t>(0x90 | channel), key, velocity};
}
TimedMidi off(int64_t t, uint8_t key, uint8_t channel = 0) {
    return {t, static_cast<uint8_t>(0x80 | channel), key, 0};
}
TimedMidi cc(int64_t t, uint8_t controller, uint8_t value, uint8_t channel = 0) {
    return {t, static_cast<uint8_t>(0xB0 | channel), controller, value};
}

// Scale degrees in C major, triads: key 60 is C E G, 62 D F A, 64 E G B.
class MidiOut : public PluginTest {
  protected:
    void SetUp() override {
        PluginTest::SetUp();
        host->setParameter(acordes, 0.0f);
    }
    std::vector<OutputMidi> run(const std::vector<TimedMidi>& schedule, int64_t frames = 2048) {
        play(schedule, frames);
        return sentMidi(*host);
    }
};

std::vector<OutputMidi> notes(int64_t t, uint8_t status, std::initializer_list<int> keys, uint8_t data2) {
    std::vector<OutputMidi> out;
    for (int k : keys)
        out.push_back({t, status, static_cast<uint8_t>(k), data2});
    return out;
}

std::vector<OutputMidi> operator+(std::vector<OutputMidi> a, const std::vector<OutputMidi>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(MidiOut, ChordOnAndOffAtTheKeysSamples) {
    const auto midi = run({on(100, 60, 90), off(700, 60)});
    EXPECT_TRUE((sameMidi(midi, notes(100, 0x90, {60, 64, 67}, 90) + notes(700, 0x80, {60, 64, 67}, 0))));

    // Every field of the records, and where the lists were handed over.
    const auto received = host->received();
    ASSERT_EQ(received.size(), 6u);
    for (const auto& r : received) {
        EXPECT_EQ(r.raw.type, 1);
        EXPECT_EQ(r.raw.byteSize, 24);
        EXPECT_EQ(r.raw.flags, 1);
        EXPECT_EQ(r.raw.noteLength, 0);
        EXPECT_EQ(r.raw.noteOffset, 0);
        EXPECT_EQ(r.raw.midiData[3], 0);
        EXPECT_EQ(r.raw.detune, 0);
        EXPECT_EQ(r.raw.noteOffVelocity, 0);
        EXPECT_EQ(r.raw.reserved1, 0);
        EXPECT_EQ(r.raw.reserved2, 0);
        EXPECT_TRUE(r.inProcess);
        EXPECT_EQ(r.thread, vsthost::currentThreadId());
    }
    EXPECT_EQ(received[0].block, 0);
    EXPECT_EQ(received[0].raw.deltaFrames, 100);
    EXPECT_EQ(received[3].block, 1);
    EXPECT_EQ(received[3].raw.deltaFrames, 700 - 512);
    // One list per block that changed something, none for quiet blocks.
    const auto lists = host->calls(vst2::hostProcessEvents);
    ASSERT_EQ(lists.size(), 2u);
    EXPECT_EQ(lists[0].eventCount, 3);
    EXPECT_EQ(lists[0].index, 0);
    EXPECT_EQ(lists[0].value, 0);
    EXPECT_EQ(lists[0].option, 0.0f);
}

TEST_F(MidiOut, InputChannelDoesNotChooseTheOutputChannel) {
    EXPECT_TRUE((sameMidi(run({on(0, 60, 64, 4), off(10, 60, 4)}),
                          notes(0, 0x90, {60, 64, 67}, 64) + notes(10, 0x80, {60, 64, 67}, 0))));
}

TEST_F(MidiOut, Channel16) {
    host->setParameter(canal, 1.0f);
    EXPECT_TRUE((sameMidi(run({on(5, 60, 127), off(6, 60)}),
                          notes(5, 0x9F, {60, 64, 67}, 127) + notes(6, 0x8F, {60, 64, 67}, 0))));
}

TEST_F(MidiOut, ChannelChangeMovesSoundingNotes) {
    play({on(30, 60, 77)}, 512);
    host->setParameter(canal, normalised(canal, 2));
    play({}, 512);
    play({off(1100, 60)}, 512);
    EXPECT_TRUE((sameMidi(sentMidi(*host),
                          notes(30, 0x90, {60, 64, 67}, 77) + notes(512, 0x80, {60, 64, 67}, 0) +
                              notes(512, 0x91, {60, 64, 67}, 77) + notes(1100, 0x81, {60, 64, 67}, 0))));
}

TEST_F(MidiOut, MidiOutSwitch) {
    play({on(0, 60, 80)}, 512);
    host->setParameter(midiOut, 0.0f);
    play({on(600, 62, 70)}, 512); // sounds, but nothing is sent
    play({}, 512);
    host->setParameter(midiOut, 1.0f);
    play({}, 512);
    // Back on: note-ons for what sounds then, ascending, with each note's velocity.
    EXPECT_TRUE(
        (sameMidi(sentMidi(*host), notes(0, 0x90, {60, 64, 67}, 80) + notes(512, 0x80, {60, 64, 67}, 0) +
                                       std::vector<OutputMidi>{{1536, 0x90, 60, 80},
                                                               {1536, 0x90, 62, 70},
                                                               {1536, 0x90, 64, 80},
                                                               {1536, 0x90, 65, 70},
                                                               {1536, 0x90, 67, 80},
                                                               {1536, 0x90, 69, 70}})));
}

TEST_F(MidiOut, QuietBlocksHandNothingOver) {
    play({}, 512 * 8);
    EXPECT_TRUE(host->calls(vst2::hostProcessEvents).empty());
    play({on(4096 + 3, 60)}, 512 * 8);
    EXPECT_EQ(host->calls(vst2::hostProcessEvents).size(), 1u);
}

TEST_F(MidiOut, TonicChangeRevoicesInAscendingOrder) {
    play({on(0, 60, 99)}, 512);
    host->setParameter(tonica, normalised(tonica, 2)); // D major: key 60 is D F# A
    play({}, 512);
    EXPECT_TRUE((sameMidi(sentMidi(*host),
                          notes(0, 0x90, {60, 64, 67}, 99) + std::vector<OutputMidi>{{512, 0x80, 60, 0},
                                                                                     {512, 0x90, 62, 99},
                                                                                     {512, 0x80, 64, 0},
                                                                                     {512, 0x90, 66, 99},
                                                                                     {512, 0x80, 67, 0},
                                                                                     {512, 0x90, 69, 99}})));
}

TEST_F(MidiOut, VolumeTempoAndChannelNeverRevoice) {
    play({on(0, 60, 99)}, 512);
    host->clearLog();
    host->setParameter(volumen, 0.2f);
    host->setParameter(bpm, 0.9f);
    host->setParameter(raizWav, 0.1f);
    host->setParameter(tocarWav, 1.0f);
    play({}, 1024);
    EXPECT_TRUE(sentMidi(*host).empty());
}

TEST_F(MidiOut, SharedNotesSoundOnce) {
    // C E G and E G B share E and G: they start once and stop with the last key.
    EXPECT_TRUE((sameMidi(run({on(10, 60, 50), on(20, 64, 100), off(30, 60), off(40, 64)}),
                          notes(10, 0x90, {60, 64, 67}, 50) + notes(20, 0x90, {71}, 100) +
                              notes(30, 0x80, {60}, 0) + notes(40, 0x80, {64, 67, 71}, 0))));
}

// A shared note takes the velocity of the key that added it last, which shows
// when a channel change sends every sounding note again.
TEST_F(MidiOut, SharedNoteKeepsTheLastKeysVelocity) {
    play({on(10, 60, 50), on(20, 64, 100)}, 512);
    host->clearLog();
    host->setParameter(canal, normalised(canal, 2));
    play({}, 512);
    EXPECT_TRUE(
        (sameMidi(sentMidi(*host), notes(512, 0x80, {60, 64, 67, 71}, 0) + notes(512, 0x91, {60}, 50) +
                                       notes(512, 0x91, {64, 67, 71}, 100))));
}

// Scale 29 with the custom set 1 (the tonic alone): degree II of key 62 counts
// on to the next tonic, 72, and the triad folds to 72 and 84.
TEST_F(MidiOut, CustomScaleOfTheTonicAlone) {
    host->setParameter(escala, 1.0f);
    host->setParameter(escala12, 0.0f);
    EXPECT_TRUE((sameMidi(run({on(0, 62, 70)}, 512), notes(0, 0x90, {72, 84}, 70))));
}

TEST_F(MidiOut, RepeatedNoteOnRestartsOnlyUnsharedNotes) {
    EXPECT_TRUE((sameMidi(run({on(10, 64, 40), on(20, 60, 50), on(30, 60, 60)}),
                          notes(10, 0x90, {64, 67, 71}, 40) + notes(20, 0x90, {60}, 50) +
                              notes(30, 0x80, {60}, 0) + notes(30, 0x90, {60}, 60))));
}

TEST_F(MidiOut, VelocityZeroIsANoteOff) {
    EXPECT_TRUE((sameMidi(run({on(10, 62, 1), on(20, 62, 0)}),
                          notes(10, 0x90, {62, 65, 69}, 1) + notes(20, 0x80, {62, 65, 69}, 0))));
}

TEST_F(MidiOut, SustainPedalHoldsReleasedKeysOnly) {
    EXPECT_TRUE(
        (sameMidi(run({cc(0, 64, 127), on(10, 60), on(20, 62), off(30, 60), cc(40, 64, 63), off(50, 62)}),
                  notes(10, 0x90, {60, 64, 67}, 90) + notes(20, 0x90, {62, 65, 69}, 90) +
                      notes(40, 0x80, {60, 64, 67}, 0) + notes(50, 0x80, {62, 65, 69}, 0))));
}

TEST_F(MidiOut, PedalOfAnotherChannelHoldsNothing) {
    EXPECT_TRUE((sameMidi(run({cc(0, 64, 127, 3), on(10, 60), off(20, 60)}),
                          notes(10, 0x90, {60, 64, 67}, 90) + notes(20, 0x80, {60, 64, 67}, 0))));
}

TEST_F(MidiOut, AllNotesOffReleasesKeysStillDown) {
    for (uint8_t controller : {120, 123}) {
        host->clearLog();
        const int64_t t = host->position();
        play({cc(t, 64, 127), on(t + 10, 60), on(t + 20, 62, 90, 1), cc(t + 30, controller, 0),
              off(t + 40, 60), cc(t + 50, 64, 0)},
             512);
        // Only channel 1's key is released; channel 2's stays.
        EXPECT_TRUE((sameMidi(sentMidi(*host), notes(t + 10, 0x90, {60, 64, 67}, 90) +
                                                   notes(t + 20, 0x90, {62, 65, 69}, 90) +
                                                   notes(t + 30, 0x80, {60, 64, 67}, 0))))
            << "controller " << int(controller);
        host->clearLog();
        play({off(host->position(), 62, 1)}, 512);
        EXPECT_EQ(sentMidi(*host).size(), 3u);
    }
}

TEST_F(MidiOut, EqualFramesApplyInArrivalOrder) {
    EXPECT_TRUE((sameMidi(run({on(10, 60), off(10, 60), off(20, 62), on(20, 62)}),
                          notes(10, 0x90, {60, 64, 67}, 90) + notes(10, 0x80, {60, 64, 67}, 0) +
                              notes(20, 0x90, {62, 65, 69}, 90))));
}

TEST_F(MidiOut, OffsetsOutsideTheBlockAreClamped) {
    host->process(512);
    host->sendEvents({{10000, 0x90, 60, 90}, {-5, 0x90, 62, 90}, {INT32_MIN, 0x90, 64, 90}});
    host->process(512);
    host->sendEvents({{INT32_MAX, 0x80, 60, 0}});
    host->process(100);
    // At 0: D F A, then E G B; at 511: C E G adds only C.
    EXPECT_TRUE(
        (sameMidi(sentMidi(*host), notes(512, 0x90, {62, 65, 69}, 90) + notes(512, 0x90, {64, 67, 71}, 90) +
                                       notes(1023, 0x90, {60}, 90) + notes(1123, 0x80, {60}, 0))));
}

struct ModeCase {
    float mode;
    uint8_t key;
    std::vector<int> chord;
};

TEST_F(MidiOut, InputModes) {
    const ModeCase cases[] = {
        {0.0f, 62, {62, 65, 69}}, {0.0f, 61, {60, 64, 67}}, {0.0f, 71, {71, 74, 77}},
        {0.5f, 61, {60, 64, 67}}, {0.5f, 62, {62, 65, 69}}, {0.5f, 66, {65, 69, 72}},
        {1.0f, 61, {61}},         {1.0f, 0, {0}},           {1.0f, 127, {127}},
    };
    for (const ModeCase& c : cases) {
        host->clearLog();
        host->setParameter(entrada, c.mode);
        const int64_t t = host->position();
        play({on(t + 1, c.key, 33)}, 512);
        play({off(host->position(), c.key)}, 512);
        std::vector<OutputMidi> expected;
        for (int n : c.chord)
            expected.push_back({t + 1, 0x90, static_cast<uint8_t>(n), 33});
        for (int n : c.chord)
            expected.push_back({t + 512, 0x80, static_cast<uint8_t>(n), 0});
        EXPECT_TRUE((sameMidi(sentMidi(*host), expected))) << "mode " << c.mode << " key " << int(c.key);
    }
}

TEST_F(MidiOut, SuspendSendsNoteOffsWithinTheCall) {
    for (int32_t opcode : {12, 72}) {
        play({on(host->position() + 7, 60, 90), cc(host->position() + 8, 64, 127),
              off(host->position() + 9, 60)},
             512);
        play({on(host->position(), 64, 91)}, 512);
        host->clearLog();
        const int64_t at = host->position();
        EXPECT_EQ(host->dispatch(opcode, 0, 0), 1);
        const auto lists = host->calls(vst2::hostProcessEvents);
        ASSERT_EQ(lists.size(), 1u) << "opcode " << opcode;
        EXPECT_FALSE(lists[0].inProcess);
        EXPECT_EQ(lists[0].thread, vsthost::currentThreadId());
        EXPECT_TRUE((sameMidi(sentMidi(*host), notes(at, 0x80, {60, 64, 67, 71}, 0)))) << "opcode " << opcode;

        // Keys and the pedal were freed: later note-offs and pedal ups do nothing.
        host->clearLog();
        host->resume();
        play({off(host->position(), 64), cc(host->position() + 1, 64, 0)}, 1024);
        EXPECT_TRUE(sentMidi(*host).empty());
        // A second suspend has nothing to send, and sends no empty list.
        host->suspend();
        EXPECT_TRUE(host->calls(vst2::hostProcessEvents).empty());
        host->resume();
    }
}

// Events of several intake calls before one block accumulate; a zero-frame block
// keeps them for the next block.
TEST_F(MidiOut, EventsWaitForABlockWithFrames) {
    host->clearLog();
    host->sendEvents({{3, 0x90, 60, 90}});
    host->process(0);
    host->sendEvents({{4, 0x90, 62, 91}});
    host->process(0);
    EXPECT_TRUE(host->calls().empty()); // a zero-frame block calls nothing
    host->process(512);
    EXPECT_TRUE(
        (sameMidi(sentMidi(*host), notes(3, 0x90, {60, 64, 67}, 90) + notes(4, 0x90, {62, 65, 69}, 91))));
}

} // namespace
} // namespace hosttest
