// Opcode 25, the intake of the host's event lists, at both levels
// (scenario_level.hpp), as the next block's MIDI shows it: what is read and
// what is skipped, the masked data bytes, the 1024-event capacity with its
// overflow and full reset, lists that accumulate before a block, and the
// 4096-pointer limit. What the intake buffer holds meanwhile is checked on the
// instance (tests/plugin/sound/intake_test.cpp).
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

#include "tests/scenarios/intake_scenario.hpp"

namespace velktest {
namespace {

TEST_F(Intake, NullListIsRefusedAndCountsOfZeroOrBelowReadNothing) {
    EXPECT_EQ(send(static_cast<const vst2::HostEventList*>(nullptr)), 0);
    for (int32_t count : {0, -1, INT32_MIN}) {
        EXPECT_EQ(sendCounted(count), 1) << count;
        EXPECT_EQ(block(64), Out{}) << count;
    }
}

TEST_F(Intake, SkipsWhatIsNotAWholeMidiEventAndMasksTheDataBytes) {
    EXPECT_EQ(sendMixedRecords(), 1);
    // In frame order, the early one clamped to frame 0; the system message plays nothing.
    block(64);
    EXPECT_EQ(started(), (std::vector<int>{61, 0x45, 63}));
}

TEST_F(Intake, DataBytesAreMaskedTo7Bits) {
    EXPECT_EQ(send({midiEvent(0, 0x90, 0xC5, 0xFF)}), 1);
    EXPECT_EQ(block(64), (Out{{0, 0x90, 0x45, 0x7F}}));
}

TEST_F(Intake, KeepsExactly1024Events) {
    EXPECT_EQ(send(exactly1024()), 1);
    block(64);
    EXPECT_EQ(started(), (std::vector<int>{60}));
}

TEST_F(Intake, OneMoreCostsTheWholeBlockAndAFullReset) {
    EXPECT_EQ(sendOneTooMany(), 1);
    // A later list is taken too, and adds nothing.
    EXPECT_EQ(send({midiEvent(0, 0x90, 1, 1)}), 1);

    // The next block resets: the kept events never sound, what sounded stops.
    block(64);
    EXPECT_TRUE(started().empty());
    EXPECT_EQ(stopped(), (std::vector<int>{70}));
    // The reset is taken once; the next block plays normally.
    send({midiEvent(0, 0x90, 62, 100)});
    block(64);
    EXPECT_EQ(started(), (std::vector<int>{62}));
}

TEST_F(Intake, ListsBeforeOneBlockAccumulate) {
    noteOn(20, 60);
    deliver();
    noteOn(10, 62);
    deliver();
    EXPECT_EQ(block(64), ons(10, {62}, 100) + ons(20, {60}, 100));

    send(std::vector<vst2::MidiEvent>(600, midiEvent(0, 0x90, 63, 100)));
    send(std::vector<vst2::MidiEvent>(600, midiEvent(0, 0x90, 64, 100))); // 1200 together: overflow
    block(64);
    EXPECT_TRUE(started().empty());
    EXPECT_EQ(stopped(), (std::vector<int>{60, 62}));
}

TEST_F(Intake, LooksAtTheFirst4096PointersOnly) {
    // The last pointer looked at is read; none after it, whatever they hold.
    for (int read : {0, 1}) {
        EXPECT_EQ(send(past4096(read)), 1) << read;
        block(64);
        EXPECT_EQ(started(), read ? std::vector<int>{60} : std::vector<int>{}) << read;
        // No overflow either: 60 keeps sounding in the next block.
        block(64);
        EXPECT_TRUE(stopped().empty()) << read;
    }
}

} // namespace
} // namespace velktest
