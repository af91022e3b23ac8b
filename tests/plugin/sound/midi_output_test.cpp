// The MIDI output of an instance with no host to take it. The rest of the
// output runs at both levels (tests/support/midi_output_scenario.cpp); this case
// is native only, since the DLL's entry point makes no instance without a host.
#include <gtest/gtest.h>

#include <memory>

#include "plugin/plugin.hpp"

namespace {

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
