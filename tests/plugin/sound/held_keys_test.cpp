// What the engine and the take hold while keys are held, on the native level's
// instance: the held-keys scenario (tests/scenarios/held_keys_scenario.cpp) runs
// at both levels with what the host's MIDI shows, and these are its checks of
// the instance's own fields (sounding notes and their display mirror, reference
// counts, velocities, ages, envelopes, the held keys and pedals, the take), which
// no host sees. Also the cases a host cannot make: a ring velocity above 127 and
// display fields written by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "plugin/host/state_chunk.hpp"
#include "tests/plugin/native_level.hpp"
#include "tests/scenarios/held_keys_scenario.hpp"
#include "tests/support/wave_image.hpp"

namespace velktest {
namespace {

using Notes = std::vector<int>;
using Values = std::vector<int32_t>;

// One per-note field of the engine at the notes given.
Values of(const int32_t (&field)[palmtone::Engine::voices], std::initializer_list<int> notes) {
    Values values;
    for (int n : notes)
        values.push_back(field[n]);
    return values;
}

class HeldKeysInstance : public OnInstance<HeldKeys> {
  protected:
    // The notes the engine sounds, checked against its display mirror.
    std::vector<int> sounding() {
        std::vector<int> notes;
        for (int n = 0; n < 128; ++n) {
            if (engine().gate[n]) notes.push_back(n);
            EXPECT_EQ(engine().soundingNotes[n].load(), engine().gate[n]) << n;
        }
        EXPECT_EQ(engine().soundingCount.load(), static_cast<int>(notes.size()));
        return notes;
    }
    palmtone::Engine& engine() { return p().engine; }
    // The next block starts a take at frame 0, without a count-in.
    void startTake() { p().capture.state.store(tamso::StartRequested); }
};

TEST_F(HeldKeysInstance, SharedNotesSoundOnceUntilBothKeysAreUp) {
    startTake();
    noteOn(10, 60, 90);
    block();
    noteOn(20, 64, 50);
    block();
    EXPECT_EQ(sounding(), (Notes{60, 64, 67, 71}));
    EXPECT_EQ(of(engine().noteRefCount, {64, 67}), (Values{2, 2}));
    // The second key gave the shared notes its velocity but did not restart them.
    EXPECT_EQ(of(engine().velocity, {60, 64, 67}), (Values{90, 50, 50}));
    EXPECT_EQ(engine().age[64], engine().age[60]);
    EXPECT_LT(engine().age[71], engine().age[60]);

    noteOff(5, 60);
    block();
    EXPECT_EQ(sounding(), (Notes{64, 67, 71}));
    noteOff(7, 64);
    block();
    EXPECT_EQ(sounding(), Notes{});

    // The take saw each note start and stop once.
    const double b = beatsPerSample(120, 48000);
    EXPECT_EQ(takeEntries(p()), (std::vector<TakeEntry>{{10 * b, 60, 0, 90, true},
                                                        {10 * b, 64, 0, 90, true},
                                                        {10 * b, 67, 0, 90, true},
                                                        {276 * b, 71, 0, 50, true},
                                                        {517 * b, 60, 0, 0, false},
                                                        {775 * b, 64, 0, 0, false},
                                                        {775 * b, 67, 0, 0, false},
                                                        {775 * b, 71, 0, 0, false}}));
}

TEST_F(HeldKeysInstance, SustainKeepsReleasedKeysUntilThePedalLifts) {
    controller(0, 64, 127);
    noteOn(10, 60);
    noteOff(20, 60);
    noteOn(30, 62);
    block();
    const palmtone::HeldKey& c = engine().heldKeys[0][60];
    EXPECT_FALSE(c.down);
    EXPECT_TRUE(c.active);
    EXPECT_TRUE(engine().sustain[0]);

    noteOff(5, 60);
    block();
    controller(40, 64, 63);
    block();
    EXPECT_FALSE(engine().sustain[0]);
    EXPECT_EQ(sounding(), (Notes{62, 65, 69}));
}

TEST_F(HeldKeysInstance, PedalOnAnotherChannelHoldsNothingHere) {
    for (int channel : {2, 4}) {
        SCOPED_TRACE(channel);
        pedalOnAndKeyReleased(channel);
        block();
        EXPECT_TRUE(engine().sustain[channel - 1]);
        EXPECT_FALSE(engine().sustain[0]);
    }
}

// Each number on a fresh instance: the scenario's later steps leave nothing held.
TEST_F(HeldKeysInstance, AllNotesOffReleasesKeysStillDown) {
    for (int number : {120, 123}) {
        SCOPED_TRACE(number);
        fresh();
        holdKeysOnTwoRows();
        controller(15, number, 0);
        block();
        EXPECT_FALSE(engine().sustain[0]);
        EXPECT_EQ(sounding(), (Notes{71, 74, 77}));
        EXPECT_FALSE(engine().heldKeys[0][60].down);
        EXPECT_FALSE(engine().heldKeys[0][60].active);
    }
}

TEST_F(HeldKeysInstance, NoteOnWithVelocityZeroIsANoteOff) {
    for (int key : {60, 62}) {
        SCOPED_TRACE(key);
        noteOn(10, key, key == 60 ? 100 : 1);
        queue(20, 0x90, key, 0);
        block();
        EXPECT_FALSE(engine().heldKeys[0][key].down);
    }
}

TEST_F(HeldKeysInstance, RepeatedNoteOnRestartsOnlyTheUnsharedNotes) {
    noteOn(0, 60, 90);
    noteOn(0, 64, 80);
    block();
    noteOn(30, 60, 70);
    block();
    EXPECT_EQ(of(engine().velocity, {60, 64, 71}), (Values{70, 70, 80}));
    EXPECT_EQ(engine().noteRefCount[64], 2);
    // 60 restarted at frame 30; the shared notes ran on.
    EXPECT_EQ(engine().age[64], engine().age[71]);
    EXPECT_LT(engine().age[60], engine().age[64]);
    EXPECT_EQ(engine().heldKeys[0][60].velocity, 70);

    // The same for a key held only by the pedal.
    controller(0, 64, 127);
    noteOff(1, 64);
    noteOn(40, 64, 60);
    block();
    EXPECT_TRUE(engine().heldKeys[0][64].down);
}

// A state chunk with triads, the sound switch as given, and a one-shot of one
// second at 48000 Hz whose every sample is one half.
std::vector<uint8_t> halfLevelOneShot(bool wave) {
    palmtone::ParamValues values{};
    for (int i = 0; i < palmtone::paramCount; ++i)
        values[i] = palmtone::normalisedDefault(i);
    values[palmtone::pChords] = 0.0;
    values[palmtone::pSound] = wave ? 1.0 : 0.0;
    Bytes data;
    for (int i = 0; i < 48000; ++i)
        put16(data, 0x4000);
    palmtone::LibrarySnapshot library;
    library.name = L"a";
    library.file = riff({{"fmt ", fmtData(1, 1, 48000, 16)}, {"data", data}});
    library.folder = L"C:\\Muestras";
    library.files = {L"C:\\Muestras\\a.wav"};
    library.selection = library.files[0];
    std::vector<uint8_t> chunk;
    palmtone::writeStateChunk(chunk, values, library);
    return chunk;
}

// The voice's envelope, age and read position right after its restart.
TEST_F(HeldKeysInstance, ANoteStartRestartsItsVoice) {
    for (bool wave : {false, true}) {
        SCOPED_TRACE(wave ? "one-shot" : "synth");
        fresh();
        std::vector<uint8_t> chunk = halfLevelOneShot(wave);
        ASSERT_EQ(dispatch(vst2::op::setStateChunk, 0, static_cast<intptr_t>(chunk.size()), chunk.data()), 1);
        noteOn(0, 60);
        level().run(512);
        noteOff(0, 60);
        level().run(64);
        const palmtone::Engine& e = engine();
        const double released = e.envelope[60];
        ASSERT_GT(released, 0.5);
        noteOn(0, 60);
        level().run(1);
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

// Data bytes from the host are masked and the editor sends 100: only a push
// into the ring by hand carries a velocity above 127.
TEST_F(HeldKeysInstance, NoteOnVelocitiesAbove127AreClamped) {
    p().pushUiEvent(0x9F, 60, 300);
    EXPECT_EQ(block(), ons(0, {60, 64, 67}, 127));
    EXPECT_EQ(engine().heldKeys[15][60].velocity, 127);
}

// The display mirror written by hand, which nothing outside the instance can do.
TEST_F(HeldKeysInstance, NoteOffForAFreeKeyOnlyRewritesTheDisplay) {
    noteOn(0, 60);
    block();
    engine().soundingNotes[100].store(true);
    engine().soundingCount.store(99);
    noteOff(5, 100);
    EXPECT_EQ(block(), Out{});
    EXPECT_EQ(sounding(), (Notes{60, 64, 67}));
}

TEST_F(HeldKeysInstance, IgnoredEventsChangeNothing) {
    noteOn(0, 60);
    block();
    engine().soundingNotes[100].store(true); // not rewritten: no evaluation runs
    queueIgnoredKinds();
    block();
    EXPECT_TRUE(engine().soundingNotes[100].load());
    EXPECT_TRUE(engine().heldKeys[0][60].active);
}

TEST_F(HeldKeysInstance, HostChannelsShareTheEditorsRows) {
    level().key('S', true);
    block();
    noteOff(3, 62, 16);
    block();
    EXPECT_FALSE(engine().heldKeys[15][62].active);
}

// The take, the voices, the output mirror, the intake, the ring, the count-in
// and the reset flag after a suspend.
TEST_F(HeldKeysInstance, SuspendReleasesEverythingIntoTheTake) {
    startTake();
    holdChordsForASuspend();
    ASSERT_EQ(p().capture.state.load(), tamso::Recording);

    // Pending work that the suspend drops.
    noteOn(0, 62);
    deliver();
    p().pushUiEvent(0x9F, 65, 100);
    p().countIn.requestStart();
    p().resetRequest.store(true); // left for the next block

    EXPECT_EQ(dispatch(vst2::op::mainsChanged, 0, 0), 1);
    const double b = beatsPerSample(120, 48000);
    const std::vector<TakeEntry> take = takeEntries(p());
    ASSERT_EQ(take.size(), 12u);
    for (int i = 6; i < 12; ++i) {
        EXPECT_FALSE(take[i].on);
        EXPECT_NEAR(take[i].beats, 512 * b, 1e-9);
    }
    EXPECT_EQ(p().capture.state.load(), tamso::Finished);
    EXPECT_FALSE(p().capture.recording);

    EXPECT_EQ(sounding(), Notes{});
    EXPECT_FALSE(engine().sustain[1]);
    EXPECT_FALSE(engine().heldKeys[1][71].active);
    EXPECT_EQ(engine().lastChordRoot.load(), -1);
    for (int n = 0; n < 128; ++n) {
        EXPECT_FALSE(engine().sampleActive[n]);
        EXPECT_EQ(engine().noteRefCount[n], 0);
        EXPECT_FALSE(p().outOn[n]);
    }
    EXPECT_EQ(p().blockEventCount, 0);
    EXPECT_TRUE(p().uiEvents.empty());
    EXPECT_EQ(p().countIn.request.load(), palmtone::CountIn::Command::none);
    EXPECT_FALSE(p().countIn.active.load());
    EXPECT_EQ(p().countIn.secondsLeft.load(), 0);
    EXPECT_TRUE(p().resetRequest.load());

    // The voices keep their release, and no count-in starts later.
    EXPECT_EQ(block(), Out{});
    EXPECT_GT(engine().envelope[60], 0.0);
    EXPECT_FALSE(p().countIn.active.load());
}

} // namespace
} // namespace velktest
