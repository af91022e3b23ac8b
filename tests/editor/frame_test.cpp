// What a paint pass carries from one pass to the next: the pad glow easing
// towards the keys and the chords that sound, and the level meter's peaks and
// decay.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "editor/regions.hpp"
#include "tests/editor/editor_fixture.hpp"
#include "tests/editor/scene_queries.hpp"

namespace {

using namespace palmtone;
using editortest::boxesAt;
namespace c = palmtone::colours;

using editortest::EditorTest;
using PaintPass = EditorTest;

const Element* padBox(const Scene& s, int pad) {
    const auto boxes = boxesAt(s, regions::pad(pad));
    return boxes.empty() ? nullptr : boxes[0];
}

TEST_F(PaintPass, PadGlowEasesTowardsTheKey) {
    handle([](Editor& e) { e.keyPressed('A', false, false); });
    const double rising[] = {0.35, 0.5775, 0.725375};
    for (double expected : rising) {
        const Scene& s = editor->frame(0);
        EXPECT_NEAR(editor->glow[0], expected, 1e-12);
        EXPECT_EQ(padBox(s, 0)->colour, c::accent) << "lit from the first pass";
        EXPECT_EQ(padBox(s, 1)->fill, c::buttonFace);
        EXPECT_EQ(padBox(s, 1)->colour, c::border);
    }
    // The fill at glow 0.35: RGB(24 + 4g, 35 + 89g, 29 + 55g), truncated.
    editor->glow[0] = 0.0;
    EXPECT_EQ(padBox(editor->frame(0), 0)->fill, rgb(25, 66, 48));

    handle([](Editor& e) { e.keyReleased('A'); });
    double g = editor->glow[0];
    for (int pass = 1; pass <= 5; ++pass) {
        g *= 0.65;
        const Scene& s = editor->frame(0);
        EXPECT_NEAR(editor->glow[0], g, 1e-12);
        EXPECT_EQ(padBox(s, 0)->colour, g > 0.1 ? c::accent : c::border) << "pass " << pass;
    }
}

TEST_F(PaintPass, PadLightsForAChordOnItsRootFromElsewhere) {
    plugin->engine.lastChordRoot.store(67); // a host note sounds a chord on G
    plugin->engine.soundingCount.store(5);
    paint();
    EXPECT_NEAR(editor->glow[4], 0.35, 1e-12);
    EXPECT_EQ(editor->glow[3], 0.0);
    plugin->engine.soundingCount.store(0);
    paint();
    EXPECT_NEAR(editor->glow[4], 0.35 * 0.65, 1e-12);
}

TEST_F(PaintPass, MeterJumpsToPeaksAndDecays) {
    auto width = [&]() {
        const auto boxes = boxesAt(editor->frame(0), regions::meterTrack);
        return boxes.size() == 2 ? boxes[1]->rect.right - regions::meterTrack.left : 0;
    };
    plugin->engine.peak.store(1.0f);
    EXPECT_EQ(width(), 208);
    plugin->engine.peak.store(0.0f);
    // After a peak of 1 and silence: 208 * 0.83^n, truncated.
    for (int expected : {172, 143, 118, 98, 81})
        EXPECT_EQ(width(), expected);
    plugin->engine.peak.store(0.5f);
    EXPECT_EQ(width(), 104) << "a new peak above the falling level";
    plugin->engine.peak.store(1.5f);
    EXPECT_EQ(width(), 208) << "a peak above 1 fills the meter";
    plugin->engine.peak.store(0.0f);
    EXPECT_EQ(width(), 208) << "1.245 is still above 1";
    plugin->engine.peak.store(std::numeric_limits<float>::quiet_NaN());
    const float before = editor->meter;
    width();
    EXPECT_TRUE(std::isfinite(editor->meter)) << "a NaN peak never sticks in the meter";
    EXPECT_LT(editor->meter, before);
}

} // namespace
