// The instance's own setter and snapshot, the editor's notifying edit, the
// decoding into Settings and the display texts: the core's functions, called
// here directly (the DLL runs its own copies only behind the record and the
// editor's window). The host's parameter calls run at both levels
// (tests/scenarios/parameter_scenario.cpp); the values they leave in the
// instance, in its own double precision, are checked here on the native level.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "chords/names.hpp"
#include "chords/scales.hpp"
#include "tests/plugin/native_level.hpp"
#include "tests/scenarios/parameter_scenario.hpp"
#include "tests/support/test_host.hpp"

namespace velktest {
namespace {

using QuantisationInstance = OnInstance<Quantisation>;

TEST_P(QuantisationInstance, HostSetStoresTheSnappedValue) {
    const Quantised& q = GetParam();
    set(q.index, q.input);
    EXPECT_EQ(p().params[q.index].load(), q.stored);
}

INSTANTIATE_TEST_SUITE_P(Examples, QuantisationInstance, ::testing::ValuesIn(quantisedExamples));

using HostParametersInstance = OnInstance<HostParameters>;

TEST_F(HostParametersInstance, NonFiniteValuesAndForeignIndicesChangeNothing) {
    setAllToAQuarter();
    std::vector<double> stored;
    for (int32_t i = 0; i < 16; ++i)
        stored.push_back(p().params[i].load());
    sendNonFiniteAndForeign();
    for (int32_t i = 0; i < 16; ++i)
        EXPECT_EQ(p().params[i].load(), stored[i]) << params[i].name;
}

} // namespace
} // namespace velktest

namespace {

using palmtone::ParamValues;
using palmtone::Settings;
using velktest::TestHost;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

// The instance's own setter, which no host calls, ignores non-finite values and
// bad indices as the record's callbacks do (tests/scenarios/parameter_scenario.cpp).
TEST(Parameters, SetIgnoresNonFiniteValuesAndBadIndices) {
    TestHost host;
    const ParamValues before = host.plugin().snapshot();
    for (int i = 0; i < 16; ++i)
        for (double bad : {nan, inf, -inf})
            host.plugin().set(i, bad);
    for (int index : {16, -1, 1000, std::numeric_limits<int32_t>::min()})
        host.plugin().set(index, 0.7);
    EXPECT_EQ(host.plugin().snapshot(), before);
}

TEST(Parameters, SnapshotCopiesEveryStoredValue) {
    TestHost host;
    for (int i = 0; i < 16; ++i)
        host.plugin().set(i, 1.0);
    for (double v : host.plugin().snapshot())
        EXPECT_EQ(v, 1.0);
}

TEST(ParameterEdit, StoresAndNotifiesBeginAutomateEnd) {
    TestHost host;
    host.plugin().edit(14, 61);
    EXPECT_EQ(host.plugin().params[14].load(), 61.0 / 127);
    ASSERT_EQ(host.calls.size(), 3u);
    const int32_t opcodes[3] = {43, 0, 44};
    const float options[3] = {0.0f, static_cast<float>(61.0 / 127), 0.0f};
    for (int i = 0; i < 3; ++i) {
        const vsthost::HostCall& c = host.calls[i];
        EXPECT_EQ(c.opcode, opcodes[i]);
        EXPECT_EQ(c.index, 14);
        EXPECT_EQ(c.value, 0);
        EXPECT_EQ(c.ptr, nullptr);
        EXPECT_EQ(c.option, options[i]);
    }
}

TEST(ParameterEdit, SendsTheUnsnappedValueButStoresTheSnappedOne) {
    TestHost host;
    host.plugin().edit(9, 120.4);
    EXPECT_EQ(host.plugin().params[9].load(), 90.0 / 270);
    ASSERT_EQ(host.calls.size(), 3u);
    EXPECT_EQ(host.calls[1].option, static_cast<float>(90.4 / 270));
}

struct EditCase {
    int index;
    double value;
    double stored;
    float sent;
};
void PrintTo(const EditCase& c, std::ostream* os) {
    *os << "index " << c.index << " edited to " << c.value;
}

class EditEdges : public ::testing::TestWithParam<EditCase> {};

TEST_P(EditEdges, ClampsAndSendsTheClampedValue) {
    const EditCase& c = GetParam();
    TestHost host;
    host.plugin().edit(c.index, c.value);
    EXPECT_EQ(host.plugin().params[c.index].load(), c.stored);
    ASSERT_EQ(host.calls.size(), 3u);
    EXPECT_EQ(host.calls[1].option, c.sent);
}

INSTANTIATE_TEST_SUITE_P(Edges, EditEdges,
                         ::testing::Values(EditCase{9, 500.0, 1.0, 1.0f}, EditCase{9, 0.0, 0.0, 0.0f},
                                           EditCase{9, nan, 0.0, 0.0f}, EditCase{9, inf, 0.0, 0.0f},
                                           EditCase{4, -1.0, 0.25, 0.25f}, EditCase{5, 0.3, 0.3, 0.3f}));

TEST(ParameterEdit, WithoutAHostStillStores) {
    auto plugin = std::make_unique<palmtone::Plugin>(nullptr);
    plugin->edit(0, 7);
    EXPECT_EQ(plugin->params[0].load(), 7.0 / 11);
}

ParamValues defaults() {
    ParamValues v;
    for (int i = 0; i < 16; ++i)
        v[i] = palmtone::normalisedDefault(i);
    return v;
}

TEST(SettingsDecoding, DefaultsGiveTheDefaultInstrument) {
    const Settings s = palmtone::settings(defaults());
    EXPECT_EQ(s.config.tonic, 0);
    EXPECT_EQ(s.config.scale, 0);
    EXPECT_EQ(s.config.inversion, 0);
    EXPECT_EQ(s.config.octave, 0);
    EXPECT_EQ(s.config.seventhKind, 0);
    EXPECT_EQ(s.config.ninthKind, 0);
    EXPECT_EQ(s.config.addSeventh, 1);
    EXPECT_EQ(s.config.addNinth, 1);
    EXPECT_EQ(s.config.customScale, 2741);
    EXPECT_EQ(s.volume, 0.65);
    EXPECT_EQ(s.bpm, 120.0);
    EXPECT_EQ(s.inputMode, 0);
    EXPECT_EQ(s.channel, 1);
    EXPECT_EQ(s.waveRoot, 60);
    EXPECT_TRUE(s.midiOut);
    EXPECT_FALSE(s.useWave);
    EXPECT_FALSE(s.wholeOneShot);
}

TEST(SettingsDecoding, DefaultConstructedSettings) {
    const Settings s;
    EXPECT_EQ(s.config.customScale, 2741);
    EXPECT_EQ(s.config.addSeventh, 0);
    EXPECT_EQ(s.config.addNinth, 0);
    EXPECT_EQ(s.volume, 0.65);
    EXPECT_EQ(s.bpm, 120.0);
    EXPECT_EQ(s.channel, 1);
    EXPECT_EQ(s.waveRoot, 60);
    EXPECT_TRUE(s.midiOut);
    EXPECT_FALSE(s.useWave);
}

TEST(SettingsDecoding, ChordSizeRounding) {
    struct Case {
        double value;
        int seventh, ninth;
    } cases[] = {{0.0, 0, 0},  {1.0 / 3, 1, 0}, {0.5, 1, 1},  {0.8, 1, 1},
                 {0.84, 0, 1}, {1.0, 0, 1},     {0.16, 0, 0}, {0.17, 1, 0}};
    for (const Case& c : cases) {
        ParamValues v = defaults();
        v[palmtone::pChords] = c.value;
        const Settings s = palmtone::settings(v);
        EXPECT_EQ(s.config.addSeventh, c.seventh) << c.value;
        EXPECT_EQ(s.config.addNinth, c.ninth) << c.value;
    }
}

TEST(SettingsDecoding, OutOfRangeAndNonFiniteValues) {
    struct Case {
        int index;
        double value;
        int expected;
    } cases[] = {
        {palmtone::pChannel, nan, 1},        {palmtone::pChannel, inf, 1},
        {palmtone::pChannel, 1.0, 16},       {palmtone::pChannel, 0.5, 9},
        {palmtone::pBpm, -3.0, 30},          {palmtone::pBpm, 7.0, 300},
        {palmtone::pBpm, nan, 30},           {palmtone::pOctave, 0.0, -2},
        {palmtone::pOctave, 0.125, -2},      {palmtone::pTonic, 0.5, 6},
        {palmtone::pScale, 1.0, 29},         {palmtone::pInput, 0.75, 2},
        {palmtone::pWaveRoot, 2.0, 127},     {palmtone::pCustomScale, 0.0, 1},
        {palmtone::pCustomScale, 1.0, 4095}, {palmtone::pSeventh, 1.0, 3},
        {palmtone::pNinth, 0.5, 2},          {palmtone::pInversion, 0.6, 2},
    };
    for (const Case& c : cases) {
        ParamValues v = defaults();
        v[c.index] = c.value;
        const Settings s = palmtone::settings(v);
        const int got[16] = {s.config.tonic,
                             s.config.scale,
                             0,
                             s.config.inversion,
                             s.config.octave,
                             0,
                             s.inputMode,
                             s.channel,
                             0,
                             static_cast<int>(s.bpm),
                             s.config.customScale,
                             s.config.seventhKind,
                             s.config.ninthKind,
                             0,
                             s.waveRoot,
                             0};
        EXPECT_EQ(got[c.index], c.expected) << "index " << c.index << " value " << c.value;
    }
    ParamValues v = defaults();
    v[palmtone::pVolume] = 0.123;
    EXPECT_EQ(palmtone::settings(v).volume, 0.123);
    v[palmtone::pVolume] = -1.0;
    EXPECT_EQ(palmtone::settings(v).volume, 0.0);
    v[palmtone::pVolume] = nan;
    EXPECT_EQ(palmtone::settings(v).volume, 0.0);
}

TEST(SettingsDecoding, SwitchesAreOnFromOneHalf) {
    for (int index : {palmtone::pMidiOut, palmtone::pSound, palmtone::pWholeOneShot}) {
        for (double value : {0.0, 0.49, 0.5, 1.0, nan}) {
            ParamValues v = defaults();
            v[index] = value;
            const Settings s = palmtone::settings(v);
            const bool on = index == palmtone::pMidiOut
                                ? s.midiOut
                                : (index == palmtone::pSound ? s.useWave : s.wholeOneShot);
            EXPECT_EQ(on, value >= 0.5) << "index " << index << " value " << value;
        }
    }
}

TEST(Display, NumbersAndPercent) {
    struct Case {
        int index;
        double value;
        const char* text;
    } cases[] = {
        {5, 0.005, "1%"},
        {5, 0.0049, "0%"},
        {5, 0.65, "65%"},
        {5, 1.0, "100%"},
        {5, nan, "0%"},
        {4, 0.5, "0"},
        {4, 0.0, "-2"},
        {4, 0.375, "-1"},
        {4, 1.0, "2"},
        {3, 1.0, "4"},
        {7, 0.0, "1"},
        {7, 1.0, "16"},
        {9, 0.0, "30"},
        {9, 1.0, "300"},
        {9, 1.0 / 3, "120"},
        {10, 0.0, "1"},
        {10, 1.0, "4095"},
        {10, 2740.0 / 4094, "2741"},
        {8, 0.49, "No"},
        {8, 0.5, "Si"},
        {13, 0.0, "VELK Soft Keys"},
        {13, 0.5, "One shot WAV"},
        {15, 0.0, "Seguir tecla"},
        {15, 1.0, "One shot completo"},
        {14, 60.0 / 127, "C4"},
        {14, 0.0, "C-1"},
        {14, 1.0, "G9"},
        {14, 69.0 / 127, "A4"},
        {9, -5.0, "30"},
        {9, 5.0, "300"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(palmtone::display(c.index, c.value), c.text) << c.index << " " << c.value;
}

TEST(Display, TextTables) {
    const char* const extensions[4] = {"Triadas", "7mas", "9nas (incluyen 7ma)", "Add9 (sin 7ma)"};
    const char* const modes[3] = {"Teclas / grados de escala", "Raices MIDI reales",
                                  "MIDI ya escrito / solo sonido"};
    for (int a = 0; a < 4; ++a) {
        EXPECT_STREQ(palmtone::extensions[a], extensions[a]);
        EXPECT_EQ(palmtone::display(2, a / 3.0), extensions[a]);
        EXPECT_EQ(palmtone::display(11, a / 3.0), tamso::sevenKinds[a]);
        EXPECT_EQ(palmtone::display(12, a / 3.0), tamso::nineKinds[a]);
    }
    for (int a = 0; a < 3; ++a) {
        EXPECT_STREQ(palmtone::inputModes[a], modes[a]);
        EXPECT_EQ(palmtone::display(6, a / 2.0), modes[a]);
    }
    for (int a = 0; a < 12; ++a)
        EXPECT_EQ(palmtone::display(0, a / 11.0), tamso::notes[a]);
    for (int a = 0; a < 30; ++a)
        EXPECT_EQ(palmtone::display(1, a / 29.0), tamso::scales[a].name);
    for (int a = 0; a < 128; ++a)
        EXPECT_EQ(palmtone::display(14, a / 127.0), tamso::noteName(a));
    EXPECT_EQ(palmtone::display(1, 0.0), "Mayor / Jonico");
}

TEST(Display, LabelsAndNames) {
    const char* const names[16] = {"Tonica",  "Escala", "Acordes",  "Invers.",  "Octava",   "Volumen",
                                   "Entrada", "Canal",  "MIDI out", "BPM",      "Escala12", "Septima",
                                   "Novena",  "Sonido", "Raiz WAV", "Tocar WAV"};
    for (int i = 0; i < 16; ++i) {
        EXPECT_STREQ(palmtone::specs[i].name, names[i]);
        EXPECT_STREQ(palmtone::label(i), i == 9 ? "BPM" : "");
    }
}

} // namespace
