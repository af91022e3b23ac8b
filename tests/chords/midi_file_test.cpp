// The take as a Standard MIDI File: the exact bytes, the origin at the first
// note-on, ordering and rounding of positions, variable-length deltas, the
// tempo, and the length limit.
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/file_check.hpp"
#include "tests/support/take_script.hpp"

// This program's checked files, read back by read_midi.py.
const char* const velktest::readbackFolder = TAKE_READBACK_DIR;

using namespace tamso;
using velktest::SmfNote;
using velktest::script::Take;

namespace {

using Bytes = std::vector<uint8_t>;

CapturedNote onAt(double beats, int note, int channel = 0, int velocity = 100) {
    CapturedNote e;
    e.beats = beats;
    e.track = 1;
    e.note = static_cast<uint8_t>(note);
    e.channel = static_cast<uint8_t>(channel);
    e.velocity = static_cast<uint8_t>(velocity);
    e.on = true;
    return e;
}

CapturedNote offAt(double beats, int note, int channel = 0) {
    CapturedNote e = onAt(beats, note, channel, 0);
    e.on = false;
    return e;
}

// A take holding `list` as its entries, as the recorder leaves it.
std::unique_ptr<MidiCapture> takeOf(const std::vector<CapturedNote>& list, double tempo = 120.0,
                                    int32_t state = Finished) {
    auto cap = std::make_unique<MidiCapture>();
    for (size_t i = 0; i < list.size(); ++i)
        cap->entries[i] = list[i];
    cap->entryCount = static_cast<int32_t>(list.size());
    cap->takeTempo = tempo;
    cap->state.store(state);
    return cap;
}

Bytes nameBytes() {
    const std::string name = "VELK - Acordes completos";
    return Bytes(name.begin(), name.end());
}

TEST(MidiFile, TwoNotesAtOneHundredTwentyGiveTheDocumentedBytes) {
    Take t;
    t.sampleRate = 8192.0; // 1/4096 beat per sample at 120 BPM
    t.tempo = 120.0;
    t.startAt(0);
    t.noteOn(0, 60);
    t.noteOn(0, 64);
    t.end(4096);
    t.begin();
    t.noteOff(0, 60);
    t.noteOff(0, 64);
    t.stop();
    t.end(512);
    ASSERT_EQ(t.state(), Finished);

    Bytes expected{0x4D, 0x54, 0x68, 0x64, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00, 0x01, 0x03,
                   0xC0, 0x4D, 0x54, 0x72, 0x6B, 0x00, 0x00, 0x00, 0x38, 0x00, 0xFF, 0x03, 0x18};
    const Bytes name = nameBytes();
    expected.insert(expected.end(), name.begin(), name.end());
    expected.insert(expected.end(),
                    {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,       // tempo
                     0x00, 0x90, 0x3C, 0x64, 0x00, 0x90, 0x40, 0x64, // note-ons
                     0x87, 0x40, 0x80, 0x3C, 0x00, 0x00, 0x80, 0x40, 0x00, 0x00, 0xFF, 0x2F, 0x00});
    const Bytes file = t.cap->midiFile();
    EXPECT_EQ(file.size(), 78u);
    EXPECT_EQ(file, expected);
    velktest::expectSmf(
        "documented_example", file, 500000,
        {{0, true, 60, 0, 100}, {0, true, 64, 0, 100}, {960, false, 60, 0, 0}, {960, false, 64, 0, 0}});
}

TEST(MidiFile, NothingToExportGivesNoBytes) {
    const std::vector<CapturedNote> twoNotes{onAt(0, 60), offAt(1, 60)};
    for (int32_t state :
         {Idle, StartRequested, Recording, StopRequested, PauseRequested, Paused, ResumeRequested}) {
        EXPECT_TRUE(takeOf(twoNotes, 120, state)->midiFile().empty()) << "state " << state;
    }
    EXPECT_FALSE(takeOf(twoNotes, 120, Full)->midiFile().empty());
    EXPECT_TRUE(takeOf({}, 120)->midiFile().empty());
    EXPECT_TRUE(takeOf({offAt(0, 60), offAt(1, 61)})->midiFile().empty()) << "no note-on";
    CapturedNote otherTrack = onAt(0, 60);
    otherTrack.track = 2;
    EXPECT_TRUE(takeOf({otherTrack})->midiFile().empty()) << "no chord-track entry";
    // A Finished take from the recorder that never saw a note.
    Take t;
    t.startAt(0);
    t.end();
    t.stop();
    t.begin();
    ASSERT_EQ(t.state(), Finished);
    EXPECT_TRUE(t.cap->midiFile().empty());
}

struct LayoutCase {
    const char* name;
    std::vector<CapturedNote> entries; // in capture order
    std::vector<SmfNote> written;
};

TEST(MidiFile, PositionsBecomeOrderedTicks) {
    CapturedNote skipped = onAt(0, 67);
    skipped.track = 0;
    const LayoutCase cases[] = {
        {"origin_at_first_note_on",
         {onAt(2.5, 60), onAt(3, 64), offAt(3.5, 60), offAt(3.5, 64)},
         {{0, true, 60, 0, 100}, {480, true, 64, 0, 100}, {960, false, 60, 0, 0}, {960, false, 64, 0, 0}}},
        {"note_off_at_its_note_on",
         {onAt(0, 60), offAt(0, 60)},
         {{0, true, 60, 0, 100}, {1, false, 60, 0, 0}}},
        {"rounded_below_previous",
         {onAt(0, 60), offAt(0, 60), onAt(0.0001, 64), offAt(0.0001, 64)},
         {{0, true, 60, 0, 100}, {1, false, 60, 0, 0}, {1, true, 64, 0, 100}, {2, false, 64, 0, 0}}},
        // 7.5, 11.25, 18.75, 22.5 and 52.5 ticks.
        {"halves_away_from_zero",
         {onAt(0, 60), onAt(2 / 256.0, 62), offAt(3 / 256.0, 62), onAt(5 / 256.0, 64), offAt(6 / 256.0, 64),
          offAt(14 / 256.0, 60)},
         {{0, true, 60, 0, 100},
          {8, true, 62, 0, 100},
          {11, false, 62, 0, 0},
          {19, true, 64, 0, 100},
          {23, false, 64, 0, 0},
          {53, false, 60, 0, 0}}},
        {"sorted_by_position",
         {onAt(2, 60), onAt(1, 64), offAt(3, 64), offAt(3, 60)},
         {{0, true, 64, 0, 100}, {960, true, 60, 0, 100}, {1920, false, 64, 0, 0}, {1920, false, 60, 0, 0}}},
        // A note-off captured before a note-on at one position stays first.
        {"equal_positions_keep_capture_order",
         {onAt(0, 60), offAt(1, 60), onAt(1, 60), offAt(2, 60)},
         {{0, true, 60, 0, 100}, {960, false, 60, 0, 0}, {960, true, 60, 0, 100}, {1920, false, 60, 0, 0}}},
        {"note_on_ticks_per_channel",
         {onAt(0, 60, 0, 100), onAt(1, 60, 15, 127), offAt(1, 60, 0), offAt(1, 60, 15)},
         {{0, true, 60, 0, 100}, {960, true, 60, 15, 127}, {960, false, 60, 0, 0}, {961, false, 60, 15, 0}}},
        // Only chord-track entries are written, but every note-on sets the origin.
        {"origin_from_every_note_on",
         {skipped, onAt(1, 64), offAt(2, 64)},
         {{960, true, 64, 0, 100}, {1920, false, 64, 0, 0}}},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(c.name);
        velktest::expectSmf(c.name, takeOf(c.entries)->midiFile(), 500000, c.written);
    }
}

TEST(MidiFile, DeltasAreVariableLengthQuantities) {
    const struct {
        uint32_t delta;
        Bytes vlq;
    } cases[] = {
        {1, {0x01}},
        {127, {0x7F}},
        {128, {0x81, 0x00}},
        {16383, {0xFF, 0x7F}},
        {16384, {0x81, 0x80, 0x00}},
        {2097151, {0xFF, 0xFF, 0x7F}},
        {2097152, {0x81, 0x80, 0x80, 0x00}},
        {268435455, {0xFF, 0xFF, 0xFF, 0x7F}},
    };
    constexpr size_t noteOffAt = 22 + 28 + 7 + 4; // header, name, tempo, note-on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.delta);
        const Bytes file = takeOf({onAt(0, 60), offAt(c.delta / 960.0, 60)})->midiFile();
        ASSERT_EQ(file.size(), noteOffAt + c.vlq.size() + 3 + 4);
        EXPECT_EQ(Bytes(file.begin() + noteOffAt, file.begin() + noteOffAt + c.vlq.size()), c.vlq);
        velktest::expectSmf("vlq_" + std::to_string(c.delta), file, 500000,
                            {{0, true, 60, 0, 100}, {c.delta, false, 60, 0, 0}});
    }
}

TEST(MidiFile, TempoIsMicrosecondsPerQuarterRounded) {
    const struct {
        const char* name;
        double tempo;
        uint32_t micros;
    } cases[] = {
        {"tempo_120", 120, 500000},
        {"tempo_150", 150, 400000},
        {"tempo_300", 300, 200000},
        {"tempo_30", 30, 2000000},
        {"tempo_137", 137, 437956}, // 437956.20
        {"tempo_91", 91, 659341},   // 659340.66
        // Never recorded so, but kept inside the three bytes all the same.
        {"tempo_zero", 0, 2000000},
        {"tempo_nan", std::numeric_limits<double>::quiet_NaN(), 500000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = takeOf({onAt(0, 60), offAt(1, 60)}, c.tempo)->midiFile();
        ASSERT_GE(file.size(), 57u);
        EXPECT_EQ(Bytes(file.begin() + 50, file.begin() + 57),
                  (Bytes{0x00, 0xFF, 0x51, 0x03, static_cast<uint8_t>(c.micros >> 16),
                         static_cast<uint8_t>(c.micros >> 8), static_cast<uint8_t>(c.micros)}));
        velktest::expectSmf(c.name, file, c.micros, {{0, true, 60, 0, 100}, {960, false, 60, 0, 0}});
    }
}

void expectTooLong(const MidiCapture& cap) {
    try {
        cap.midiFile();
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Toma MIDI demasiado larga");
    }
}

// 268435455 ticks is 279620.265625 beats: 1145324608 samples at 1/4096 beat each.
TEST(MidiFile, TheLongestTakeIsWrittenAndTheNextRefused) {
    constexpr int32_t longest = 1145324608;
    for (int32_t extra : {0, 1}) {
        SCOPED_TRACE(extra);
        Take t;
        t.startAt(0);
        t.noteOn(0, 60);
        t.end(longest);
        t.begin();
        t.noteOff(extra, 60);
        t.stop();
        t.end();
        ASSERT_EQ(t.state(), Finished);
        ASSERT_EQ(t.cap->entries[1].beats, 279620.265625 + extra / 4096.0);
        if (extra == 0) {
            const Bytes file = t.cap->midiFile();
            velktest::expectSmf("longest_take", file, 400000,
                                {{0, true, 60, 0, 100}, {268435455, false, 60, 0, 0}});
            continue;
        }
        expectTooLong(*t.cap);
        // The take is left as it was, and refused again.
        EXPECT_EQ(t.state(), Finished);
        EXPECT_EQ(t.cap->entryCount, 2);
        expectTooLong(*t.cap);
    }
}

TEST(MidiFile, PositionsThatAreNotNumbersAreRefused) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    expectTooLong(*takeOf({onAt(0, 60), offAt(nan, 60)}));
    expectTooLong(*takeOf({onAt(0, 60), offAt(inf, 60)}));
    expectTooLong(*takeOf({onAt(nan, 61), onAt(0, 60), offAt(1, 60), offAt(2, 61)}));
}

} // namespace
