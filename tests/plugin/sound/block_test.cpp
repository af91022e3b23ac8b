// One audio block: the editor's ring, full resets, the tempo, sound changes, and
// independence of the block sizes. Empty blocks and the order and clamping of a
// block's events run at both levels (tests/support/held_keys_scenario.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "tests/support/kernel_choice.hpp"
#include "tests/support/test_host.hpp"

namespace {

using coretest::Midi;
using coretest::off;
using coretest::on;
using coretest::TestHost;
using Out = std::vector<Midi>;

class Block : public coretest::TriadTest {
  protected:
    void passThrough() { host.setUnit(palmtone::pInput, 2); }
};

TEST_F(Block, EditorEventsActAtFrameZeroBeforeHostEvents) {
    passThrough();
    host.noteOn(0, 64);
    host.noteOn(0, 66);
    host.plugin().pushUiEvent(0x9F, 62, 90);
    host.plugin().pushUiEvent(0x8F, 62, 0);
    host.plugin().pushUiEvent(0x9E, 63, 80);
    EXPECT_EQ(block(), (Out{on(0, 62, 90), off(0, 62), on(0, 63, 80), on(0, 64, 100), on(0, 66, 100)}));
    EXPECT_TRUE(p().uiEvents.empty());
}

TEST_F(Block, EditorKeysAreClampedIntoTheRing) {
    passThrough();
    EXPECT_TRUE(p().pushUiEvent(0x9F, 500, 90));
    EXPECT_TRUE(p().pushUiEvent(0x9F, -3, 90));
    EXPECT_EQ(block(), (Out{on(0, 127, 90), on(0, 0, 90)})); // in ring order
}

TEST_F(Block, FullUiRingDropsTheEventAndResetsEverything) {
    host.noteOn(0, 60);
    block();
    for (int i = 0; i < 255; ++i)
        ASSERT_TRUE(p().pushUiEvent(0x9F, 62 + i % 2, 100)) << i;
    EXPECT_FALSE(p().overflow.load());
    EXPECT_FALSE(p().pushUiEvent(0x9F, 65, 100));
    EXPECT_TRUE(p().overflow.load());
    host.noteOn(10, 67);

    // The reset stops the held chord at frame 0 and drops the 255 and the host event.
    EXPECT_EQ(block(), (Out{off(0, 60), off(0, 64), off(0, 67)}));
    EXPECT_FALSE(p().overflow.load());
    EXPECT_TRUE(p().uiEvents.empty());
    EXPECT_EQ(p().engine.soundingCount.load(), 0);
    EXPECT_FALSE(p().engine.heldKeys[0][60].active);
    EXPECT_EQ(p().engine.lastChordRoot.load(), -1);
    for (bool active : p().engine.sampleActive)
        EXPECT_FALSE(active);

    // The ring works again, and the old note-off changes nothing.
    p().pushUiEvent(0x9F, 62, 100);
    host.noteOff(5, 60);
    EXPECT_EQ(block(), (Out{on(0, 62, 100), on(0, 65, 100), on(0, 69, 100)}));
}

TEST_F(Block, ReleaseRequestStopsEveryNoteOnce) {
    p().capture.state.store(tamso::StartRequested);
    host.controller(0, 64, 127);
    host.noteOn(0, 60);
    host.noteOn(1, 71, 100, 2);
    block();
    p().resetRequest.store(true);
    EXPECT_EQ(block(), (Out{off(0, 60), off(0, 64), off(0, 67), off(0, 71), off(0, 74), off(0, 77)}));
    EXPECT_FALSE(p().resetRequest.load());
    EXPECT_FALSE(p().engine.sustain[0]);
    // The take closed the notes at the block start.
    const auto take = coretest::takeEntries(p());
    ASSERT_EQ(take.size(), 12u);
    for (size_t i = 6; i < 12; ++i) {
        EXPECT_FALSE(take[i].on);
        EXPECT_NEAR(take[i].beats, 512 * coretest::beatsPerSample(120, 48000), 1e-12);
    }
    // Later note-offs of the keys that were held change nothing; the next chord plays.
    host.noteOff(0, 60);
    host.noteOff(0, 71, 2);
    host.noteOn(5, 62);
    EXPECT_EQ(block(), (Out{on(5, 62, 100), on(5, 65, 100), on(5, 69, 100)}));
}

TEST_F(Block, BothResetFlagsCostTwoBlocks) {
    host.noteOn(0, 60);
    block();
    p().resetRequest.store(true);
    p().overflow.store(true);
    EXPECT_EQ(block(), (Out{off(0, 60), off(0, 64), off(0, 67)}));
    EXPECT_FALSE(p().resetRequest.load());
    EXPECT_TRUE(p().overflow.load());

    // The second reset drops what was queued for its block.
    p().pushUiEvent(0x9F, 62, 100);
    host.noteOn(3, 64);
    EXPECT_EQ(block(), Out{});
    EXPECT_FALSE(p().overflow.load());
    EXPECT_EQ(p().engine.soundingCount.load(), 0);

    host.noteOn(3, 64);
    EXPECT_EQ(block(), (Out{on(3, 64, 100), on(3, 67, 100), on(3, 71, 100)}));
}

// Which parameter changes re-voice the held keys. A re-voicing rebuilds every
// active key's chord, so a root planted in the record shows whether it ran.
struct RevoiceCase {
    int index;
    double unitValue;
    bool revoices;
};
void PrintTo(const RevoiceCase& c, std::ostream* os) {
    *os << palmtone::specs[c.index].name << " = " << c.unitValue;
}

class Revoicing : public ::testing::TestWithParam<RevoiceCase> {};

TEST_P(Revoicing, OnlyChordShapingParametersRevoice) {
    const RevoiceCase& c = GetParam();
    TestHost host;
    host.noteOn(0, 60);
    host.run(64);
    palmtone::HeldKey& key = host.plugin().engine.heldKeys[0][60];
    key.chord.root = -7;
    host.run(64); // unchanged settings
    ASSERT_EQ(key.chord.root, -7);
    host.setUnit(c.index, c.unitValue);
    host.run(64);
    EXPECT_EQ(key.chord.root != -7, c.revoices) << palmtone::specs[c.index].name;
    EXPECT_TRUE(key.active);
    EXPECT_EQ(key.velocity, 100);
}

INSTANTIATE_TEST_SUITE_P(EveryParameter, Revoicing,
                         ::testing::Values(RevoiceCase{0, 3, true}, RevoiceCase{1, 4, true},
                                           RevoiceCase{2, 0, true}, RevoiceCase{3, 1, true},
                                           RevoiceCase{4, 1, true}, RevoiceCase{5, 0.2, false},
                                           RevoiceCase{6, 1, true}, RevoiceCase{7, 5, false},
                                           RevoiceCase{8, 0, false}, RevoiceCase{9, 200, false},
                                           RevoiceCase{10, 1000, true}, RevoiceCase{11, 2, true},
                                           RevoiceCase{12, 1, true}, RevoiceCase{13, 1, false},
                                           RevoiceCase{14, 70, false}, RevoiceCase{15, 1, false}));

TEST_F(Block, RevoicingKeepsKeyStatesVelocitiesAndTheLastRoot) {
    host.controller(0, 64, 127);
    host.noteOn(0, 60, 90);
    host.noteOff(1, 60); // sustained
    host.noteOn(2, 64, 40);
    block();
    host.setUnit(palmtone::pOctave, 1);
    const Out out = block();
    EXPECT_EQ(out, (Out{off(0, 60), off(0, 64), off(0, 67), off(0, 71), on(0, 72, 90), on(0, 76, 40),
                        on(0, 79, 40), on(0, 83, 40)}));
    const palmtone::HeldKey& c = p().engine.heldKeys[0][60];
    EXPECT_FALSE(c.down);
    EXPECT_TRUE(c.active);
    EXPECT_EQ(c.velocity, 90);
    EXPECT_EQ(p().engine.lastChordRoot.load(), 64);
    EXPECT_EQ(p().engine.noteRefCount[76], 2);
}

struct TempoCase {
    const char* what;
    bool answer;
    int32_t flags;
    double hostTempo;
    double expected;
    bool fromHost;
};
void PrintTo(const TempoCase& c, std::ostream* os) {
    *os << c.what;
}

class Tempo : public ::testing::TestWithParam<TempoCase> {};

TEST_P(Tempo, HostTempoOrTheParameter) {
    const TempoCase& c = GetParam();
    TestHost host;
    host.setUnit(palmtone::pBpm, 165);
    host.answerTime = c.answer;
    host.time.flags = c.flags;
    host.time.tempo = c.hostTempo;
    host.plugin().tempoFromHost.store(!c.fromHost);
    host.run(64);
    EXPECT_EQ(host.plugin().tempo.load(), c.expected) << c.what;
    EXPECT_EQ(host.plugin().tempoFromHost.load(), c.fromHost) << c.what;
    const std::vector<coretest::HostCall> asks = host.callsWith(7);
    ASSERT_EQ(asks.size(), 1u);
    EXPECT_EQ(asks[0].index, 0);
    EXPECT_EQ(asks[0].value, 0x400);
    EXPECT_TRUE(asks[0].nullPointer);
    EXPECT_EQ(asks[0].option, 0.0f);
}

constexpr int32_t valid = 0x400;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Answers, Tempo,
    ::testing::Values(TempoCase{"valid", true, valid, 140.0, 140.0, true},
                      TempoCase{"fractional", true, valid | 0x2 | 0x200, 97.25, 97.25, true},
                      TempoCase{"lowest", true, valid, 30.0, 30.0, true},
                      TempoCase{"highest", true, valid, 300.0, 300.0, true},
                      TempoCase{"too slow", true, valid, 29.9, 165.0, false},
                      TempoCase{"too fast", true, valid, 300.5, 165.0, false},
                      TempoCase{"no validity bit", true, 0x3FF | 0x800, 140.0, 165.0, false},
                      TempoCase{"null answer", false, valid, 140.0, 165.0, false},
                      TempoCase{"NaN", true, valid, nan, 165.0, false},
                      TempoCase{"infinite", true, valid, inf, 165.0, false}));

TEST(TempoWithoutHost, UsesTheParameter) {
    auto plugin = std::make_unique<palmtone::Plugin>(nullptr);
    plugin->set(palmtone::pBpm, coretest::normalised(palmtone::pBpm, 75));
    plugin->tempoFromHost.store(true);
    plugin->process(nullptr, 16);
    EXPECT_EQ(plugin->tempo.load(), 75.0);
    EXPECT_FALSE(plugin->tempoFromHost.load());
}

TEST_F(Block, TheTakeCountsBeatsAtTheBlocksTempo) {
    host.time.tempo = 90.0;
    p().capture.state.store(tamso::StartRequested);
    host.noteOn(100, 60);
    block();
    host.time.tempo = 180.0;
    host.noteOff(100, 60);
    block();
    const double slow = coretest::beatsPerSample(90, 48000), fast = coretest::beatsPerSample(180, 48000);
    const auto take = coretest::takeEntries(p());
    ASSERT_EQ(take.size(), 6u);
    EXPECT_NEAR(take[0].beats, 100 * slow, 1e-12);
    EXPECT_NEAR(take[5].beats, 512 * slow + 100 * fast, 1e-12);
    EXPECT_EQ(p().capture.takeTempo, 90.0);
}

TEST_F(Block, TakeThatStartsOrResumesAtABlockStartEntersTheSoundingNotes) {
    host.noteOn(0, 60, 90);
    block();
    p().capture.state.store(tamso::StartRequested);
    block();
    p().capture.state.store(tamso::PauseRequested);
    block();
    ASSERT_EQ(p().capture.state.load(), tamso::Paused);
    host.noteOn(10, 62, 70); // not recorded while paused
    block();
    p().capture.state.store(tamso::ResumeRequested);
    block();
    ASSERT_EQ(p().capture.state.load(), tamso::Recording);
    const double pause = 512 * coretest::beatsPerSample(120, 48000);
    using coretest::Entry;
    EXPECT_EQ(coretest::takeEntries(p()), (std::vector<Entry>{{0, 60, 0, 90, true},
                                                              {0, 64, 0, 90, true},
                                                              {0, 67, 0, 90, true},
                                                              {pause, 60, 0, 0, false},
                                                              {pause, 64, 0, 0, false},
                                                              {pause, 67, 0, 0, false},
                                                              {pause, 60, 0, 90, true},
                                                              {pause, 62, 0, 70, true},
                                                              {pause, 64, 0, 90, true},
                                                              {pause, 65, 0, 70, true},
                                                              {pause, 67, 0, 90, true},
                                                              {pause, 69, 0, 70, true}}));
}

// The one-shot hand-over: a new sample or a move of the sound switch restarts
// the sounding notes on the new sound.
class SoundChange : public Block {
  protected:
    // One frame after a restart from envelope 0 with the attack of the sound.
    static double firstFrameEnvelope(bool wave) {
        return 1.0 - std::exp(-1.0 / (48000.0 * (wave ? 0.002 : 0.008)));
    }
    void publish(float value) { p().bank.publish(coretest::constantSample(48000, 48000.0, value), L"x.wav"); }
    // After a one-frame block: envelopes one attack step above 0 and, with a
    // sample playing, read positions one step past the file's first frame.
    void expectRestarted(bool wave, bool samplePlays) {
        const palmtone::Engine& e = p().engine;
        for (int n : {60, 64, 67}) {
            EXPECT_TRUE(e.sampleActive[n]) << n;
            EXPECT_NEAR(e.envelope[n], firstFrameEnvelope(wave), 1e-12) << n;
            const double step = samplePlays ? e.frequency[n] / e.frequency[60] : 0.0;
            if (wave) {
                EXPECT_NEAR(e.position[n], step, 1e-9) << n;
            }
        }
    }
};

TEST_F(SoundChange, NewSampleAndSoundSwitchRestartTheSoundingNotes) {
    host.noteOn(0, 62);
    host.noteOff(10, 62); // released: fading, not sounding
    host.noteOn(0, 60);
    host.runBlocks(4, 512);
    ASSERT_GT(p().engine.envelope[60], 0.9);
    ASSERT_GT(p().engine.envelope[65], 0.0);

    publish(0.5f);
    host.setUnit(palmtone::pSound, 1);
    block(1);
    expectRestarted(true, true);
    EXPECT_EQ(p().engine.sample, p().bank.published.load());
    EXPECT_EQ(p().engine.sampleSerial, 1);
    EXPECT_TRUE(p().engine.lastUseWave);
    EXPECT_EQ(p().bank.inUse.load(), nullptr);
    // A note that no longer sounds does not come back with the new sound.
    EXPECT_FALSE(p().engine.sampleActive[65]);
    EXPECT_EQ(p().engine.envelope[65], 0.0);

    // The same sample on: nothing restarts.
    block(1);
    EXPECT_GT(p().engine.envelope[60], firstFrameEnvelope(true) * 1.5);

    // Another sample while the one-shot sound is on.
    host.runBlocks(2, 512);
    publish(0.25f);
    block(1);
    expectRestarted(true, true);
    EXPECT_EQ(p().engine.sampleSerial, 2);

    // Back to the synth.
    host.runBlocks(2, 512);
    host.setUnit(palmtone::pSound, 0);
    block(1);
    expectRestarted(false, false);
    EXPECT_FALSE(p().engine.lastUseWave);
}

TEST_F(SoundChange, RemovingTheSampleRestartsToo) {
    publish(0.5f);
    host.setUnit(palmtone::pSound, 1);
    host.noteOn(0, 60);
    host.runBlocks(3, 512);
    ASSERT_TRUE(p().bank.removeCurrent());
    block(1);
    // Silence without a sample, but the envelopes follow the gates from 0.
    expectRestarted(true, false);
    EXPECT_EQ(p().engine.sample, nullptr);
    EXPECT_EQ(p().engine.sampleSerial, 0);
}

TEST_F(SoundChange, OneShotIsAudibleAndBorrowedOnlyDuringTheBlock) {
    publish(0.5f);
    host.setUnit(palmtone::pSound, 1);
    const palmtone::SampleData* published = p().bank.published.load();
    const palmtone::SampleData* seen = nullptr;
    host.onList = [&] { seen = p().bank.inUse.load(); };
    host.noteOn(0, 60);
    block();
    EXPECT_EQ(seen, published); // flush runs before the sample is given back
    EXPECT_EQ(p().bank.inUse.load(), nullptr);
    EXPECT_GT(std::fabs(host.left[511]), 0.01f);
}

// "Seguir tecla": a released one-shot fades out and has ended; switching to
// "One shot completo" later does not bring it back from the middle of the file.
TEST_F(SoundChange, AReleasedOneShotThatFadedOutStaysEnded) {
    p().bank.publish(coretest::constantSample(48000 * 10, 48000.0, 0.5f), L"x.wav");
    host.setUnit(palmtone::pSound, 1);
    host.noteOn(0, 60);
    host.runBlocks(10, 512);
    ASSERT_GT(std::fabs(host.left[511]), 0.01f);
    host.noteOff(0, 60);
    // 1.2 s: from full level the 0.08 s release reaches the silence level after 1.105 s.
    host.runBlocks(113, 512);
    for (int n : {60, 64, 67})
        EXPECT_FALSE(p().engine.sampleActive[n]) << n;

    host.setUnit(palmtone::pWholeOneShot, 1);
    host.audioLeft.clear();
    host.audioRight.clear();
    host.runBlocks(20, 512);
    for (size_t i = 0; i < host.audioLeft.size(); ++i) {
        ASSERT_EQ(host.audioLeft[i], 0.0f) << i;
        ASSERT_EQ(host.audioRight[i], 0.0f) << i;
    }
}

// A schedule in absolute frames, played with different block partitions.
struct Scheduled {
    int64_t time;
    int status, data1, data2;
};

std::vector<Scheduled> schedule() {
    std::vector<Scheduled> s = {
        {0, 0x90, 60, 100},   {0, 0x90, 64, 90},     {37, 0x91, 71, 70},   {511, 0x80, 60, 0},
        {512, 0xB0, 64, 127}, {700, 0x90, 62, 110},  {701, 0x80, 62, 0},   {701, 0x90, 67, 60},
        {1500, 0x81, 71, 0},  {2047, 0xB0, 64, 0},   {2048, 0x90, 69, 80}, {2048, 0x90, 69, 90},
        {3000, 0xB0, 123, 0}, {3001, 0x90, 65, 127}, {4095, 0x90, 72, 1},  {5000, 0x80, 65, 0},
        {6500, 0x80, 72, 0},  {7000, 0x92, 48, 99},  {9000, 0x82, 48, 0},
    };
    return s;
}

struct Played {
    std::vector<int64_t> times; // absolute frame of each output event
    std::vector<int> bytes;     // status, data1, data2 of each
    std::vector<float> left, right;
};

Played play(const std::vector<int32_t>& partition, bool wave) {
    TestHost host;
    // A low rate, so that released voices fall silent within the run.
    host.dispatch(10, 0, 0, nullptr, 8000.0f);
    if (wave) {
        host.plugin().bank.publish(coretest::constantSample(3000, 44100.0, 0.4f), L"w.wav");
        host.setUnit(palmtone::pSound, 1);
    }
    const std::vector<Scheduled> events = schedule();
    size_t next = 0;
    int64_t start = 0;
    for (int32_t frames : partition) {
        while (next < events.size() && events[next].time < start + frames) {
            const Scheduled& e = events[next++];
            host.queue(static_cast<int32_t>(e.time - start), e.status, e.data1, e.data2);
        }
        host.run(frames);
        start += frames;
    }
    Played played;
    for (const coretest::OutEvent& e : host.out) {
        played.times.push_back(host.blockStart[e.block] + e.frame);
        played.bytes.insert(played.bytes.end(), {e.status, e.data1, e.data2});
    }
    played.left = std::move(host.audioLeft);
    played.right = std::move(host.audioRight);
    return played;
}

std::vector<std::vector<int32_t>> partitions(int32_t total) {
    std::vector<std::vector<int32_t>> result;
    result.push_back(std::vector<int32_t>(total / 512, 512));
    result.push_back(std::vector<int32_t>(total, 1));
    std::mt19937 random(1234);
    for (int round = 0; round < 2; ++round) {
        std::vector<int32_t> sizes;
        for (int32_t left = total; left > 0;) {
            const int32_t n = std::min(left, static_cast<int32_t>(1 + random() % 900));
            sizes.push_back(n);
            left -= n;
        }
        result.push_back(sizes);
    }
    result.push_back({total});
    return result;
}

class Partitions : public ::testing::TestWithParam<bool> {};

TEST_P(Partitions, BlockSizesDoNotChangeTimesOrSamples) {
    const bool wave = GetParam();
    constexpr int32_t total = 24576; // about three seconds
    velktest::forEachKernel([&] {
        const std::vector<std::vector<int32_t>> all = partitions(total);
        const Played reference = play(all[0], wave);
        ASSERT_EQ(reference.left.size(), static_cast<size_t>(total));
        ASSERT_GT(reference.times.size(), 20u);
        for (size_t k = 1; k < all.size(); ++k) {
            SCOPED_TRACE("partition " + std::to_string(k));
            const Played other = play(all[k], wave);
            EXPECT_EQ(other.times, reference.times);
            EXPECT_EQ(other.bytes, reference.bytes);
            ASSERT_EQ(other.left.size(), reference.left.size());
            // The same bits, also where released voices fall silent.
            EXPECT_EQ(std::memcmp(other.left.data(), reference.left.data(), total * sizeof(float)), 0);
            EXPECT_EQ(std::memcmp(other.right.data(), reference.right.data(), total * sizeof(float)), 0);
        }
    });
}

INSTANTIATE_TEST_SUITE_P(Sounds, Partitions, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "OneShot" : "Synth";
                         });

} // namespace
