// What the intake and the engine hold around the events of one block, on the
// native level's instance: the scenario (tests/scenarios/block_events_scenario.cpp)
// runs at both levels with what the host's MIDI shows, and these are its checks
// of the instance's own fields (the waiting events, the ring, the settings the
// last block used, the gates and the ages of the voices), which no host sees.
#include <gtest/gtest.h>

#include "tests/plugin/native_level.hpp"
#include "tests/scenarios/block_events_scenario.hpp"

namespace velktest {
namespace {

using BlockEventsInstance = OnInstance<BlockEvents>;

TEST_F(BlockEventsInstance, EmptyBlocksChangeNothingAndKeepTheHostEvents) {
    noteOn(10, 60);
    deliver();
    level().key('S', true);
    p().resetRequest.store(false);
    emptyBlocks();
    EXPECT_EQ(p().blockEventCount, 1);
    EXPECT_FALSE(p().uiEvents.empty());
    EXPECT_FALSE(p().engine.lastSettingsValid);
}

TEST_F(BlockEventsInstance, EventsActInFrameOrderAndEqualFramesInArrivalOrder) {
    passThrough();
    queueEqualFrames();
    block();
    EXPECT_TRUE(p().engine.gate[61]);
    EXPECT_FALSE(p().engine.gate[60]);
}

TEST_F(BlockEventsInstance, FramesOutsideTheBlockAreClampedToIt) {
    passThrough();
    queueOutsideFrames();
    block();
    // Frame -5 sounds from the first sample; frame 10000 only in the last.
    EXPECT_NEAR(p().engine.age[60], 512 / 48000.0, 1e-12);
    EXPECT_NEAR(p().engine.age[62], 1 / 48000.0, 1e-12);
}

} // namespace
} // namespace velktest
