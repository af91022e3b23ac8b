// Note and chord names, and the name tables shown in the parameter texts and menus.
#include <climits>
#include <string>

#include <gtest/gtest.h>

#include "chord_config.hpp"
#include "chords/names.hpp"

using chordstest::config;
using chordstest::custom;
using chordstest::Size;

namespace {

tamso::Config kinds(tamso::Config cfg, int32_t seventhKind, int32_t ninthKind) {
    cfg.seventhKind = seventhKind;
    cfg.ninthKind = ninthKind;
    return cfg;
}

} // namespace

TEST(NameTables, HoldTheTextsShown) {
    const char* const noteTexts[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    for (int i = 0; i < 12; ++i)
        EXPECT_STREQ(tamso::notes[i], noteTexts[i]);
    EXPECT_STREQ(tamso::sevenKinds[0], "Segun escala");
    EXPECT_STREQ(tamso::sevenKinds[1], "Menor (b7)");
    EXPECT_STREQ(tamso::sevenKinds[2], "Mayor (maj7)");
    EXPECT_STREQ(tamso::sevenKinds[3], "Disminuida (bb7)");
    EXPECT_STREQ(tamso::nineKinds[0], "Segun escala");
    EXPECT_STREQ(tamso::nineKinds[1], "Novena (9)");
    EXPECT_STREQ(tamso::nineKinds[2], "Menor (b9)");
    EXPECT_STREQ(tamso::nineKinds[3], "Aumentada (#9)");
}

TEST(NoteName, NamesPitchClassAndOctave) {
    const struct {
        int32_t note;
        const char* name;
    } cases[] = {
        {60, "C4"},
        {61, "C#4"},
        {69, "A4"},
        {0, "C-1"},
        {11, "B-1"},
        {12, "C0"},
        {127, "G9"},
        // Below 0 the octave keeps counting down instead of repeating "-1".
        {-1, "B-2"},
        {-12, "C-2"},
        {-13, "B-3"},
        {INT_MAX, "G178956969"},
        {INT_MIN, "E-178956972"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tamso::noteName(c.note), c.name) << c.note;
}

TEST(ChordName, NamesQualitySeventhAndNinth) {
    const struct {
        tamso::Config cfg;
        int32_t root;
        const char* name;
    } cases[] = {
        {config(0, 0, Size::Triad), 60, "C"},
        {config(0, 0, Size::Seventh), 60, "Cmaj7"},
        {config(0, 0, Size::Ninth), 60, "Cmaj9"},
        {config(0, 0, Size::AddedNinth), 60, "C(add9)"},
        {config(0, 0, Size::Seventh), 62, "Dm7"},
        {config(0, 0, Size::Ninth), 64, "Em7(b9)"},
        {config(0, 0, Size::AddedNinth), 64, "Em(b9)"},
        {config(0, 0, Size::Ninth), 67, "G9"},
        {config(0, 0, Size::Triad), 71, "Bdim"},
        {config(0, 0, Size::Seventh), 71, "Bm7b5"},
        {config(0, 0, Size::Ninth), 71, "Bm7b5(b9)"},
        {kinds(config(0, 0, Size::Ninth), 0, 1), 71, "Bm7b5(add9)"},
        {kinds(config(0, 0, Size::Seventh), 3, 0), 71, "Bdim7"},
        {kinds(config(0, 0, Size::Seventh), 2, 0), 71, "Bdimmaj7"},
        {kinds(config(0, 0, Size::Ninth), 0, 3), 60, "Cmaj7(#9)"},
        {kinds(config(0, 0, Size::Ninth), 0, 2), 60, "Cmaj7(b9)"},
        {kinds(config(0, 0, Size::Ninth), 1, 0), 60, "C9"},
        {kinds(config(1, 0, Size::Seventh), 2, 0), 60, "Cmmaj7"},
        {config(2, 0, Size::Seventh), 63, "D#augmaj7"},
        {config(9, 0, Size::Seventh), 60, "C7"},
        {config(14, 0, Size::Seventh), 60, "C7"},
        {config(23, 0, Size::Ninth), 63, "D#maj7(add9)"},
        // A minor third over an augmented fifth shows only "m"; a major third
        // over a flat fifth shows nothing for the triad.
        {config(9, 0, Size::Triad), 64, "Em"},
        {config(9, 0, Size::Ninth), 64, "Em7(#9)"},
        {config(14, 0, Size::Triad), 60, "C"},
        {config(2, 0, Size::Triad), 63, "D#aug"},
        // Only the pitch class of the root matters.
        {config(0, 0, Size::Seventh), 2, "Dm7"},
        {config(0, 0, Size::Seventh), 110, "Dm7"},
        // Fallback intervals: the tonic alone, and a fifth below the root.
        {custom(0, 0, Size::Triad), 60, "C"},
        {custom(0, 0, Size::Ninth), 60, "C7(add9)"},
        {config(23, 8, Size::Ninth), 126, "F#9"},
        // A kind outside 0..3 acts as 3; an index outside the table clamps.
        {kinds(config(0, 0, Size::Seventh), 9, 0), 71, "Bdim7"},
        {kinds(config(0, 0, Size::AddedNinth), 0, -4), 60, "C(#9)"},
        {config(-5, 0, Size::Seventh), 62, "Dm7"},
        {config(0, 0, Size::Triad), INT_MAX, "G"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "scale " << c.cfg.scale << " tonic " << c.cfg.tonic << " root " << c.root);
        EXPECT_EQ(tamso::chordName(c.root, c.cfg), c.name);
    }
}

TEST(ChordName, NegativeRootIsDashes) {
    EXPECT_EQ(tamso::chordName(-1, config(0, 0, Size::Ninth)), "--");
    EXPECT_EQ(tamso::chordName(INT_MIN, config(0, 0, Size::Ninth)), "--");
}
