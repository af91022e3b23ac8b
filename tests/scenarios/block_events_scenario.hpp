#pragma once
// The fixture of the events of one block (block_events_scenario.cpp), which the
// checks of the instance's intake and engine (tests/plugin/sound/block_events_test.cpp) extend.
#include <cstdint>
#include <limits>

#include "tests/scenarios/scenario_level.hpp"

namespace velktest {

// The events of one block, with triads.
class BlockEvents : public LevelTest {
  protected:
    void prepare() override { setUnit(palmtone::pChords, 0); }
    void passThrough() { setUnit(palmtone::pInput, 2); }

    // Blocks without frames through the replacing slot, the deprecated
    // accumulating one and with null outputs: the buffers stay as they were.
    void emptyBlocks() {
        float left[8], right[8];
        for (int i = 0; i < 8; ++i)
            left[i] = right[i] = 7.0f;
        float* outputs[2] = {left, right};
        for (int32_t frames : {0, -1, -512, std::numeric_limits<int32_t>::min()}) {
            fx()->processReplacing(fx(), nullptr, outputs, frames);
            fx()->process(fx(), nullptr, outputs, frames);
            fx()->processReplacing(fx(), nullptr, nullptr, frames);
            for (int i = 0; i < 8; ++i)
                ASSERT_TRUE(left[i] == 7.0f && right[i] == 7.0f) << frames;
        }
    }
    // Events at the same frames, some pressed and released there, with notes
    // passed through unchanged.
    void queueEqualFrames() {
        noteOn(300, 70);
        noteOn(100, 71);
        noteOn(50, 60);
        noteOff(50, 60);
        noteOff(50, 61);
        noteOn(50, 61);
        noteOn(100, 72);
    }
    // Frames before and after a block of 512.
    void queueOutsideFrames() {
        noteOn(-5, 60);
        noteOn(10000, 62);
        noteOn(std::numeric_limits<int32_t>::min(), 64);
        noteOn(std::numeric_limits<int32_t>::max(), 65);
    }
};

} // namespace velktest
