// Voicing a chord: size, inversion, octave shift, clamping to 0..127 and folding
// of equal notes.
#include <climits>
#include <vector>

#include <gtest/gtest.h>

#include "chord_config.hpp"
#include "chords/make_chord.hpp"

using chordstest::config;
using chordstest::custom;
using chordstest::Size;

namespace {

std::vector<int32_t> notesOf(const tamso::Chord& chord) {
    return std::vector<int32_t>(chord.notes, chord.notes + chord.count);
}

tamso::Config shaped(tamso::Config cfg, int32_t inversion, int32_t octave) {
    cfg.inversion = inversion;
    cfg.octave = octave;
    return cfg;
}

tamso::Config withSeventhKind(tamso::Config cfg, int32_t kind) {
    cfg.seventhKind = kind;
    return cfg;
}

struct ChordCase {
    const char* what;
    int32_t root;
    tamso::Config cfg;
    std::vector<int32_t> expected;
};

const ChordCase chordCases[] = {
    {"triad", 60, config(0, 0, Size::Triad), {60, 64, 67}},
    {"seventh", 60, config(0, 0, Size::Seventh), {60, 64, 67, 71}},
    {"ninth", 60, config(0, 0, Size::Ninth), {60, 64, 67, 71, 74}},
    {"added ninth", 60, config(0, 0, Size::AddedNinth), {60, 64, 67, 74}},
    {"seventh, inversion 2", 60, shaped(config(0, 0, Size::Seventh), 2, 0), {67, 71, 72, 76}},
    {"ninth, inversion 4", 60, shaped(config(0, 0, Size::Ninth), 4, 0), {72, 74, 76, 79, 83}},
    {"ninth on 120, octave 2", 120, shaped(config(0, 0, Size::Ninth), 0, 2), {127}},
    {"triad on 5, octave -2", 5, shaped(config(0, 0, Size::Triad), 0, -2), {0}},
    {"diminished seventh on B", 71, withSeventhKind(config(0, 0, Size::Seventh), 3), {71, 74, 77, 80}},
    // Inversion past the chord size raises all but one note.
    {"triad, inversion 4", 60, shaped(config(0), 4, 0), {67, 72, 76}},
    {"triad, inversion 3", 60, shaped(config(0), 3, 0), {67, 72, 76}},
    {"triad, huge inversion", 60, shaped(config(0), INT_MAX, 0), {67, 72, 76}},
    {"triad, negative inversion", 60, shaped(config(0), -1, 0), {60, 64, 67}},
    {"triad, most negative inversion", 60, shaped(config(0), INT_MIN, 0), {60, 64, 67}},
    {"added ninth, inversion 1", 60, shaped(config(0, 0, Size::AddedNinth), 1, 0), {64, 67, 72, 74}},
    // Octave shifts, with notes folding where they meet a limit.
    {"octave up", 60, shaped(config(0), 0, 1), {72, 76, 79}},
    {"octave down", 60, shaped(config(0), 0, -1), {48, 52, 55}},
    {"top notes fold at 127", 124, config(0, 0, Size::Seventh), {124, 127}},
    {"bottom notes fold at 0", 14, shaped(config(0, 0, Size::Ninth), 0, -2), {0, 4}},
    {"inversion then clamp", 120, shaped(config(0, 0, Size::Triad), 1, 0), {124, 127}},
    {"octave far up", 0, shaped(config(0, 0, Size::Ninth), 0, INT_MAX), {127}},
    {"octave far down", 127, shaped(config(0, 0, Size::Ninth), 4, INT_MIN), {0}},
    // Doubled notes from the nearest-note fallback are folded.
    {"tonic alone, triad", 60, custom(0, 0, Size::Triad), {60, 72}},
    {"tonic alone, ninth", 60, custom(0, 0, Size::Ninth), {60, 72}},
    {"tonic alone, inversion 2", 60, shaped(custom(0, 0, Size::Triad), 2, 0), {72}},
    // Hirajoshi on G#: the fifth lies below the root, which is no longer the bass.
    {"fifth below the root", 126, config(23, 8, Size::Triad), {124, 126, 127}},
    // Roots far above the range clamp to the top note.
    {"root far above", INT_MAX, config(0, 0, Size::Ninth), {127}},
    {"root far above, far down", INT_MAX, shaped(config(0, 0, Size::Ninth), 0, INT_MIN), {0}},
};

} // namespace

TEST(MakeChord, Voicings) {
    for (const ChordCase& c : chordCases) {
        SCOPED_TRACE(c.what);
        const tamso::Chord chord = tamso::makeChord(c.root, c.cfg);
        EXPECT_EQ(notesOf(chord), c.expected);
        EXPECT_EQ(chord.root, c.root);
        for (int32_t i = chord.count; i < 5; ++i)
            EXPECT_EQ(chord.notes[i], 0) << "slot " << i;
    }
}

TEST(MakeChord, NegativeRootIsTheEmptyChordWithThatRoot) {
    for (int32_t root : {-1, -60, INT_MIN}) {
        SCOPED_TRACE(root);
        const tamso::Chord chord = tamso::makeChord(root, shaped(config(0, 0, Size::Ninth), 2, 1));
        EXPECT_EQ(chord.count, 0);
        EXPECT_EQ(chord.root, root);
        for (int32_t note : chord.notes)
            EXPECT_EQ(note, 0);
    }
}

TEST(MakeChord, EverySeventhAndNinthKindReachesTheNotes) {
    const struct {
        int32_t seventhKind, ninthKind;
        std::vector<int32_t> expected; // ninth chord on C4 in C major
    } cases[] = {
        {0, 0, {60, 64, 67, 71, 74}}, {1, 0, {60, 64, 67, 70, 74}},  {2, 0, {60, 64, 67, 71, 74}},
        {3, 0, {60, 64, 67, 69, 74}}, {0, 1, {60, 64, 67, 71, 74}},  {0, 2, {60, 64, 67, 71, 73}},
        {0, 3, {60, 64, 67, 71, 75}}, {7, -3, {60, 64, 67, 69, 75}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.seventhKind << "/" << c.ninthKind);
        tamso::Config cfg = config(0, 0, Size::Ninth);
        cfg.seventhKind = c.seventhKind;
        cfg.ninthKind = c.ninthKind;
        EXPECT_EQ(notesOf(tamso::makeChord(60, cfg)), c.expected);
    }
}

// Every reachable configuration yields a well-formed chord: ascending distinct
// notes in 0..127, at most one per chord tone, empty slots 0, root kept.
TEST(MakeChord, EveryConfigurationGivesAWellFormedChord) {
    const uint16_t customSets[] = {0, 1, 2741, 4095, 0x801, 0x003, 0x0F0, 0x18D};
    const Size sizes[] = {Size::Triad, Size::Seventh, Size::Ninth, Size::AddedNinth};
    const int32_t tones[] = {3, 4, 5, 4};
    std::vector<tamso::Config> bases;
    for (int32_t scale = 0; scale < 29; ++scale)
        bases.push_back(config(scale));
    for (uint16_t mask : customSets)
        bases.push_back(custom(mask));

    for (const tamso::Config& base : bases)
        for (int32_t tonic = 0; tonic < 12; ++tonic)
            for (int32_t kind = 0; kind < 4; ++kind)
                for (int32_t size = 0; size < 4; ++size)
                    for (int32_t inversion = 0; inversion <= 4; ++inversion)
                        for (int32_t octave = -2; octave <= 2; ++octave) {
                            tamso::Config cfg = shaped(base, inversion, octave);
                            cfg.tonic = tonic;
                            cfg.seventhKind = kind;
                            cfg.ninthKind = 3 - kind;
                            cfg.addSeventh = config(0, 0, sizes[size]).addSeventh;
                            cfg.addNinth = config(0, 0, sizes[size]).addNinth;
                            for (int32_t root = 0; root <= 127; ++root) {
                                const tamso::Chord c = tamso::makeChord(root, cfg);
                                bool ok = c.root == root && c.count >= 1 && c.count <= tones[size];
                                for (int32_t i = 0; ok && i < c.count; ++i)
                                    ok = c.notes[i] >= 0 && c.notes[i] <= 127 &&
                                         (i == 0 || c.notes[i] > c.notes[i - 1]);
                                for (int32_t i = c.count; ok && i < 5; ++i)
                                    ok = c.notes[i] == 0;
                                ASSERT_TRUE(ok)
                                    << "scale " << cfg.scale << " custom " << cfg.customScale << " tonic "
                                    << tonic << " kinds " << cfg.seventhKind << "/" << cfg.ninthKind << " "
                                    << chordstest::sizeText(sizes[size]) << " inversion " << inversion
                                    << " octave " << octave << " root " << root << " count " << c.count;
                            }
                        }
}
