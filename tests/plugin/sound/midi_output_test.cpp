// The mirror of the sounding notes on the host's MIDI output: channel, switch,
// re-voicing order, full lists and the record layout.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "tests/support/test_host.hpp"

namespace {

using coretest::Midi;
using coretest::off;
using coretest::on;
using coretest::TestHost;
using Out = std::vector<Midi>;

using MidiOutput = coretest::TriadTest;

TEST_F(MidiOutput, ChordOnChannelOne) {
    host.noteOn(100, 60, 77);
    EXPECT_EQ(block(), (Out{on(100, 60, 77), on(100, 64, 77), on(100, 67, 77)}));
    host.noteOff(200, 60);
    EXPECT_EQ(block(), (Out{off(200, 60), off(200, 64), off(200, 67)}));
}

TEST_F(MidiOutput, ChordOnChannelSixteen) {
    host.setUnit(palmtone::pChannel, 16);
    host.noteOn(3, 60, 77);
    host.noteOff(9, 60);
    EXPECT_EQ(block(), (Out{on(3, 60, 77, 16), on(3, 64, 77, 16), on(3, 67, 77, 16), off(9, 60, 16),
                            off(9, 64, 16), off(9, 67, 16)}));
}

TEST_F(MidiOutput, EveryRecordFieldIsWritten) {
    // A slot used before keeps nothing of its old contents.
    for (vst2::MidiEvent& e : host.plugin().outEvents)
        std::memset(&e, 0xAB, sizeof e);
    std::vector<vst2::MidiEvent> seen;
    host.onList = [&] {
        const auto& list = host.plugin().outList;
        EXPECT_EQ(list.reserved, 0);
        for (int i = 0; i < list.numEvents; ++i) {
            EXPECT_EQ(list.events[i], &host.plugin().outEvents[i]);
            seen.push_back(*list.events[i]);
        }
    };
    host.noteOn(5, 60, 90);
    host.noteOff(6, 60);
    block();
    ASSERT_EQ(seen.size(), 6u);
    for (const vst2::MidiEvent& e : seen) {
        EXPECT_EQ(e.type, 1);
        EXPECT_EQ(e.byteSize, 24);
        EXPECT_EQ(e.flags, 1);
        EXPECT_EQ(e.noteLength, 0);
        EXPECT_EQ(e.noteOffset, 0);
        EXPECT_EQ(e.midiData[3], 0);
        EXPECT_EQ(e.detune, 0);
        EXPECT_EQ(e.noteOffVelocity, 0);
        EXPECT_EQ(e.reserved1, 0);
        EXPECT_EQ(e.reserved2, 0);
    }
    ASSERT_EQ(host.callsWith(8).size(), 1u);
    const coretest::HostCall c = host.callsWith(8)[0];
    EXPECT_EQ(c.index, 0);
    EXPECT_EQ(c.value, 0);
    EXPECT_EQ(c.option, 0.0f);
}

TEST_F(MidiOutput, ChannelChangeMovesTheSoundingNotes) {
    host.noteOn(0, 60, 90);
    block();
    host.setUnit(palmtone::pChannel, 2);
    EXPECT_EQ(block(), (Out{off(0, 60), off(0, 64), off(0, 67), on(0, 60, 90, 2), on(0, 64, 90, 2),
                            on(0, 67, 90, 2)}));
    // The channel change did not re-voice: the voices were not restarted.
    EXPECT_GT(host.plugin().engine.age[60], 1000 / 48000.0);
    host.noteOff(10, 60);
    EXPECT_EQ(block(), (Out{off(10, 60, 2), off(10, 64, 2), off(10, 67, 2)}));
}

TEST_F(MidiOutput, SwitchingOffSendsNoteOffsAndThenNothing) {
    host.noteOn(0, 60, 90);
    block();
    host.setUnit(palmtone::pMidiOut, 0);
    EXPECT_EQ(block(), (Out{off(0, 60), off(0, 64), off(0, 67)}));
    host.noteOn(10, 62, 80);
    host.noteOff(20, 60);
    EXPECT_EQ(block(), Out{});
    // Switching on again sends the notes sounding then, on the current channel.
    host.setUnit(palmtone::pChannel, 3);
    host.setUnit(palmtone::pMidiOut, 1);
    EXPECT_EQ(block(), (Out{on(0, 62, 80, 3), on(0, 65, 80, 3), on(0, 69, 80, 3)}));
}

TEST_F(MidiOutput, NothingChangesNothingIsHandedOver) {
    block();
    host.noteOn(0, 60);
    block();
    const size_t lists = host.callsWith(8).size();
    host.setUnit(palmtone::pVolume, 0.3);
    host.setUnit(palmtone::pBpm, 200);
    host.noteOff(3, 99); // a free key
    block();
    block();
    EXPECT_EQ(host.callsWith(8).size(), lists);
}

TEST_F(MidiOutput, RevoicingSendsEachChangeInNoteOrder) {
    host.noteOn(0, 60, 90);
    block();
    // Key 60 on D in D Dorian: the chord C E G becomes D F A.
    host.setUnit(palmtone::pTonic, 2);
    host.setUnit(palmtone::pScale, 4);
    EXPECT_EQ(block(),
              (Out{off(0, 60), on(0, 62, 90), off(0, 64), on(0, 65, 90), off(0, 67), on(0, 69, 90)}));
}

TEST_F(MidiOutput, OverFullBlockIsHandedOverInSeveralOrderedLists) {
    host.setUnit(palmtone::pInput, 2);
    // 1024 host events: 512 notes each switched on and off again, one per frame.
    for (int i = 0; i < 512; ++i) {
        host.noteOn(2 * i, i % 128, 1 + i % 127);
        host.noteOff(2 * i + 1, i % 128);
    }
    host.run(1024);
    ASSERT_FALSE(host.plugin().overflow.load());
    ASSERT_EQ(host.lists, 2);
    ASSERT_EQ(host.out.size(), 1024u);
    for (size_t i = 0; i < host.out.size(); ++i) {
        const coretest::OutEvent& e = host.out[i];
        EXPECT_EQ(e.list, i < 512 ? 0 : 1);
        EXPECT_EQ(e.frame, static_cast<int32_t>(i));
        const int n = static_cast<int>(i / 2);
        EXPECT_EQ(e.status, i % 2 == 0 ? 0x90 : 0x80);
        EXPECT_EQ(e.data1, n % 128);
        EXPECT_EQ(e.data2, i % 2 == 0 ? 1 + n % 127 : 0);
    }
}

TEST_F(MidiOutput, ExactlyFullListIsHandedOverOnce) {
    host.setUnit(palmtone::pInput, 2);
    for (int i = 0; i < 256; ++i) {
        host.noteOn(i, i % 128);
        host.noteOff(i, i % 128);
    }
    host.run(512);
    EXPECT_EQ(host.lists, 1);
    EXPECT_EQ(host.out.size(), 512u);
}

TEST_F(MidiOutput, VelocityZeroIsSentAsOne) {
    // A note whose velocity was never set (the first re-voicing can reach it).
    palmtone::Plugin& p = host.plugin();
    p.engine.gate[50] = true;
    p.engine.velocity[50] = 0;
    p.engine.gate[51] = true;
    p.engine.velocity[51] = 500;
    palmtone::Settings s;
    p.syncOutput(7, s);
    p.flush();
    EXPECT_EQ(host.output(), (Out{on(7, 50, 1), on(7, 51, 127)}));
}

TEST_F(MidiOutput, WithoutAHostEventsAreDiscarded) {
    auto plugin = std::make_unique<palmtone::Plugin>(nullptr);
    plugin->set(palmtone::pInput, 1.0);
    for (int i = 0; i < 600; ++i) {
        plugin->addOutput(i, i % 128, true, 0, 100);
        ASSERT_LE(plugin->outList.numEvents, 512);
    }
    plugin->flush();
    EXPECT_EQ(plugin->outList.numEvents, 0);
    float l[64], r[64];
    float* outputs[2] = {l, r};
    plugin->pushUiEvent(0x9F, 60, 100);
    plugin->process(outputs, 64);
    EXPECT_TRUE(plugin->outOn[60]); // what would have been sent
    EXPECT_EQ(plugin->outList.numEvents, 0);
}

} // namespace
