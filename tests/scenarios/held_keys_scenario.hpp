#pragma once
// The held-keys fixture (held_keys_scenario.cpp), which the checks of the
// engine's and the take's state (tests/plugin/sound/held_keys_test.cpp) extend.
#include <cstdint>

#include "tests/scenarios/scenario_level.hpp"

namespace velktest {

// C major triads: C = 60 64 67, D = 62 65 69, E = 64 67 71, B = 71 74 77.
class HeldKeys : public LevelTest {
  protected:
    void prepare() override { setUnit(palmtone::pChords, 0); }
    Out block(int32_t frames = 256) { return LevelTest::block(frames); }

    // One message of each kind the instance ignores, in the coming block.
    void queueIgnoredKinds() {
        queue(5, 0xA0, 60, 10); // polyphonic pressure
        queue(6, 0xB0, 7, 100); // volume controller
        queue(7, 0xC0, 3, 0);   // program change
        queue(8, 0xE0, 0, 64);  // pitch bend
        queue(9, 0xF8, 0, 0);   // clock
        queue(10, 0xD0, 60, 0); // channel pressure
    }
    // The pedal down on `channel`, and C pressed and released on channel 1, in the coming block.
    void pedalOnAndKeyReleased(int channel) {
        controller(0, 64, 127, channel);
        noteOn(10, 60);
        noteOff(20, 60);
    }
    // A block with C and D held by the pedal on channel 1 and B on channel 2.
    void holdKeysOnTwoRows() {
        controller(0, 64, 127);
        noteOn(1, 60);
        noteOn(2, 62);
        noteOn(3, 71, 100, 2); // another row stays
        block();
    }
    // Two blocks with C held on channel 1, and B released on channel 2 but
    // held by its pedal: what a suspend then has to release.
    void holdChordsForASuspend() {
        noteOn(10, 60, 90);
        controller(0, 64, 127, 2);
        noteOn(20, 71, 80, 2);
        noteOff(30, 71, 2); // sustained
        block();
        block();
    }
};

} // namespace velktest
