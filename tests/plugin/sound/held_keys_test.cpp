// Held keys through whole blocks: shared notes, the sustain pedal, all-notes-off,
// repeated note-ons, the editor's rows, and the host's suspend.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/support/test_host.hpp"

namespace {

using coretest::Entry;
using coretest::Midi;
using coretest::off;
using coretest::on;
using coretest::TestHost;

// C major triads: C = 60 64 67, D = 62 65 69, E = 64 67 71, B = 71 74 77.
class HeldKeys : public ::testing::Test {
  protected:
    HeldKeys() { host.setUnit(palmtone::pChords, 0); }

    std::vector<int> sounding() {
        std::vector<int> notes;
        for (int n = 0; n < 128; ++n) {
            if (engine().gate[n]) notes.push_back(n);
            EXPECT_EQ(engine().soundingNotes[n].load(), engine().gate[n]) << n;
        }
        EXPECT_EQ(engine().soundingCount.load(), static_cast<int>(notes.size()));
        return notes;
    }
    palmtone::Engine& engine() { return host.plugin().engine; }
    // The next block starts a take at frame 0.
    void startTake() { host.plugin().capture.state.store(tamso::StartRequested); }
    std::vector<Midi> block(int32_t frames = 256) {
        host.run(frames);
        return host.outputOf(host.blocks - 1);
    }

    TestHost host;
};

using Notes = std::vector<int>;
using Out = std::vector<Midi>;

TEST_F(HeldKeys, SharedNotesSoundOnceUntilBothKeysAreUp) {
    startTake();
    host.noteOn(10, 60, 90);
    EXPECT_EQ(block(), (Out{on(10, 60, 90), on(10, 64, 90), on(10, 67, 90)}));

    host.noteOn(20, 64, 50);
    EXPECT_EQ(block(), (Out{on(20, 71, 50)}));
    EXPECT_EQ(sounding(), (Notes{60, 64, 67, 71}));
    EXPECT_EQ(engine().noteRefCount[64], 2);
    EXPECT_EQ(engine().noteRefCount[67], 2);
    // The second key gave the shared notes its velocity but did not restart them.
    EXPECT_EQ(engine().velocity[60], 90);
    EXPECT_EQ(engine().velocity[64], 50);
    EXPECT_EQ(engine().velocity[67], 50);
    EXPECT_EQ(engine().age[64], engine().age[60]);
    EXPECT_LT(engine().age[71], engine().age[60]);

    host.noteOff(5, 60);
    EXPECT_EQ(block(), (Out{off(5, 60)}));
    EXPECT_EQ(sounding(), (Notes{64, 67, 71}));

    host.noteOff(7, 64);
    EXPECT_EQ(block(), (Out{off(7, 64), off(7, 67), off(7, 71)}));
    EXPECT_EQ(sounding(), Notes{});

    // The take saw each note start and stop once.
    const double b = coretest::beatsPerSample(120, 48000);
    EXPECT_EQ(coretest::takeEntries(host.plugin()), (std::vector<Entry>{{10 * b, 60, 0, 90, true},
                                                                        {10 * b, 64, 0, 90, true},
                                                                        {10 * b, 67, 0, 90, true},
                                                                        {276 * b, 71, 0, 50, true},
                                                                        {517 * b, 60, 0, 0, false},
                                                                        {775 * b, 64, 0, 0, false},
                                                                        {775 * b, 67, 0, 0, false},
                                                                        {775 * b, 71, 0, 0, false}}));
}

TEST_F(HeldKeys, SustainKeepsReleasedKeysUntilThePedalLifts) {
    host.controller(0, 64, 127);
    host.noteOn(10, 60);
    host.noteOff(20, 60);
    host.noteOn(30, 62);
    EXPECT_EQ(block(), (Out{on(10, 60, 100), on(10, 64, 100), on(10, 67, 100), on(30, 62, 100),
                            on(30, 65, 100), on(30, 69, 100)}));
    const palmtone::HeldKey& c = engine().heldKeys[0][60];
    EXPECT_FALSE(c.down);
    EXPECT_TRUE(c.active);
    EXPECT_TRUE(engine().sustain[0]);

    // A second note-off of the sustained key changes nothing.
    host.noteOff(5, 60);
    EXPECT_EQ(block(), Out{});

    host.controller(40, 64, 63);
    EXPECT_EQ(block(), (Out{off(40, 60), off(40, 64), off(40, 67)}));
    EXPECT_FALSE(engine().sustain[0]);
    EXPECT_EQ(sounding(), (Notes{62, 65, 69}));

    host.noteOff(50, 62);
    EXPECT_EQ(block(), (Out{off(50, 62), off(50, 65), off(50, 69)}));
}

TEST_F(HeldKeys, PedalOnAnotherChannelHoldsNothingHere) {
    host.controller(0, 64, 127, 2);
    host.noteOn(10, 60);
    host.noteOff(20, 60);
    EXPECT_EQ(block(), (Out{on(10, 60, 100), on(10, 64, 100), on(10, 67, 100), off(20, 60), off(20, 64),
                            off(20, 67)}));
    EXPECT_TRUE(engine().sustain[1]);
    EXPECT_FALSE(engine().sustain[0]);
}

TEST_F(HeldKeys, AllNotesOffReleasesKeysStillDown) {
    for (int number : {120, 123}) {
        SCOPED_TRACE(number);
        host.clearOutput();
        host.controller(0, 64, 127);
        host.noteOn(1, 60);
        host.noteOn(2, 62);
        host.noteOn(3, 71, 100, 2); // another row stays
        block();
        host.controller(15, number, 0);
        EXPECT_EQ(block(),
                  (Out{off(15, 60), off(15, 62), off(15, 64), off(15, 65), off(15, 67), off(15, 69)}));
        EXPECT_FALSE(engine().sustain[0]);
        EXPECT_EQ(sounding(), (Notes{71, 74, 77}));
        EXPECT_FALSE(engine().heldKeys[0][60].down);
        EXPECT_FALSE(engine().heldKeys[0][60].active);

        // Their later note-offs change nothing.
        host.noteOff(5, 60);
        host.noteOff(6, 62);
        EXPECT_EQ(block(), Out{});
        host.noteOff(0, 71, 2);
        block();
    }
}

TEST_F(HeldKeys, NoteOnWithVelocityZeroIsANoteOff) {
    host.noteOn(10, 60);
    host.queue(20, 0x90, 60, 0);
    EXPECT_EQ(block(), (Out{on(10, 60, 100), on(10, 64, 100), on(10, 67, 100), off(20, 60), off(20, 64),
                            off(20, 67)}));
    EXPECT_FALSE(engine().heldKeys[0][60].down);
}

TEST_F(HeldKeys, RepeatedNoteOnRestartsOnlyTheUnsharedNotes) {
    host.noteOn(0, 60, 90);
    host.noteOn(0, 64, 80);
    block();
    host.noteOn(30, 60, 70);
    EXPECT_EQ(block(), (Out{off(30, 60), on(30, 60, 70)}));
    EXPECT_EQ(engine().velocity[60], 70);
    EXPECT_EQ(engine().velocity[64], 70);
    EXPECT_EQ(engine().velocity[71], 80);
    EXPECT_EQ(engine().noteRefCount[64], 2);
    // 60 restarted at frame 30; the shared notes ran on.
    EXPECT_EQ(engine().age[64], engine().age[71]);
    EXPECT_LT(engine().age[60], engine().age[64]);
    EXPECT_EQ(engine().heldKeys[0][60].velocity, 70);

    // The same for a key held only by the pedal.
    host.controller(0, 64, 127);
    host.noteOff(1, 64);
    host.noteOn(40, 64, 60);
    EXPECT_EQ(block(), (Out{off(40, 71), on(40, 71, 60)}));
    EXPECT_TRUE(engine().heldKeys[0][64].down);
}

TEST_F(HeldKeys, ANoteStartRestartsItsVoice) {
    for (bool wave : {false, true}) {
        SCOPED_TRACE(wave ? "one-shot" : "synth");
        TestHost host;
        host.setUnit(palmtone::pChords, 0);
        host.setUnit(palmtone::pSound, wave ? 1 : 0);
        host.plugin().bank.publish(coretest::constantSample(48000, 48000.0, 0.5f), L"a.wav");
        host.noteOn(0, 60);
        host.run(512);
        host.noteOff(0, 60);
        host.run(64);
        const palmtone::Engine& e = host.plugin().engine;
        const double released = e.envelope[60];
        ASSERT_GT(released, 0.5);
        host.noteOn(0, 60);
        host.run(1);
        EXPECT_TRUE(e.sampleActive[60]);
        EXPECT_NEAR(e.age[60], 1 / 48000.0, 1e-15);
        if (wave) {
            // A one-shot starts from silence at its first frame.
            EXPECT_NEAR(e.envelope[60], 1.0 - std::exp(-1.0 / 96.0), 1e-12);
            EXPECT_NEAR(e.position[60], 1.0, 1e-9);
        } else {
            // The synth's envelope runs on from its release level: no click.
            EXPECT_GT(e.envelope[60], released);
        }
    }
}

TEST_F(HeldKeys, NoteOnVelocitiesAbove127AreClamped) {
    // Data bytes from the host are masked; the editor ring may carry any velocity.
    host.plugin().pushUiEvent(0x9F, 60, 300);
    EXPECT_EQ(block(), (Out{on(0, 60, 127), on(0, 64, 127), on(0, 67, 127)}));
    EXPECT_EQ(engine().heldKeys[15][60].velocity, 127);
}

TEST_F(HeldKeys, NoteOffForAFreeKeyOnlyRewritesTheDisplay) {
    host.noteOn(0, 60);
    block();
    engine().soundingNotes[100].store(true);
    engine().soundingCount.store(99);
    host.noteOff(5, 100);
    EXPECT_EQ(block(), Out{});
    EXPECT_EQ(sounding(), (Notes{60, 64, 67}));
}

TEST_F(HeldKeys, IgnoredEventsChangeNothing) {
    host.noteOn(0, 60);
    block();
    engine().soundingNotes[100].store(true); // not rewritten: no evaluation runs
    host.queue(5, 0xA0, 60, 10);             // polyphonic pressure
    host.queue(6, 0xB0, 7, 100);             // volume controller
    host.queue(7, 0xC0, 3, 0);               // program change
    host.queue(8, 0xE0, 0, 64);              // pitch bend
    host.queue(9, 0xF8, 0, 0);               // clock
    host.queue(10, 0xD0, 60, 0);             // channel pressure
    EXPECT_EQ(block(), Out{});
    EXPECT_TRUE(engine().soundingNotes[100].load());
    EXPECT_TRUE(engine().heldKeys[0][60].active);
}

TEST_F(HeldKeys, HostChannelsShareTheEditorsRows) {
    host.plugin().pushUiEvent(0x9F, 62, 100); // computer key S
    EXPECT_EQ(block(), (Out{on(0, 62, 100), on(0, 65, 100), on(0, 69, 100)}));
    host.noteOff(3, 62, 16);
    EXPECT_EQ(block(), (Out{off(3, 62), off(3, 65), off(3, 69)}));
    EXPECT_FALSE(engine().heldKeys[15][62].active);

    host.plugin().pushUiEvent(0x9E, 60, 100); // the first pad
    EXPECT_EQ(block(), (Out{on(0, 60, 100), on(0, 64, 100), on(0, 67, 100)}));
    host.noteOff(4, 60, 15);
    EXPECT_EQ(block(), (Out{off(4, 60), off(4, 64), off(4, 67)}));

    // The editor's note-off after the host released the key changes nothing.
    host.plugin().pushUiEvent(0x8F, 62, 0);
    EXPECT_EQ(block(), Out{});
}

TEST_F(HeldKeys, SuspendReleasesEverythingIntoTheTakeAndTheHost) {
    startTake();
    host.noteOn(10, 60, 90);
    host.controller(0, 64, 127, 2);
    host.noteOn(20, 71, 80, 2);
    host.noteOff(30, 71, 2); // sustained
    block();
    block();
    ASSERT_EQ(host.plugin().capture.state.load(), tamso::Recording);

    // Pending work that the suspend drops.
    host.noteOn(0, 62);
    host.deliver();
    host.plugin().pushUiEvent(0x9F, 65, 100);
    host.plugin().countIn.requestStart();
    host.plugin().resetRequest.store(true); // left for the next block

    host.clearOutput();
    EXPECT_EQ(host.dispatch(12, 0, 0), 1);
    EXPECT_EQ(host.output(), (Out{off(0, 60), off(0, 64), off(0, 67), off(0, 71), off(0, 74), off(0, 77)}));
    EXPECT_EQ(host.outputOf(-1).size(), 6u); // sent within the suspend call

    const double b = coretest::beatsPerSample(120, 48000);
    const std::vector<Entry> take = coretest::takeEntries(host.plugin());
    ASSERT_EQ(take.size(), 12u);
    for (int i = 6; i < 12; ++i) {
        EXPECT_FALSE(take[i].on);
        EXPECT_NEAR(take[i].beats, 512 * b, 1e-9);
    }
    EXPECT_EQ(host.plugin().capture.state.load(), tamso::Finished);
    EXPECT_FALSE(host.plugin().capture.recording);

    palmtone::Plugin& p = host.plugin();
    EXPECT_EQ(sounding(), Notes{});
    EXPECT_FALSE(p.engine.sustain[1]);
    EXPECT_FALSE(p.engine.heldKeys[1][71].active);
    EXPECT_EQ(p.engine.lastChordRoot.load(), -1);
    for (int n = 0; n < 128; ++n) {
        EXPECT_FALSE(p.engine.sampleActive[n]);
        EXPECT_EQ(p.engine.noteRefCount[n], 0);
        EXPECT_FALSE(p.outOn[n]);
    }
    EXPECT_EQ(p.blockEventCount, 0);
    EXPECT_TRUE(p.uiEvents.empty());
    EXPECT_EQ(p.countIn.request.load(), 0);
    EXPECT_FALSE(p.countIn.active.load());
    EXPECT_EQ(p.countIn.secondsLeft.load(), 0);
    EXPECT_TRUE(p.resetRequest.load());

    // Nothing of the dropped work arrives later, and the voices keep their release.
    host.clearOutput();
    EXPECT_EQ(block(), Out{});
    EXPECT_GT(p.engine.envelope[60], 0.0);
    EXPECT_FALSE(p.countIn.active.load());
}

TEST_F(HeldKeys, StopProcessingSuspendsToo) {
    host.noteOn(0, 60);
    block();
    host.clearOutput();
    EXPECT_EQ(host.dispatch(72), 1);
    EXPECT_EQ(host.outputOf(-1), (Out{off(0, 60), off(0, 64), off(0, 67)}));
    // A second suspend has nothing to send.
    host.clearOutput();
    host.dispatch(12, 0, 0);
    EXPECT_TRUE(host.output().empty());
}

} // namespace
