// One audio block: the editor's ring, full resets, re-voicing, the take's beats,
// the tempo without a host and the tempo published under each host answer, and
// sound changes. Empty blocks and the order and clamping of a block's events
// (tests/scenarios/block_events_scenario.cpp), the host's tempo answers and
// block partitions (tests/scenarios/block_scenario.cpp) run at both levels.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "tests/plugin/native_level.hpp"
#include "tests/scenarios/block_scenario.hpp"
#include "tests/support/test_host.hpp"

namespace {

using velktest::Midi;
using velktest::off;
using velktest::on;
using velktest::TestHost;
using Out = std::vector<Midi>;

class Block : public velktest::TriadTest {
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
    const auto take = velktest::takeEntries(p());
    ASSERT_EQ(take.size(), 12u);
    for (size_t i = 6; i < 12; ++i) {
        EXPECT_FALSE(take[i].on);
        EXPECT_NEAR(take[i].beats, 512 * velktest::beatsPerSample(120, 48000), 1e-12);
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

// No host callback at all: nothing a host could drive (the tempo answers run at
// both levels, tests/scenarios/block_scenario.cpp).
TEST(TempoWithoutHost, UsesTheParameter) {
    auto plugin = std::make_unique<palmtone::Plugin>(nullptr);
    plugin->set(palmtone::pBpm, velktest::exactNormalised(palmtone::pBpm, 75));
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
    const double slow = velktest::beatsPerSample(90, 48000), fast = velktest::beatsPerSample(180, 48000);
    const auto take = velktest::takeEntries(p());
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
    const double pause = 512 * velktest::beatsPerSample(120, 48000);
    using velktest::TakeEntry;
    EXPECT_EQ(velktest::takeEntries(p()), (std::vector<TakeEntry>{{0, 60, 0, 90, true},
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
    void publish(float value) { p().bank.publish(velktest::constantSample(48000, 48000.0, value), L"x.wav"); }
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
    p().bank.publish(velktest::constantSample(48000 * 10, 48000.0, 0.5f), L"x.wav");
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

} // namespace

namespace velktest {
namespace {

// The tempo the instance publishes, and whether it came from the host, after
// the first block and at the end of the chord under each host answer: the
// instance's own fields, set at the start to the other source so that the
// first block shows it took its choice.
using TempoInstance = OnInstance<Tempo>;

TEST_P(TempoInstance, HostTempoOrTheParameter) {
    const TempoCase& c = GetParam();
    level().answerTime(c.answer, c.flags, c.hostTempo);
    p().tempoFromHost.store(!c.fromHost);
    playFirstBlock();
    EXPECT_EQ(p().tempo.load(), c.expected) << c.what;
    EXPECT_EQ(p().tempoFromHost.load(), c.fromHost) << c.what;
    playTheRest();
    EXPECT_EQ(p().tempo.load(), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Answers, TempoInstance, ::testing::ValuesIn(tempoAnswers));

} // namespace
} // namespace velktest
