// Which chord a played key means in each input mode.
#include <gtest/gtest.h>

#include "chords/make_chord.hpp"
#include "tests/support/test_host.hpp"

namespace {

using palmtone::Settings;

// Default instrument settings with the given mode, tonic, scale and custom mask.
Settings with(int mode, int tonic, int scale = 0, int customScale = 2741) {
    palmtone::ParamValues v;
    for (int i = 0; i < 16; ++i)
        v[i] = palmtone::normalisedDefault(i);
    Settings s = palmtone::settings(v);
    s.inputMode = mode;
    s.config.tonic = tonic;
    s.config.scale = scale;
    s.config.customScale = static_cast<uint16_t>(customScale);
    return s;
}

struct RootCase {
    const char* what;
    int mode, tonic, scale, mask;
    int key;
    int root;
};
void PrintTo(const RootCase& c, std::ostream* os) {
    *os << c.what << ": key " << c.key;
}

class Roots : public ::testing::TestWithParam<RootCase> {};

TEST_P(Roots, KeyGivesRoot) {
    const RootCase& c = GetParam();
    const Settings s = with(c.mode, c.tonic, c.scale, c.mask);
    const tamso::Chord chord = palmtone::voicing(c.key, s);
    EXPECT_EQ(chord.root, c.root) << c.what;
    // Modes 0 and 1 build the chord on that root with the chord settings.
    const tamso::Chord built = tamso::makeChord(c.root, s.config);
    ASSERT_EQ(chord.count, built.count) << c.what;
    for (int i = 0; i < chord.count; ++i)
        EXPECT_EQ(chord.notes[i], built.notes[i]) << c.what;
}

constexpr int major = 0, pentatonic = 9, custom = 29;

INSTANTIATE_TEST_SUITE_P(Modes, Roots,
                         ::testing::Values(
                             // Mode 0: the key's pitch class picks a scale degree in the key's octave.
                             RootCase{"C major, D is degree II", 0, 0, major, 2741, 62, 62},
                             RootCase{"C major, C sharp repeats degree I", 0, 0, major, 2741, 61, 60},
                             RootCase{"C major, B is degree VII", 0, 0, major, 2741, 71, 71},
                             RootCase{"C major, F sharp repeats IV", 0, 0, major, 2741, 66, 65},
                             RootCase{"C major, A sharp repeats VI", 0, 0, major, 2741, 70, 69},
                             RootCase{"D major, C is degree I on D", 0, 2, major, 2741, 60, 62},
                             RootCase{"D major, B is degree VII", 0, 2, major, 2741, 71, 73},
                             RootCase{"custom mask 0 keeps the tonic alone", 0, 0, custom, 0, 62, 72},
                             RootCase{"custom mask 0, degree VII", 0, 0, custom, 0, 71, 132},
                             RootCase{"pentatonic degree IV", 0, 0, pentatonic, 2741, 65, 67},
                             RootCase{"pentatonic degree VI runs into the next octave", 0, 0, pentatonic,
                                      2741, 69, 72},
                             RootCase{"pentatonic degree VII", 0, 0, pentatonic, 2741, 71, 74},
                             RootCase{"lowest key", 0, 0, major, 2741, 0, 0},
                             RootCase{"key 127 with tonic B goes above 127", 0, 11, major, 2741, 127, 138},
                             // Mode 1: the nearest scale note, ties to the lower.
                             RootCase{"C major, C sharp ties low", 1, 0, major, 2741, 61, 60},
                             RootCase{"C major, in scale", 1, 0, major, 2741, 64, 64},
                             RootCase{"F sharp ties to F", 1, 0, major, 2741, 66, 65},
                             RootCase{"key 0 looks upward only", 1, 7, custom, 1, 0, 7},
                             RootCase{"key 127 never above 127", 1, 0, custom, 1, 127, 120},
                             RootCase{"key 127 finds 127 when in scale", 1, 7, custom, 1, 127, 127},
                             RootCase{"mode values above 2 read as mode 1", 5, 0, major, 2741, 61, 60}));

TEST(Voicing, DefaultNinthChordOnD) {
    const tamso::Chord chord = palmtone::voicing(62, with(0, 0));
    ASSERT_EQ(chord.count, 5);
    const int expected[5] = {62, 65, 69, 72, 76};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(chord.notes[i], expected[i]);
}

TEST(Voicing, TopKeysKeepEveryNoteInRange) {
    for (int tonic = 0; tonic < 12; ++tonic) {
        for (int key = 0; key < 128; ++key) {
            Settings s = with(0, tonic);
            s.config.octave = 2;
            const tamso::Chord chord = palmtone::voicing(key, s);
            for (int i = 0; i < chord.count; ++i) {
                ASSERT_GE(chord.notes[i], 0);
                ASSERT_LE(chord.notes[i], 127);
            }
        }
    }
}

TEST(Voicing, PassThroughIsTheKeyAlone) {
    for (int key : {0, 1, 60, 61, 127}) {
        Settings s = with(2, 5, pentatonic);
        s.config.octave = 2;
        s.config.inversion = 3;
        const tamso::Chord chord = palmtone::voicing(key, s);
        EXPECT_EQ(chord.count, 1);
        EXPECT_EQ(chord.root, key);
        EXPECT_EQ(chord.notes[0], key);
        for (int i = 1; i < 5; ++i)
            EXPECT_EQ(chord.notes[i], 0);
    }
}

TEST(Voicing, PassThroughSetsTheLastChordRoot) {
    velktest::TestHost host;
    host.setUnit(palmtone::pInput, 2);
    host.noteOn(5, 61);
    host.run(32);
    EXPECT_EQ(host.plugin().engine.lastChordRoot.load(), 61);
    EXPECT_EQ(host.plugin().engine.soundingCount.load(), 1);
    EXPECT_TRUE(host.plugin().engine.gate[61]);
}

} // namespace
