// The events of one block, at both levels (scenario_level.hpp), as the host's
// MIDI shows them: blocks without frames keep what waits, events act in frame
// order and equal frames in arrival order, and frames outside the block are
// clamped into it. What the intake and the engine hold meanwhile is checked on
// the instance (tests/plugin/sound/block_events_test.cpp).
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "tests/scenarios/block_events_scenario.hpp"

namespace velktest {
namespace {

TEST_F(BlockEvents, EmptyBlocksChangeNothingAndKeepTheHostEvents) {
    noteOn(10, 60);
    deliver();
    level().key('S', true);
    clearLog();
    emptyBlocks();
    EXPECT_TRUE(calls().empty());

    // The next real block plays them.
    EXPECT_EQ(block(), ons(0, {62, 65, 69}, 100) + ons(10, {60, 64, 67}, 100));

    // With a chord sounding, the events of two intake calls wait through
    // blocks without frames for the next block with frames.
    fresh();
    noteOn(10, 48);
    block();
    clearLog();
    noteOn(3, 60, 90);
    deliver();
    level().run(0);
    emptyBlocks();
    noteOn(4, 62, 91);
    deliver();
    level().run(0);
    EXPECT_TRUE(calls().empty());
    EXPECT_EQ(block(), ons(3, {60, 64, 67}, 90) + ons(4, {62, 65, 69}, 91));
}

TEST_F(BlockEvents, EventsActInFrameOrderAndEqualFramesInArrivalOrder) {
    passThrough();
    queueEqualFrames();
    EXPECT_EQ(block(), (Out{on(50, 60, 100), off(50, 60), on(50, 61, 100), on(100, 71, 100), on(100, 72, 100),
                            on(300, 70, 100)}));

    // The same with chords: a key pressed and released at one frame sounds
    // for none of it, one released and pressed again stays down.
    fresh();
    noteOn(10, 60, 90);
    noteOff(10, 60);
    noteOff(20, 62);
    noteOn(20, 62, 90);
    EXPECT_EQ(block(), ons(10, {60, 64, 67}, 90) + offs(10, {60, 64, 67}) + ons(20, {62, 65, 69}, 90));
}

TEST_F(BlockEvents, FramesOutsideTheBlockAreClampedToIt) {
    passThrough();
    queueOutsideFrames();
    EXPECT_EQ(block(), (Out{on(0, 60, 100), on(0, 64, 100), on(511, 62, 100), on(511, 65, 100)}));

    // With chords, after a first block, and a note-off far after a short block.
    fresh();
    block();
    noteOn(10000, 60, 90);
    noteOn(-5, 62, 90);
    noteOn(std::numeric_limits<int32_t>::min(), 64, 90);
    // At 0: D F A, then E G B; at 511: C E G adds only C.
    EXPECT_EQ(block(), ons(0, {62, 65, 69}, 90) + ons(0, {64, 67, 71}, 90) + ons(511, {60}, 90));
    noteOff(std::numeric_limits<int32_t>::max(), 60);
    EXPECT_EQ(block(100), offs(99, {60}));
}

} // namespace
} // namespace velktest
