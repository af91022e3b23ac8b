// The take recorder driven as block processing and the editor drive it: starts
// at the count-in's end, pause and resume without silence, stops, duplicates,
// the entry limit, tempo and sample-rate guards, suspend.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "tests/support/file_check.hpp"
#include "tests/support/take_script.hpp"

using namespace tamso;
using velktest::SmfNote;
using velktest::script::at;
using velktest::script::Entry;
using velktest::script::off;
using velktest::script::on;
using velktest::script::Take;

namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

TEST(StopTransition, MapsTheFiveStatesAndKeepsTheRest) {
    const struct {
        int32_t from;
        int32_t to;
    } cases[] = {
        {Idle, Idle},
        {StartRequested, Idle},
        {Recording, StopRequested},
        {StopRequested, StopRequested},
        {Finished, Finished},
        {Full, Full},
        {PauseRequested, StopRequested},
        {Paused, Finished},
        {ResumeRequested, StopRequested},
        {-1, -1},
        {9, 9},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(stopTransition(c.from), c.to) << "from " << c.from;
        std::atomic<int32_t> state{c.from};
        applyStopTransition(state);
        EXPECT_EQ(state.load(), c.to) << "from " << c.from;
    }
}

TEST(TakeRecorder, StartsAtTheCountInEndAndStopsAtTheNextBlock) {
    Take t;
    EXPECT_FALSE(t.begin());
    t.noteOn(100, 72); // no take yet
    EXPECT_TRUE(t.startAt(300));
    EXPECT_EQ(t.state(), Recording);
    t.noteOn(300, 60); // the sounding notes, entered by the caller
    t.noteOn(300, 64);
    t.noteOn(299, 67); // before the take's first sample
    t.noteOn(400, 67);
    t.end(512);
    EXPECT_EQ(t.cap->endBeats.load(), at(212));

    EXPECT_FALSE(t.begin());
    t.noteOff(0, 60);
    t.noteOff(100, 64);
    t.end(512);
    EXPECT_EQ(t.cap->endBeats.load(), at(724));
    t.stop();
    EXPECT_EQ(t.state(), StopRequested);
    EXPECT_FALSE(t.begin());
    EXPECT_EQ(t.state(), Finished);
    t.end(512); // a finished take's clock stands
    EXPECT_EQ(t.cap->endBeats.load(), at(724));

    EXPECT_EQ(t.entries(), (std::vector<Entry>{on(0, 60), on(0, 64), on(100, 67), off(212, 60), off(312, 64),
                                               off(724, 67)}));
    EXPECT_EQ(t.cap->publishedNotes.load(), 3);
    EXPECT_EQ(t.cap->takeTempo, 150.0);
    // 15/64 tick per sample.
    velktest::expectSmf("count_in_start", t.cap->midiFile(), 400000,
                        {{0, true, 60, 0, 100},
                         {0, true, 64, 0, 100},
                         {23, true, 67, 0, 100},
                         {50, false, 60, 0, 0},
                         {73, false, 64, 0, 0},
                         {170, false, 67, 0, 0}});
}

TEST(TakeRecorder, PauseAndResumeAddNoTime) {
    Take t;
    EXPECT_TRUE(t.startAt(0));
    t.noteOn(0, 60);
    t.end();
    t.begin();
    t.noteOn(256, 64);
    EXPECT_TRUE(t.pause());
    t.noteOn(300, 67); // the block runs on until the pause is taken
    t.end();
    EXPECT_EQ(t.state(), PauseRequested);

    EXPECT_FALSE(t.begin());
    EXPECT_EQ(t.state(), Paused);
    EXPECT_EQ(t.cap->endBeats.load(), at(1024));
    t.noteOn(10, 70);
    t.end();
    t.begin();
    t.end();
    EXPECT_EQ(t.cap->endBeats.load(), at(1024));

    EXPECT_FALSE(t.pause());
    EXPECT_TRUE(t.resume());
    EXPECT_TRUE(t.begin());
    EXPECT_EQ(t.state(), Recording);
    t.noteOn(0, 60); // still sounding: re-entered where the pause began
    t.noteOn(0, 67);
    t.end();
    EXPECT_EQ(t.cap->endBeats.load(), at(1536));
    t.begin();
    t.stop();
    t.end();
    EXPECT_EQ(t.state(), Finished);

    EXPECT_EQ(t.entries(),
              (std::vector<Entry>{on(0, 60), on(768, 64), on(812, 67), off(1024, 60), off(1024, 64),
                                  off(1024, 67), on(1024, 60), on(1024, 67), off(2048, 60), off(2048, 67)}));
    EXPECT_EQ(t.cap->publishedNotes.load(), 5);
    velktest::expectSmf("pause_resume", t.cap->midiFile(), 400000,
                        {{0, true, 60, 0, 100},
                         {180, true, 64, 0, 100},
                         {190, true, 67, 0, 100},
                         {240, false, 60, 0, 0},
                         {240, false, 64, 0, 0},
                         {240, false, 67, 0, 0},
                         {240, true, 60, 0, 100},
                         {240, true, 67, 0, 100},
                         {480, false, 60, 0, 0},
                         {480, false, 67, 0, 0}});
}

TEST(TakeRecorder, AStopDuringABlockClosesAtItsEnd) {
    Take t;
    t.startAt(0);
    t.noteOn(0, 60);
    t.noteOn(0, 64);
    t.end();
    t.begin();
    t.stop();
    EXPECT_EQ(t.state(), StopRequested);
    t.noteOn(200, 67);
    t.noteOff(300, 64);
    t.end();
    EXPECT_EQ(t.state(), Finished);
    EXPECT_EQ(t.entries(), (std::vector<Entry>{on(0, 60), on(0, 64), on(712, 67), off(812, 64), off(1024, 60),
                                               off(1024, 67)}));
    EXPECT_EQ(t.cap->endBeats.load(), at(1024));
    velktest::expectSmf("stop_mid_block", t.cap->midiFile(), 400000,
                        {{0, true, 60, 0, 100},
                         {0, true, 64, 0, 100},
                         {167, true, 67, 0, 100},
                         {190, false, 64, 0, 0},
                         {240, false, 60, 0, 0},
                         {240, false, 67, 0, 0}});
}

// A stop while a pause or a resume waits for the audio thread.
TEST(TakeRecorder, AStopWinsOverAPendingPauseOrResume) {
    const struct {
        const char* name;
        void (*prepare)(Take&);
        int32_t afterStop;
    } cases[] = {
        {"pause requested", [](Take& t) { t.pause(); }, StopRequested},
        {"paused",
         [](Take& t) {
             t.pause();
             t.begin();
             t.end();
         },
         Finished},
        {"resume requested",
         [](Take& t) {
             t.pause();
             t.begin();
             t.end();
             t.resume();
         },
         StopRequested},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Take t;
        t.startAt(0);
        t.noteOn(0, 60);
        t.end();
        c.prepare(t);
        t.stop(); // between two blocks
        EXPECT_EQ(t.state(), c.afterStop);
        EXPECT_FALSE(t.begin()); // a resume that lost to the stop re-enters nothing
        EXPECT_EQ(t.state(), Finished);
        EXPECT_FALSE(t.cap->recording);
        EXPECT_EQ(t.entries(), (std::vector<Entry>{on(0, 60), off(512, 60)}));
    }
}

TEST(TakeRecorder, DuplicateAndInvalidChangesLeaveNoEntry) {
    Take t;
    t.startAt(0);
    t.noteOn(0, 60, 1, 100);
    t.noteOn(10, 60, 2, 90); // already open
    t.noteOff(20, 61);       // never on
    t.noteOn(-1, 66);        // before the take's first sample
    t.noteOn(30, -1);
    t.noteOn(30, 128);
    t.noteOn(40, 62, 16, 300);
    t.noteOn(50, 63, 0, 0);
    t.noteOn(60, 65, 99, -5);
    t.noteOff(70, 62); // takes the channel of its note-on
    t.noteOff(80, 62);
    EXPECT_EQ(t.entries(), (std::vector<Entry>{on(0, 60, 0, 100), on(40, 62, 15, 127), on(50, 63, 0, 1),
                                               on(60, 65, 15, 1), off(70, 62, 15)}));
    EXPECT_EQ(t.cap->publishedNotes.load(), 4);
}

// Event k at sample 64k (15k ticks): 128 note-ons, then note 0 toggled until the
// limit; the next change, a duplicate, ends the take.
TEST(TakeRecorder, TheEntryLimitEndsTheTakeAsFull) {
    constexpr int32_t events = MidiCapture::limit;
    auto change = [](Take& t, int32_t k) {
        const int32_t offset = (k % 8) * 64;
        if (k < 128)
            t.noteOn(offset, k);
        else if ((k - 128) % 2 == 0)
            t.noteOff(offset, 0);
        else
            t.noteOn(offset, 0);
    };
    Take t;
    for (int32_t k = 0; k < events; ++k) {
        if (k % 8 == 0) k == 0 ? (void)t.startAt(0) : (void)t.begin();
        change(t, k);
        if (k % 8 == 7) t.end();
    }
    ASSERT_EQ(t.cap->entryCount, events);
    EXPECT_EQ(t.state(), Recording);

    t.begin();
    t.noteOn(0, 5); // at the limit the take ends before the duplicate test
    EXPECT_EQ(t.state(), Full);
    EXPECT_FALSE(t.cap->recording);
    ASSERT_EQ(t.cap->entryCount, events + 128);
    // The open notes close where the block began, past the last entry.
    const double closeAt = at(64.0 * events);
    const std::vector<Entry> all = t.entries();
    for (int note = 0; note < 128; ++note)
        EXPECT_EQ(all[events + note], off(64.0 * events, note)) << note;
    EXPECT_EQ(t.cap->endBeats.load(), closeAt);
    EXPECT_EQ(t.cap->publishedNotes.load(), 128 + (events - 128) / 2);

    t.noteOff(10, 5);
    t.end();
    EXPECT_FALSE(t.begin());
    EXPECT_EQ(t.state(), Full);
    EXPECT_EQ(t.cap->entryCount, events + 128);

    std::vector<SmfNote> expected;
    for (int32_t k = 0; k < events; ++k) {
        const uint32_t tick = 15u * static_cast<uint32_t>(k);
        if (k < 128)
            expected.push_back({tick, true, k, 0, 100});
        else
            expected.push_back({tick, (k - 128) % 2 == 1, 0, 0, (k - 128) % 2 == 1 ? 100 : 0});
    }
    for (int note = 0; note < 128; ++note)
        expected.push_back({15u * events, false, note, 0, 0});
    velktest::expectSmf("full_take", t.cap->midiFile(), 400000, expected);
}

TEST(TakeRecorder, TempoIsClampedTo30Through300) {
    const struct {
        double tempo;
        double used;
    } cases[] = {
        {20, 30},   {400, 300},  {0, 30},    {-50, 30}, {nan, 120},
        {inf, 120}, {-inf, 120}, {150, 150}, {30, 30},  {300, 300},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tempo);
        Take t;
        t.tempo = c.tempo;
        EXPECT_TRUE(t.startAt(0));
        EXPECT_EQ(t.cap->takeTempo, c.used);
        EXPECT_EQ(t.cap->beatsPerSample, c.used / (60.0 * velktest::script::rate));
        t.end(10240);
        EXPECT_DOUBLE_EQ(t.cap->endBeats.load(), c.used / 60.0);
    }
}

// Positions follow the tempo of each block; the file keeps the tempo of the start.
TEST(TakeRecorder, TempoChangesMoveThePositionsNotTheFileTempo) {
    Take t;
    t.startAt(0);
    t.noteOn(0, 60);
    t.end(4096);   // one beat
    t.tempo = 400; // 300 BPM: 2/4096 beat per sample
    t.begin();
    t.noteOn(2048, 64);
    t.end(4096);
    t.stop();
    t.begin();
    EXPECT_EQ(t.entries(), (std::vector<Entry>{on(0, 60), on(8192, 64), off(12288, 60), off(12288, 64)}));
    EXPECT_EQ(t.cap->takeTempo, 150.0);
    velktest::expectSmf(
        "tempo_change", t.cap->midiFile(), 400000,
        {{0, true, 60, 0, 100}, {1920, true, 64, 0, 100}, {2880, false, 60, 0, 0}, {2880, false, 64, 0, 0}});
}

TEST(TakeRecorder, ASampleRateThatIsNotPositiveStopsTheClock) {
    for (double sampleRate : {0.0, -48000.0, nan, inf, -inf, 1e-320}) {
        SCOPED_TRACE(sampleRate);
        Take t;
        t.sampleRate = sampleRate;
        t.startAt(0);
        EXPECT_EQ(t.cap->beatsPerSample, 0.0);
        t.noteOn(100, 60);
        t.end(512);
        EXPECT_EQ(t.cap->endBeats.load(), 0.0);
        t.sampleRate = velktest::script::rate;
        t.begin();
        t.noteOff(512, 60);
        t.end(1024);
        EXPECT_EQ(t.entries(), (std::vector<Entry>{on(0, 60), off(512, 60)}));
        EXPECT_EQ(t.cap->endBeats.load(), at(1024));
    }
}

TEST(TakeRecorder, SuspendFinishesOrWithdrawsTheTake) {
    // Every take holds note 60 from sample 0, and a note-off at 512 once closed.
    const struct {
        const char* name;
        void (*prepare)(Take&);
        int32_t after;
    } cases[] = {
        {"recording", [](Take&) {}, Finished},
        {"pause requested", [](Take& t) { t.pause(); }, Finished},
        {"paused",
         [](Take& t) {
             t.pause();
             t.begin();
         },
         Finished},
        {"resume requested",
         [](Take& t) {
             t.pause();
             t.begin();
             t.resume();
         },
         Finished},
        // Stopped while not recording: no block would ever finish it after the suspend.
        {"stop requested while paused",
         [](Take& t) {
             t.pause();
             t.begin();
             t.resume();
             t.stop();
         },
         Finished},
        {"finished",
         [](Take& t) {
             t.stop();
             t.begin();
         },
         Finished},
        {"full",
         [](Take& t) {
             t.stop();
             t.begin();
             t.cap->state.store(Full);
         },
         Full},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Take t;
        t.startAt(0);
        t.noteOn(0, 60);
        t.end();
        c.prepare(t);
        t.cap->suspend();
        EXPECT_EQ(t.state(), c.after);
        EXPECT_FALSE(t.cap->recording);
        EXPECT_EQ(t.entries(), (std::vector<Entry>{on(0, 60), off(512, 60)}));
    }

    Take idle;
    idle.cap->suspend();
    EXPECT_EQ(idle.state(), Idle);
    ASSERT_TRUE(applyStartTransition(idle.cap->state));
    idle.cap->suspend();
    EXPECT_EQ(idle.state(), Idle); // the requested start is withdrawn
    EXPECT_EQ(idle.cap->entryCount, 0);
}

TEST(TakeRecorder, ANewTakeStartsClean) {
    Take t;
    t.tempo = 200;
    t.startAt(0);
    t.noteOn(0, 60);
    t.noteOn(0, 61);
    t.end();
    t.stop();
    t.begin();
    ASSERT_EQ(t.state(), Finished);
    ASSERT_EQ(t.cap->entryCount, 4);

    t.tempo = 150;
    EXPECT_TRUE(t.startAt(-20)); // counts from the block's first sample
    EXPECT_EQ(t.cap->entryCount, 0);
    EXPECT_EQ(t.cap->publishedNotes.load(), 0);
    EXPECT_EQ(t.cap->endBeats.load(), 0.0);
    EXPECT_EQ(t.cap->takeTempo, 150.0);
    t.noteOff(0, 60);
    t.noteOn(0, 62);
    t.end();
    EXPECT_EQ(t.entries(), (std::vector<Entry>{on(0, 62)}));
    EXPECT_EQ(t.cap->endBeats.load(), at(512));
    EXPECT_EQ(t.cap->publishedNotes.load(), 1);
}

} // namespace
