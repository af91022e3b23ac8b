// The intervals of the chord on a root: stacked scale thirds for seven-note
// scales, preferred intervals with a nearest-note fallback otherwise, then the
// seventh and ninth kinds.
#include <array>
#include <climits>

#include <gtest/gtest.h>

#include "chord_config.hpp"
#include "chords/scales.hpp"

using chordstest::config;
using chordstest::custom;
using Steps = std::array<int32_t, 5>;

namespace {

struct IntervalCase {
    tamso::Config cfg;
    int32_t root;
    Steps expected;
};

const IntervalCase examples[] = {
    // "Mayor / Jonico" on every degree, and on a root outside the scale.
    {config(0), 60, {0, 4, 7, 11, 14}},
    {config(0), 62, {0, 3, 7, 10, 14}},
    {config(0), 64, {0, 3, 7, 10, 13}},
    {config(0), 65, {0, 4, 7, 11, 14}},
    {config(0), 67, {0, 4, 7, 10, 14}},
    {config(0), 69, {0, 3, 7, 10, 14}},
    {config(0), 71, {0, 3, 6, 10, 13}},
    {config(0), 61, {0, 3, 6, 10, 13}},
    // "Menor armonica": D# is the augmented triad with a major seventh.
    {config(2), 60, {0, 3, 7, 11, 14}},
    {config(2), 63, {0, 4, 8, 11, 14}},
    {config(2), 67, {0, 4, 7, 10, 13}},
    {config(2), 68, {0, 4, 7, 11, 15}},
    {config(2), 71, {0, 3, 6, 9, 13}},
    // "Pentatonica mayor": preferred intervals.
    {config(9), 60, {0, 4, 7, 9, 14}},
    {config(9), 62, {0, 5, 7, 10, 14}},
    {config(9), 64, {0, 3, 8, 10, 15}},
    {config(9), 67, {0, 5, 7, 9, 14}},
    {config(9), 69, {0, 3, 7, 10, 15}},
    // "Disminuida tono-semitono": eight notes, so no stack of thirds.
    {config(16), 60, {0, 3, 6, 11, 14}},
    {config(16), 62, {0, 4, 7, 10, 13}},
    // "Hirajoshi": fallbacks whose ties go to the lower note.
    {config(23), 60, {0, 3, 7, 8, 14}},
    {config(23), 62, {0, 5, 6, 10, 13}},
    {config(23), 63, {0, 4, 5, 11, 12}},
    {config(23), 67, {0, 5, 7, 8, 13}},
    {config(23), 68, {0, 4, 7, 11, 12}},
    // Window clipped at 127: the fifth falls below the root.
    {config(23, 8), 126, {0, 4, -2, 10, 14}},
    // The tonic alone: the nearest notes are C4 and C5.
    {custom(0), 60, {0, 0, 12, 12, 12}},
    {custom(1), 60, {0, 0, 12, 12, 12}},
};

bool within(int32_t v, int32_t lo, int32_t hi) {
    return v >= lo && v <= hi;
}

} // namespace

TEST(Intervals, WorkedExamples) {
    for (const IntervalCase& c : examples) {
        SCOPED_TRACE(testing::Message()
                     << "scale " << c.cfg.scale << " tonic " << c.cfg.tonic << " root " << c.root);
        EXPECT_EQ(tamso::intervals(c.root, c.cfg), c.expected);
    }
}

TEST(Intervals, ChromaticAndWholeToneGiveTheSameChordOnEveryRoot) {
    for (int32_t root = 0; root <= 127; ++root) {
        SCOPED_TRACE(root);
        EXPECT_EQ(tamso::intervals(root, config(13)), (Steps{0, 4, 7, 10, 14}));
        if (root % 2 == 0) {
            EXPECT_EQ(tamso::intervals(root, config(14)), (Steps{0, 4, 6, 10, 14}));
        }
    }
}

TEST(Intervals, KindsOverrideTheScaleAndUnknownKindsActAsTheLast) {
    const struct {
        int32_t kind;
        int32_t seventh; // on B in C major, whose scale seventh is 10
        int32_t ninth;   // on C in C major, whose scale ninth is 14
    } cases[] = {
        {0, 10, 14}, {1, 10, 14}, {2, 11, 13},      {3, 9, 15},
        {4, 9, 15},  {-1, 9, 15}, {INT_MAX, 9, 15}, {INT_MIN, 9, 15},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        tamso::Config cfg = config(0);
        cfg.seventhKind = c.kind;
        EXPECT_EQ(tamso::intervals(71, cfg)[3], c.seventh);
        EXPECT_EQ(tamso::intervals(71, cfg)[4], 13) << "the ninth keeps the scale's";
        cfg = config(0);
        cfg.ninthKind = c.kind;
        EXPECT_EQ(tamso::intervals(60, cfg)[4], c.ninth);
        EXPECT_EQ(tamso::intervals(60, cfg)[3], 11) << "the seventh keeps the scale's";
    }
}

TEST(Intervals, CustomSetBehavesAsTheTableScaleWithTheSameMask) {
    // Covers the stack of thirds for a custom seven-note set and the fallback for the others.
    for (int32_t scale = 0; scale < tamso::customScaleIndex; ++scale) {
        for (int32_t tonic = 0; tonic < 12; ++tonic) {
            const tamso::Config table = config(scale, tonic);
            const tamso::Config own = custom(tamso::scales[scale].mask, tonic);
            for (int32_t root = 0; root <= 127; ++root)
                ASSERT_EQ(tamso::intervals(root, own), tamso::intervals(root, table))
                    << "scale " << scale << " tonic " << tonic << " root " << root;
        }
    }
}

TEST(Intervals, TableScalesStayInTheirBandsBelowRoot120) {
    for (int32_t scale = 0; scale < tamso::customScaleIndex; ++scale)
        for (int32_t tonic = 0; tonic < 12; ++tonic)
            for (int32_t kind = 0; kind < 4; ++kind)
                for (int32_t root = 0; root < 120; ++root) {
                    tamso::Config cfg = config(scale, tonic);
                    cfg.seventhKind = kind;
                    cfg.ninthKind = kind;
                    const Steps s = tamso::intervals(root, cfg);
                    ASSERT_TRUE(s[0] == 0 && within(s[1], 2, 5) && within(s[2], 5, 8) &&
                                within(s[3], 8, 11) && within(s[4], 12, 15))
                        << "scale " << scale << " tonic " << tonic << " kind " << kind << " root " << root
                        << ": " << s[1] << "/" << s[2] << "/" << s[3] << "/" << s[4];
                }
}

TEST(Intervals, ExtremeRootsAndScaleIndicesAreSafe) {
    // Runs under UBSan: no signed overflow and no read past the table.
    const int32_t roots[] = {INT_MIN, -1, 0, 127, 128, INT_MAX - 24, INT_MAX};
    const int32_t indices[] = {INT_MIN, -1, 0, 9, 13, 23, 29, 30, INT_MAX};
    for (int32_t scale : indices)
        for (int32_t root : roots) {
            SCOPED_TRACE(testing::Message() << "scale " << scale << " root " << root);
            const Steps s = tamso::intervals(root, config(scale, 5));
            EXPECT_EQ(s[0], 0);
        }
    // A seven-note stack depends only on the pitch class, even at the extremes.
    EXPECT_EQ(tamso::intervals(INT_MAX, config(0)), tamso::intervals(67, config(0))); // G
    EXPECT_EQ(tamso::intervals(INT_MIN, config(0)), tamso::intervals(64, config(0))); // E
    // Out-of-range indices clamp to the first row and to the custom set.
    EXPECT_EQ(tamso::intervals(61, config(-7)), tamso::intervals(61, config(0)));
    EXPECT_EQ(tamso::intervals(61, config(99)), tamso::intervals(61, config(29)));
    // Past the top the fallback lands on the highest scale notes below 128.
    const Steps top = tamso::intervals(INT_MAX, custom(1));
    EXPECT_EQ(int64_t(INT_MAX) + top[2], 120); // C9: the tonic-only set has no fifth
}
