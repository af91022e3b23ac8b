// The count-in through blocks: click placement and sound, the seconds shown, the
// end that starts the take, cancels, rate changes and the events around the end.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/support/test_host.hpp"

namespace {

using velktest::TakeEntry;
using velktest::TestHost;
using Command = palmtone::CountIn::Command;

constexpr double twoPi = 6.283185307179586476925286766559;

// The sound of one click `i` samples after it started, as mixed.
float click(int64_t i, double frequency, double rate) {
    const int64_t length = static_cast<int64_t>(0.018 * rate);
    if (i < 0 || i >= length) return 0.0f;
    return static_cast<float>(std::sin(twoPi * frequency / rate * static_cast<double>(i)) * 0.12 *
                              std::exp(-static_cast<double>(i) / (rate * 0.0035)));
}

class CountIn : public ::testing::Test {
  protected:
    palmtone::Plugin& p() { return host.plugin(); }
    palmtone::CountIn& countIn() { return host.plugin().countIn; }
    void rate(double hz) { ASSERT_EQ(host.dispatch(10, 0, 0, nullptr, static_cast<float>(hz)), 1); }
    int32_t state() { return p().capture.state.load(); }

    TestHost host;
};

TEST_F(CountIn, ClicksSecondsAndEndAt48000HzIn512FrameBlocks) {
    host.runBlocks(3, 512);
    countIn().requestStart();
    EXPECT_TRUE(countIn().active.load());
    EXPECT_EQ(countIn().secondsLeft.load(), 3);
    EXPECT_EQ(countIn().remaining, 0); // the request waits for the block

    const int32_t first = host.blocks;
    struct Click {
        int block, offset, kind;
    };
    const Click clicks[3] = {{0, 0, 0}, {93, 384, 1}, {187, 256, 2}};
    for (int k = 0; k <= 281; ++k) {
        host.run(512);
        SCOPED_TRACE("block B+" + std::to_string(k));
        int expectedEvents = 0;
        for (const Click& c : clicks) {
            if (c.block != k) continue;
            ASSERT_EQ(countIn().eventCount, 1);
            EXPECT_EQ(countIn().events[0].offset, c.offset);
            EXPECT_EQ(countIn().events[0].kind, c.kind);
            expectedEvents = 1;
        }
        ASSERT_EQ(countIn().eventCount, expectedEvents);
        if (k < 281) {
            const int64_t left = 144000 - 512 * int64_t{k + 1};
            ASSERT_EQ(countIn().remaining, left);
            ASSERT_EQ(countIn().secondsLeft.load(), left > 96000 ? 3 : (left > 48000 ? 2 : 1));
            ASSERT_TRUE(countIn().active.load());
            ASSERT_EQ(state(), tamso::Idle);
        }
    }
    // The end at offset 128 of B+281 started the take there.
    EXPECT_EQ(countIn().secondsLeft.load(), 0);
    EXPECT_FALSE(countIn().active.load());
    EXPECT_EQ(countIn().remaining, 0);
    EXPECT_EQ(state(), tamso::Recording);
    EXPECT_EQ(p().capture.startOffset, 128);
    EXPECT_NEAR(p().capture.endBeats.load(), (512 - 128) * velktest::beatsPerSample(120, 48000), 1e-12);

    // The audio holds the three clicks at their samples and nothing else.
    const int64_t start = host.blockStart[first];
    const double frequencies[3] = {1400.0, 1000.0, 1400.0};
    for (int64_t t = start - 1536; t < start + 144000 + 512; ++t) {
        float expected = 0.0f;
        for (int c = 0; c < 3; ++c)
            expected += click(t - start - 48000 * c, frequencies[c], 48000.0);
        ASSERT_NEAR(host.audioLeft[t], expected, 2e-6) << "frame " << t - start;
        ASSERT_EQ(host.audioRight[t], host.audioLeft[t]);
    }
}

TEST_F(CountIn, TheAudioThreadMarksATakenStartActive) {
    countIn().request.store(Command::start); // a start without the editor's part of the handshake
    host.run(512);
    EXPECT_TRUE(countIn().active.load());
    EXPECT_EQ(countIn().secondsLeft.load(), 3);
    EXPECT_EQ(countIn().request.load(), Command::none);
    EXPECT_EQ(countIn().remaining, 144000 - 512);
}

TEST_F(CountIn, BlockOfThreeSecondsHoldsEveryClickAndTheEnd) {
    rate(8000);
    host.noteOn(0, 60, 70);
    host.run(64);
    countIn().requestStart();
    host.run(30000);
    ASSERT_EQ(countIn().eventCount, 3);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(countIn().events[c].offset, 8000 * c);
        EXPECT_EQ(countIn().events[c].kind, c);
    }
    EXPECT_EQ(state(), tamso::Recording);
    EXPECT_EQ(p().capture.startOffset, 24000);
    EXPECT_FALSE(countIn().active.load());
    EXPECT_EQ(countIn().secondsLeft.load(), 0);
    const std::vector<TakeEntry> take = velktest::takeEntries(p());
    ASSERT_EQ(take.size(), 5u);
    for (const TakeEntry& e : take) {
        EXPECT_EQ(e.beats, 0.0);
        EXPECT_TRUE(e.on);
        EXPECT_EQ(e.velocity, 70);
    }
}

TEST_F(CountIn, EndingExactlyAtTheBlockEndStartsTheTakeThere) {
    rate(8000);
    host.noteOn(0, 60, 70);
    countIn().requestStart();
    host.run(100);
    ASSERT_EQ(countIn().remaining, 23900);
    host.run(23900);
    EXPECT_EQ(state(), tamso::Recording);
    EXPECT_EQ(p().capture.startOffset, 23900);
    EXPECT_EQ(p().capture.endBeats.load(), 0.0);
    EXPECT_EQ(velktest::takeEntries(p()).size(), 5u);

    host.noteOff(10, 60);
    host.run(64);
    const double b = velktest::beatsPerSample(120, 8000);
    const std::vector<TakeEntry> take = velktest::takeEntries(p());
    ASSERT_EQ(take.size(), 10u);
    EXPECT_EQ(take[0], (TakeEntry{0.0, 60, 0, 70, true}));
    EXPECT_EQ(take[5], (TakeEntry{10 * b, 60, 0, 0, false}));
}

TEST_F(CountIn, TakeStartsWithTheSoundingNotesOnTheChannel) {
    rate(8000);
    host.setUnit(palmtone::pChannel, 3);
    host.noteOn(5, 62, 99);
    countIn().requestStart();
    for (int i = 0; i < 60; ++i)
        host.run(400); // 24000 = 60 * 400: the last block ends it at its end
    EXPECT_EQ(state(), tamso::Recording);
    EXPECT_EQ(p().capture.startOffset, 400);
    const std::vector<TakeEntry> take = velktest::takeEntries(p());
    const int notes[5] = {62, 65, 69, 72, 76};
    ASSERT_EQ(take.size(), 5u);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(take[i], (TakeEntry{0.0, notes[i], 2, 99, true}));
}

// Brings the count-in to `remaining` samples before a block of `frames` at 48000 Hz.
class CountInEnd : public CountIn {
  protected:
    void countTo(int64_t remaining) {
        countIn().requestStart();
        host.run(512);
        host.run(static_cast<int32_t>(countIn().remaining - remaining));
        ASSERT_EQ(countIn().remaining, remaining);
    }
};

TEST_F(CountInEnd, EventsBeforeAndAfterTheEndLandOnEitherSide) {
    countTo(300);
    host.noteOn(100, 60, 90); // C E G B D before the take
    host.noteOn(400, 65, 80); // F A C E G inside it
    host.noteOff(400, 60);
    host.run(512);
    const double b = velktest::beatsPerSample(120, 48000);
    const std::vector<TakeEntry> expected = {
        {0, 60, 0, 90, true},       {0, 64, 0, 90, true},       {0, 67, 0, 90, true},
        {0, 71, 0, 90, true},       {0, 74, 0, 90, true},       {100 * b, 65, 0, 80, true},
        {100 * b, 69, 0, 80, true}, {100 * b, 72, 0, 80, true}, {100 * b, 76, 0, 80, true},
        {100 * b, 79, 0, 80, true}, {100 * b, 60, 0, 0, false}, {100 * b, 64, 0, 0, false},
        {100 * b, 67, 0, 0, false}, {100 * b, 71, 0, 0, false}, {100 * b, 74, 0, 0, false},
    };
    EXPECT_EQ(velktest::takeEntries(p()), expected);
    EXPECT_EQ(p().capture.startOffset, 300);
    EXPECT_NEAR(p().capture.endBeats.load(), 212 * b, 1e-12);
    // The host's output is not moved by the take.
    const std::vector<velktest::Midi> out = host.outputOf(host.blocks - 1);
    ASSERT_EQ(out.size(), 15u);
    EXPECT_EQ(out[0].frame, 100);
    EXPECT_EQ(out[5].frame, 400);
}

TEST_F(CountInEnd, EventAtTheEndOffsetActsBeforeTheTakeStarts) {
    host.noteOn(0, 60, 90);
    host.run(64);
    countTo(300);
    host.noteOff(300, 60); // never in the take
    host.noteOn(300, 62, 80);
    host.run(512);
    const std::vector<TakeEntry> expected = {{0, 62, 0, 80, true},
                                             {0, 65, 0, 80, true},
                                             {0, 69, 0, 80, true},
                                             {0, 72, 0, 80, true},
                                             {0, 76, 0, 80, true}};
    EXPECT_EQ(velktest::takeEntries(p()), expected);
}

TEST_F(CountInEnd, CancelArrivingWhileTheEndLiesInTheBlock) {
    p().capture.state.store(tamso::Finished); // a previous take, ready to be replaced
    host.setUnit(palmtone::pInput, 2);
    countTo(300);
    // 600 output events before the end fill the output list once; the editor's
    // cancel arrives while the host holds that list, after the count-in step.
    for (int i = 0; i < 300; ++i) {
        host.noteOn(10, i % 128);
        host.noteOff(10, i % 128);
    }
    int cancels = 0;
    host.onList = [&] {
        if (cancels++ == 0) countIn().requestCancel();
    };
    const int32_t listsBefore = host.lists;
    host.run(512);
    ASSERT_EQ(host.lists - listsBefore, 2);
    EXPECT_EQ(state(), tamso::Finished); // no new take
    EXPECT_FALSE(countIn().active.load());
    EXPECT_EQ(countIn().secondsLeft.load(), 0);
    EXPECT_EQ(countIn().request.load(), Command::cancel);

    // The next block takes the cancel, which leaves the old take alone.
    host.onList = nullptr;
    host.run(512);
    EXPECT_EQ(countIn().request.load(), Command::none);
    EXPECT_EQ(state(), tamso::Finished);
}

struct CancelCase {
    tamso::TakeState before;
    tamso::TakeState after;
};
void PrintTo(const CancelCase& c, std::ostream* os) {
    *os << "take state " << c.before;
}

class Cancel : public ::testing::TestWithParam<CancelCase> {};

TEST_P(Cancel, StopsTheCountInAndAppliesTheStopToTheTake) {
    TestHost host;
    palmtone::Plugin& p = host.plugin();
    host.dispatch(10, 0, 0, nullptr, 8000.0f);
    host.noteOn(0, 60);
    p.countIn.requestStart();
    host.run(64);
    p.capture.state.store(GetParam().before);
    p.countIn.requestCancel();
    host.run(64);
    EXPECT_FALSE(p.countIn.active.load());
    EXPECT_EQ(p.countIn.secondsLeft.load(), 0);
    EXPECT_EQ(p.countIn.remaining, 0);
    EXPECT_EQ(p.countIn.request.load(), Command::none);
    EXPECT_EQ(p.countIn.clickRemaining, 0);
    EXPECT_EQ(p.capture.state.load(), GetParam().after);
    // No take starts later.
    host.runBlocks(5, 8000);
    EXPECT_EQ(p.capture.state.load(), GetParam().after);
    EXPECT_EQ(p.countIn.eventCount, 0);
}

INSTANTIATE_TEST_SUITE_P(TakeStates, Cancel,
                         ::testing::Values(CancelCase{tamso::Idle, tamso::Idle},
                                           CancelCase{tamso::StartRequested, tamso::Idle},
                                           CancelCase{tamso::Finished, tamso::Finished},
                                           CancelCase{tamso::Full, tamso::Full},
                                           CancelCase{tamso::Recording, tamso::Finished},
                                           CancelCase{tamso::PauseRequested, tamso::Finished},
                                           CancelCase{tamso::Paused, tamso::Finished}));

TEST_F(CountIn, CancelSilencesTheSoundingClick) {
    rate(8000);
    countIn().requestStart();
    host.run(50, false);
    ASSERT_GT(countIn().clickRemaining, 0);
    countIn().requestCancel();
    host.run(200);
    for (float s : host.left)
        ASSERT_EQ(s, 0.0f);
}

TEST_F(CountIn, NullBuffersStillAdvanceTheClick) {
    TestHost reference;
    for (TestHost* h : {&host, &reference}) {
        h->dispatch(10, 0, 0, nullptr, 8000.0f);
        h->plugin().countIn.requestStart();
    }
    host.run(50, false);
    reference.run(50, true);
    host.run(200);
    reference.run(200);
    EXPECT_EQ(host.left, reference.left);
    EXPECT_NE(host.left[0], 0.0f);
    EXPECT_EQ(countIn().clickRemaining, reference.plugin().countIn.clickRemaining);
}

TEST(CountInMix, ClampsEverySampleOfABlockWithAClick) {
    palmtone::CountIn c;
    c.events[0] = {3, 0}; // a click from the last frame on; its first sample is 0
    c.eventCount = 1;
    float l[4] = {1.5f, -3.0f, 0.25f, 1.0f};
    float r[4] = {-1.01f, 2.0f, -0.5f, -1.0f};
    c.mix(l, r, 4, 48000.0);
    const float el[4] = {1.0f, -1.0f, 0.25f, 1.0f}, er[4] = {-1.0f, 1.0f, -0.5f, -1.0f};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(l[i], el[i]);
        EXPECT_EQ(r[i], er[i]);
    }
    EXPECT_GT(c.clickRemaining, 0);
    c.mix(l, nullptr, 0, 48000.0);
    c.mix(nullptr, nullptr, 4, 48000.0);
}

// With no click sounding the block is the engine's, already within -1..1 and
// free of -0 (OutputStageStaysInRangeAndNeverWritesNegativeZero): mix leaves
// it as it is without walking it.
TEST(CountInMix, LeavesABlockWithoutAClickAlone) {
    palmtone::CountIn c;
    float l[3] = {1.5f, -0.0f, 0.25f};
    float r[3] = {-1.01f, 2.0f, -0.5f};
    c.mix(l, r, 3, 48000.0);
    EXPECT_EQ(l[0], 1.5f);
    EXPECT_TRUE(std::signbit(l[1]));
    EXPECT_EQ(r[1], 2.0f);
}

TEST_F(CountIn, SampleRateChangeKeepsTheSecondsLeft) {
    countIn().requestStart();
    host.runBlocks(10, 512);
    ASSERT_EQ(countIn().remaining, 144000 - 5120);
    rate(96000);
    host.run(512);
    EXPECT_EQ(countIn().rate, 96000.0);
    EXPECT_EQ(countIn().remaining, 2 * (144000 - 5120) - 512);

    // The end falls 3 s after the start: 277760 samples at the new rate after the change.
    const int32_t changed = host.blocks - 1;
    while (state() == tamso::Idle && host.blocks < changed + 600)
        host.run(512);
    EXPECT_EQ(host.blocks - 1 - changed, 277760 / 512);
    EXPECT_EQ(state(), tamso::Recording);
    EXPECT_NEAR(p().capture.endBeats.load(), (512 - 277760 % 512) * velktest::beatsPerSample(120, 96000),
                1e-12);

    // Halving works the same way.
    countIn().requestStart();
    host.runBlocks(3, 512);
    const int64_t left = countIn().remaining;
    rate(48000);
    host.run(100);
    EXPECT_EQ(countIn().remaining, std::llround(left / 2.0) - 100);
}

} // namespace
