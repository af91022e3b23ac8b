// The scale table, the mask a configuration selects, the in-scale test and the
// nearest-note search.
#include <climits>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "chord_config.hpp"
#include "chords/scales.hpp"

using chordstest::config;
using chordstest::custom;

namespace {

struct ScaleRow {
    const char* name;
    std::vector<int> semitones;
};

// Written as semitone lists, so a slip in a hexadecimal mask shows.
const ScaleRow expectedScales[tamso::scaleCount] = {
    {"Mayor / Jonico", {0, 2, 4, 5, 7, 9, 11}},
    {"Menor natural / Eolico", {0, 2, 3, 5, 7, 8, 10}},
    {"Menor armonica", {0, 2, 3, 5, 7, 8, 11}},
    {"Menor melodica ascendente", {0, 2, 3, 5, 7, 9, 11}},
    {"Dorico", {0, 2, 3, 5, 7, 9, 10}},
    {"Frigio", {0, 1, 3, 5, 7, 8, 10}},
    {"Lidio", {0, 2, 4, 6, 7, 9, 11}},
    {"Mixolidio", {0, 2, 4, 5, 7, 9, 10}},
    {"Locrio", {0, 1, 3, 5, 6, 8, 10}},
    {"Pentatonica mayor", {0, 2, 4, 7, 9}},
    {"Pentatonica menor", {0, 3, 5, 7, 10}},
    {"Blues menor", {0, 3, 5, 6, 7, 10}},
    {"Blues mayor", {0, 2, 3, 4, 7, 9}},
    {"Cromatica", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
    {"Tonos enteros", {0, 2, 4, 6, 8, 10}},
    {"Disminuida semitono-tono", {0, 1, 3, 4, 6, 7, 9, 10}},
    {"Disminuida tono-semitono", {0, 2, 3, 5, 6, 8, 9, 11}},
    {"Mayor armonica", {0, 2, 4, 5, 7, 8, 11}},
    {"Doble armonica", {0, 1, 4, 5, 7, 8, 11}},
    {"Menor hungara", {0, 2, 3, 6, 7, 8, 11}},
    {"Frigio dominante", {0, 1, 4, 5, 7, 8, 10}},
    {"Lidio dominante", {0, 2, 4, 6, 7, 9, 10}},
    {"Alterada / Superlocria", {0, 1, 3, 4, 6, 8, 10}},
    {"Hirajoshi", {0, 2, 3, 7, 8}},
    {"In sen", {0, 1, 5, 7, 10}},
    {"Iwato", {0, 1, 5, 6, 10}},
    {"Egipcia", {0, 2, 5, 7, 10}},
    {"Napolitana menor", {0, 1, 3, 5, 7, 8, 11}},
    {"Napolitana mayor", {0, 1, 3, 5, 7, 9, 11}},
    {"Personalizada", {0, 2, 4, 5, 7, 9, 11}},
};

uint16_t maskOf(const std::vector<int>& semitones) {
    uint16_t mask = 0;
    for (int s : semitones)
        mask |= uint16_t(1u << s);
    return mask;
}

} // namespace

TEST(ScaleTable, NamesAndMasksMatchTheirSemitones) {
    for (int i = 0; i < tamso::scaleCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_STREQ(tamso::scales[i].name, expectedScales[i].name);
        EXPECT_EQ(tamso::scales[i].mask, maskOf(expectedScales[i].semitones));
        if (i != tamso::customScaleIndex) {
            EXPECT_EQ(tamso::scaleMask(config(i)), tamso::scales[i].mask);
        }
    }
}

TEST(ScaleMask, CustomIndexUsesTheUsersSetAndTheTonicWhenEmpty) {
    EXPECT_EQ(tamso::scaleMask(custom(2741)), 2741);
    EXPECT_EQ(tamso::scaleMask(custom(4095)), 4095);
    EXPECT_EQ(tamso::scaleMask(custom(0)), 1);
    // Bits above the twelve pitch classes are no notes: the set is empty.
    EXPECT_EQ(tamso::scaleMask(custom(0xF000)), 1);
    EXPECT_EQ(tamso::scaleMask(custom(0x1005)), 5);
}

TEST(ScaleMask, OutOfRangeIndexIsClampedIntoTheTable) {
    const struct {
        int32_t scale;
        uint16_t mask;
    } cases[] = {
        {-1, 0xAB5},
        {INT_MIN, 0xAB5},
        {30, 0x123},
        {INT_MAX, 0x123},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scale);
        tamso::Config cfg = custom(0x123);
        cfg.scale = c.scale;
        EXPECT_EQ(tamso::scaleMask(cfg), c.mask);
    }
}

TEST(InScale, OnlyThePitchClassRelativeToTheTonicMatters) {
    const struct {
        int32_t tonic;
        int32_t note;
        bool in;
    } cases[] = {
        {0, 60, true},      {0, 61, false},      {0, 59, true},  // B: one below the tonic is r = 11
        {0, 0, true},       {0, 127, true},      {0, -1, true},  // G; B below note 0
        {0, -2, false},     {2, 1, true},        {2, 3, false},  // D major: C#, D#
        {2, 0, false},      {11, 10, true},      {11, 0, false}, // B major: A#, C
        {0, INT_MAX, true}, {11, INT_MIN, true},                 // G; E in B major
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "tonic " << c.tonic << " note " << c.note);
        EXPECT_EQ(tamso::inScale(c.note, config(0, c.tonic)), c.in);
    }
}

TEST(NearestInScale, FindsTheClosestScaleNoteInsideTheClippedWindow) {
    const struct {
        const char* what;
        tamso::Config cfg;
        int32_t target;
        int32_t expected;
    } cases[] = {
        {"in the scale already", config(0), 64, 64},
        {"tie goes to the lower note", config(0), 66, 65},
        {"tie between C4 and D4", config(0), 61, 60},
        {"the nearer of two", config(9), 65, 64},
        {"Hirajoshi: A#4 between G#4 and C5", config(23), 70, 68},
        {"Hirajoshi: F4 between D#4 and G4", config(23), 65, 63},
        {"below 0 takes the lowest scale note", config(0, 2), -5, 1},
        {"far below", config(0, 2), INT_MIN, 1},
        {"above 127 takes the highest scale note", config(0, 1), 140, 126},
        {"far above", config(0, 1), INT_MAX, 126},
        {"clipped window, Hirajoshi on G#", config(23, 8), 133, 124},
        {"tonic alone, above", custom(1), 67, 72},
        {"tonic alone, below", custom(1), 64, 60},
        {"tonic alone, tie", custom(1), 66, 60},
        {"tonic alone at the top", custom(1), 127, 120},
        {"empty set is the tonic alone", custom(0), 5, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(tamso::nearestInScale(c.target, c.cfg), c.expected);
    }
}

TEST(NearestInScale, AlwaysReturnsAScaleNoteInRange) {
    for (uint32_t mask = 0; mask < 4096; mask += 7) {
        for (int32_t tonic = 0; tonic < 12; ++tonic) {
            const tamso::Config cfg = custom(uint16_t(mask), tonic);
            for (int32_t target = -20; target <= 150; ++target) {
                const int32_t n = tamso::nearestInScale(target, cfg);
                ASSERT_TRUE(n >= 0 && n <= 127 && tamso::inScale(n, cfg))
                    << "mask " << mask << " tonic " << tonic << " target " << target << " gave " << n;
            }
        }
    }
}
