// The instance's side of its MIDI output: the records and the list it hands the
// host, the voices a channel change leaves running, the overflow flag of a full
// block, notes whose velocity only the engine's own fields can hold, and an
// instance with no host to take its output. The output as a host receives it
// runs at both levels (tests/scenarios/midi_output_scenario.cpp); these need
// the instance's fields, and the last one an instance the DLL's entry point
// never makes, so they are native only.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "plugin/plugin.hpp"
#include "tests/plugin/native_level.hpp"
#include "tests/scenarios/midi_output_scenario.hpp"

namespace velktest {
namespace {

using MidiOutputInstance = OnInstance<MidiOutput>;

// The host is handed the instance's own list of its own records, and a slot
// used before keeps nothing of its old contents.
TEST_F(MidiOutputInstance, ChordOnAndOffAtTheKeysSamples) {
    for (vst2::MidiEvent& e : p().outEvents)
        std::memset(&e, 0xAB, sizeof e);
    clearLog();
    chordOnAndOff();
    expectWholeRecords(sent());
    for (const HostCall& c : calls(vst2::hostProcessEvents))
        EXPECT_EQ(c.ptr, &p().outList);
    EXPECT_EQ(p().outList.reserved, 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(p().outList.events[i], &p().outEvents[i]);
}

TEST_F(MidiOutputInstance, ChannelChangeMovesTheSoundingNotes) {
    noteOn(0, 60, 90);
    block();
    setUnit(palmtone::pChannel, 2);
    block();
    // The channel change did not re-voice: the voices were not restarted.
    EXPECT_GT(p().engine.age[60], 1000 / 48000.0);
}

TEST_F(MidiOutputInstance, OverFullBlockIsHandedOverInSeveralOrderedLists) {
    runOverFullBlock();
    ASSERT_FALSE(p().overflow.load());
}

TEST_F(MidiOutputInstance, VelocityZeroIsSentAsOne) {
    // A note whose velocity was never set (the first re-voicing can reach it),
    // and one above 127, sounding at the start of a block.
    p().engine.gate[50] = true;
    p().engine.velocity[50] = 0;
    p().engine.gate[51] = true;
    p().engine.velocity[51] = 500;
    EXPECT_EQ(block(1), (Out{on(0, 50, 1), on(0, 51, 127)}));
}

TEST(MidiOutputWithoutHost, EventsAreDiscarded) {
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
} // namespace velktest
