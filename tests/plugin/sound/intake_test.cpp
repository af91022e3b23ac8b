// What opcode 25 leaves in the instance, on the native level: the intake
// scenario (tests/scenarios/intake_scenario.cpp) runs at both levels with what
// the next block's MIDI shows, and these are its checks of the instance's own
// intake buffer, its count and its overflow flag, which no host sees.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

#include "tests/plugin/native_level.hpp"
#include "tests/scenarios/intake_scenario.hpp"

namespace velktest {
namespace {

class IntakeInstance : public OnInstance<Intake> {
  protected:
    int32_t taken() { return p().blockEventCount; }
    bool overflowed() { return p().overflow.load(); }
};

TEST_F(IntakeInstance, NullListIsRefusedAndCountsOfZeroOrBelowReadNothing) {
    for (int32_t count : {0, -1, INT32_MIN}) {
        sendCounted(count);
        EXPECT_EQ(taken(), 0) << count;
        EXPECT_FALSE(overflowed()) << count;
        block(64);
    }
}

TEST_F(IntakeInstance, SkipsWhatIsNotAWholeMidiEventAndMasksTheDataBytes) {
    sendMixedRecords();
    ASSERT_EQ(taken(), 4);
    const palmtone::InputEvent expected[4] = {{1, 0x90, 0x45, 0x7F, 0},
                                              {10000, 0xF0, 0x00, 0x01, 0},
                                              {3, 0x90, 63, 100, 0},
                                              {-7, 0x9F, 61, 0x40, 0}};
    for (int i = 0; i < 4; ++i) {
        const palmtone::InputEvent& e = p().blockEvents[i];
        EXPECT_EQ(e.frame, expected[i].frame) << i;
        EXPECT_EQ(e.status, expected[i].status) << i;
        EXPECT_EQ(e.data1, expected[i].data1) << i;
        EXPECT_EQ(e.data2, expected[i].data2) << i;
        EXPECT_EQ(e.order, 0) << i;
    }
    EXPECT_FALSE(overflowed());
}

TEST_F(IntakeInstance, KeepsExactly1024Events) {
    send(exactly1024());
    EXPECT_EQ(taken(), 1024);
    EXPECT_FALSE(overflowed());
}

TEST_F(IntakeInstance, OneMoreCostsTheWholeBlockAndAFullReset) {
    sendOneTooMany();
    EXPECT_EQ(taken(), 1024);
    EXPECT_TRUE(overflowed());
    EXPECT_EQ(p().blockEvents[0].data1, 61);
    EXPECT_EQ(p().blockEvents[1023].frame, 1023);
    EXPECT_EQ(p().blockEvents[1023].data2, 1023 % 128);
    // A later list adds nothing and flags again.
    p().overflow.store(false);
    EXPECT_EQ(send({midiEvent(0, 0x90, 1, 1)}), 1);
    EXPECT_EQ(taken(), 1024);
    EXPECT_TRUE(overflowed());

    // The next block resets and takes the flag.
    block(64);
    EXPECT_EQ(p().engine.soundingCount.load(), 0);
    EXPECT_FALSE(overflowed());
    EXPECT_EQ(taken(), 0);
}

TEST_F(IntakeInstance, ListsBeforeOneBlockAccumulate) {
    noteOn(20, 60);
    deliver();
    noteOn(10, 62);
    deliver();
    EXPECT_EQ(taken(), 2);
    block(64);
    EXPECT_EQ(taken(), 0);

    send(std::vector<vst2::MidiEvent>(600, midiEvent(0, 0x90, 63, 100)));
    send(std::vector<vst2::MidiEvent>(600, midiEvent(0, 0x90, 64, 100)));
    EXPECT_TRUE(overflowed());
}

TEST_F(IntakeInstance, LooksAtTheFirst4096PointersOnly) {
    for (int read : {0, 1}) {
        send(past4096(read));
        EXPECT_EQ(taken(), read) << read;
        EXPECT_FALSE(overflowed()) << read;
        block(64);
        block(64);
    }
}

} // namespace
} // namespace velktest
