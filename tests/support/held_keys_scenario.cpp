// Held keys through whole blocks, at both levels (scenario_level.hpp): shared
// notes, the sustain pedal, all-notes-off, repeated note-ons, a voice's
// restart, the editor's rows, and the host's suspend and stop; and the events
// of one block: their order, their clamping into it, and blocks without frames.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "plugin/host/state_chunk.hpp"
#include "tests/support/scenario_level.hpp"
#include "tests/support/wave_image.hpp"

namespace velktest {
namespace {

using coretest::Entry;
using coretest::off;
using coretest::on;
using Notes = std::vector<int>;
using Values = std::vector<int32_t>;

// One per-note field of the engine at the notes given.
Values of(const int32_t (&field)[palmtone::Engine::voices], std::initializer_list<int> notes) {
    Values values;
    for (int n : notes)
        values.push_back(field[n]);
    return values;
}

// C major triads: C = 60 64 67, D = 62 65 69, E = 64 67 71, B = 71 74 77.
class HeldKeys : public LevelTest {
  protected:
    void prepare() override { setUnit(palmtone::pChords, 0); }

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
    // The next block starts a take at frame 0.
    void startTake() { p().capture.state.store(tamso::StartRequested); }
    Out block(int32_t frames = 256) { return LevelTest::block(frames); }
};

TEST_F(HeldKeys, SharedNotesSoundOnceUntilBothKeysAreUp) {
    startTake();
    noteOn(10, 60, 90);
    EXPECT_EQ(block(), ons(10, {60, 64, 67}, 90));

    noteOn(20, 64, 50);
    EXPECT_EQ(block(), ons(20, {71}, 50));
    EXPECT_EQ(sounding(), (Notes{60, 64, 67, 71}));
    EXPECT_EQ(of(engine().noteRefCount, {64, 67}), (Values{2, 2}));
    // The second key gave the shared notes its velocity but did not restart them.
    EXPECT_EQ(of(engine().velocity, {60, 64, 67}), (Values{90, 50, 50}));
    EXPECT_EQ(engine().age[64], engine().age[60]);
    EXPECT_LT(engine().age[71], engine().age[60]);

    noteOff(5, 60);
    EXPECT_EQ(block(), offs(5, {60}));
    EXPECT_EQ(sounding(), (Notes{64, 67, 71}));

    noteOff(7, 64);
    EXPECT_EQ(block(), offs(7, {64, 67, 71}));
    EXPECT_EQ(sounding(), Notes{});

    // The take saw each note start and stop once.
    const double b = coretest::beatsPerSample(120, 48000);
    EXPECT_EQ(coretest::takeEntries(p()), (std::vector<Entry>{{10 * b, 60, 0, 90, true},
                                                              {10 * b, 64, 0, 90, true},
                                                              {10 * b, 67, 0, 90, true},
                                                              {276 * b, 71, 0, 50, true},
                                                              {517 * b, 60, 0, 0, false},
                                                              {775 * b, 64, 0, 0, false},
                                                              {775 * b, 67, 0, 0, false},
                                                              {775 * b, 71, 0, 0, false}}));

    // The same within one block, the second key louder.
    fresh();
    noteOn(10, 60, 50);
    noteOn(20, 64, 100);
    noteOff(30, 60);
    noteOff(40, 64);
    EXPECT_EQ(block(),
              ons(10, {60, 64, 67}, 50) + ons(20, {71}, 100) + offs(30, {60}) + offs(40, {64, 67, 71}));
}

TEST_F(HeldKeys, SustainKeepsReleasedKeysUntilThePedalLifts) {
    controller(0, 64, 127);
    noteOn(10, 60);
    noteOff(20, 60);
    noteOn(30, 62);
    EXPECT_EQ(block(), ons(10, {60, 64, 67}, 100) + ons(30, {62, 65, 69}, 100));
    const palmtone::HeldKey& c = engine().heldKeys[0][60];
    EXPECT_FALSE(c.down);
    EXPECT_TRUE(c.active);
    EXPECT_TRUE(engine().sustain[0]);

    // A second note-off of the sustained key changes nothing.
    noteOff(5, 60);
    EXPECT_EQ(block(), Out{});

    controller(40, 64, 63);
    EXPECT_EQ(block(), offs(40, {60, 64, 67}));
    EXPECT_FALSE(engine().sustain[0]);
    EXPECT_EQ(sounding(), (Notes{62, 65, 69}));

    noteOff(50, 62);
    EXPECT_EQ(block(), offs(50, {62, 65, 69}));

    // The same within one block, with both keys down before the first is released.
    fresh();
    controller(0, 64, 127);
    noteOn(10, 60, 90);
    noteOn(20, 62, 90);
    noteOff(30, 60);
    controller(40, 64, 63);
    noteOff(50, 62);
    EXPECT_EQ(block(), ons(10, {60, 64, 67}, 90) + ons(20, {62, 65, 69}, 90) + offs(40, {60, 64, 67}) +
                           offs(50, {62, 65, 69}));
}

TEST_F(HeldKeys, PedalOnAnotherChannelHoldsNothingHere) {
    for (int channel : {2, 4}) {
        SCOPED_TRACE(channel);
        controller(0, 64, 127, channel);
        noteOn(10, 60);
        noteOff(20, 60);
        EXPECT_EQ(block(), ons(10, {60, 64, 67}, 100) + offs(20, {60, 64, 67}));
        EXPECT_TRUE(engine().sustain[channel - 1]);
        EXPECT_FALSE(engine().sustain[0]);
    }
}

TEST_F(HeldKeys, AllNotesOffReleasesKeysStillDown) {
    for (int number : {120, 123}) {
        SCOPED_TRACE(number);
        controller(0, 64, 127);
        noteOn(1, 60);
        noteOn(2, 62);
        noteOn(3, 71, 100, 2); // another row stays
        block();
        controller(15, number, 0);
        EXPECT_EQ(block(), offs(15, {60, 62, 64, 65, 67, 69}));
        EXPECT_FALSE(engine().sustain[0]);
        EXPECT_EQ(sounding(), (Notes{71, 74, 77}));
        EXPECT_FALSE(engine().heldKeys[0][60].down);
        EXPECT_FALSE(engine().heldKeys[0][60].active);

        // Their later note-offs change nothing.
        noteOff(5, 60);
        noteOff(6, 62);
        EXPECT_EQ(block(), Out{});
        noteOff(0, 71, 2);
        block();

        // The same within one block, with the key's note-off and the pedal's
        // lift after it: only channel 1's key is released, channel 2's stays.
        controller(0, 64, 127);
        noteOn(10, 60, 90);
        noteOn(20, 62, 90, 2);
        controller(30, number, 0);
        noteOff(40, 60);
        controller(50, 64, 0);
        EXPECT_EQ(block(), ons(10, {60, 64, 67}, 90) + ons(20, {62, 65, 69}, 90) + offs(30, {60, 64, 67}));
        noteOff(0, 62, 2);
        EXPECT_EQ(block(), offs(0, {62, 65, 69}));
    }
}

TEST_F(HeldKeys, NoteOnWithVelocityZeroIsANoteOff) {
    struct {
        int key;
        int velocity;
        Out expected;
    } const cases[] = {{60, 100, ons(10, {60, 64, 67}, 100) + offs(20, {60, 64, 67})},
                       {62, 1, ons(10, {62, 65, 69}, 1) + offs(20, {62, 65, 69})}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        noteOn(10, c.key, c.velocity);
        queue(20, 0x90, c.key, 0);
        EXPECT_EQ(block(), c.expected);
        EXPECT_FALSE(engine().heldKeys[0][c.key].down);
    }
}

TEST_F(HeldKeys, RepeatedNoteOnRestartsOnlyTheUnsharedNotes) {
    noteOn(0, 60, 90);
    noteOn(0, 64, 80);
    block();
    noteOn(30, 60, 70);
    EXPECT_EQ(block(), offs(30, {60}) + ons(30, {60}, 70));
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
    EXPECT_EQ(block(), offs(40, {71}) + ons(40, {71}, 60));
    EXPECT_TRUE(engine().heldKeys[0][64].down);

    // The same within one block, the repeated key's notes shared with none.
    fresh();
    noteOn(10, 64, 40);
    noteOn(20, 60, 50);
    noteOn(30, 60, 60);
    EXPECT_EQ(block(), ons(10, {64, 67, 71}, 40) + ons(20, {60}, 50) + offs(30, {60}) + ons(30, {60}, 60));
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

TEST_F(HeldKeys, ANoteStartRestartsItsVoice) {
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

TEST_F(HeldKeys, NoteOnVelocitiesAbove127AreClamped) {
    // Data bytes from the host are masked; the editor ring may carry any velocity.
    p().pushUiEvent(0x9F, 60, 300);
    EXPECT_EQ(block(), ons(0, {60, 64, 67}, 127));
    EXPECT_EQ(engine().heldKeys[15][60].velocity, 127);
}

TEST_F(HeldKeys, NoteOffForAFreeKeyOnlyRewritesTheDisplay) {
    noteOn(0, 60);
    block();
    engine().soundingNotes[100].store(true);
    engine().soundingCount.store(99);
    noteOff(5, 100);
    EXPECT_EQ(block(), Out{});
    EXPECT_EQ(sounding(), (Notes{60, 64, 67}));
}

TEST_F(HeldKeys, IgnoredEventsChangeNothing) {
    noteOn(0, 60);
    block();
    engine().soundingNotes[100].store(true); // not rewritten: no evaluation runs
    queue(5, 0xA0, 60, 10);                  // polyphonic pressure
    queue(6, 0xB0, 7, 100);                  // volume controller
    queue(7, 0xC0, 3, 0);                    // program change
    queue(8, 0xE0, 0, 64);                   // pitch bend
    queue(9, 0xF8, 0, 0);                    // clock
    queue(10, 0xD0, 60, 0);                  // channel pressure
    EXPECT_EQ(block(), Out{});
    EXPECT_TRUE(engine().soundingNotes[100].load());
    EXPECT_TRUE(engine().heldKeys[0][60].active);
}

TEST_F(HeldKeys, HostChannelsShareTheEditorsRows) {
    p().pushUiEvent(0x9F, 62, 100); // computer key S
    EXPECT_EQ(block(), ons(0, {62, 65, 69}, 100));
    noteOff(3, 62, 16);
    EXPECT_EQ(block(), offs(3, {62, 65, 69}));
    EXPECT_FALSE(engine().heldKeys[15][62].active);

    p().pushUiEvent(0x9E, 60, 100); // the first pad
    EXPECT_EQ(block(), ons(0, {60, 64, 67}, 100));
    noteOff(4, 60, 15);
    EXPECT_EQ(block(), offs(4, {60, 64, 67}));

    // The editor's note-off after the host released the key changes nothing.
    p().pushUiEvent(0x8F, 62, 0);
    EXPECT_EQ(block(), Out{});
}

TEST_F(HeldKeys, SuspendReleasesEverythingIntoTheTakeAndTheHost) {
    startTake();
    noteOn(10, 60, 90);
    controller(0, 64, 127, 2);
    noteOn(20, 71, 80, 2);
    noteOff(30, 71, 2); // sustained
    block();
    block();
    ASSERT_EQ(p().capture.state.load(), tamso::Recording);

    // Pending work that the suspend drops.
    noteOn(0, 62);
    deliver();
    p().pushUiEvent(0x9F, 65, 100);
    p().countIn.requestStart();
    p().resetRequest.store(true); // left for the next block

    clearLog();
    EXPECT_EQ(dispatch(vst2::op::mainsChanged, 0, 0), 1);
    // One list, sent within the suspend call on the host's thread.
    EXPECT_EQ(output(), offs(0, {60, 64, 67, 71, 74, 77}));
    EXPECT_EQ(outputOf(-1).size(), 6u);
    const std::vector<Call> lists = calls(vst2::hostProcessEvents);
    ASSERT_EQ(lists.size(), 1u);
    EXPECT_EQ(lists[0].block, -1);
    EXPECT_TRUE(lists[0].callerThread);

    const double b = coretest::beatsPerSample(120, 48000);
    const std::vector<Entry> take = coretest::takeEntries(p());
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

    // Nothing of the dropped work arrives later, and the voices keep their release.
    clearLog();
    EXPECT_EQ(block(), Out{});
    EXPECT_GT(engine().envelope[60], 0.0);
    EXPECT_FALSE(p().countIn.active.load());
}

TEST_F(HeldKeys, SuspendAndStopProcessingSendNoteOffsWithinTheCall) {
    for (int32_t opcode : {vst2::op::mainsChanged, vst2::op::stopProcessing}) {
        SCOPED_TRACE(opcode);
        noteOn(7, 60, 90);
        controller(8, 64, 127);
        noteOff(9, 60);
        block(512);
        noteOn(0, 64, 91);
        block(512);
        clearLog();
        EXPECT_EQ(dispatch(opcode, 0, 0), 1);
        const std::vector<Call> lists = calls(vst2::hostProcessEvents);
        ASSERT_EQ(lists.size(), 1u);
        EXPECT_EQ(lists[0].block, -1);
        EXPECT_TRUE(lists[0].callerThread);
        EXPECT_EQ(output(), offs(0, {60, 64, 67, 71}));
        EXPECT_EQ(outputOf(-1).size(), 4u);

        // Keys and the pedal were freed: later note-offs and pedal ups do nothing.
        clearLog();
        resume();
        noteOff(0, 64);
        controller(1, 64, 0);
        block(512);
        block(512);
        EXPECT_TRUE(sent().empty());
        // A second suspend has nothing to send, and sends no empty list.
        suspend();
        EXPECT_TRUE(calls(vst2::hostProcessEvents).empty());
        resume();
    }
}

// The events of one block, with triads.
class BlockEvents : public LevelTest {
  protected:
    void prepare() override { setUnit(palmtone::pChords, 0); }
    void passThrough() { setUnit(palmtone::pInput, 2); }

    // Blocks without frames through the replacing slot, the deprecated
    // accumulating one and with null outputs: the buffers stay as they were.
    void emptyBlocks() {
        float left[8], right[8];
        for (int i = 0; i < 8; ++i)
            left[i] = right[i] = 7.0f;
        float* outputs[2] = {left, right};
        for (int32_t frames : {0, -1, -512, std::numeric_limits<int32_t>::min()}) {
            fx()->processReplacing(fx(), nullptr, outputs, frames);
            fx()->process(fx(), nullptr, outputs, frames);
            fx()->processReplacing(fx(), nullptr, nullptr, frames);
            for (int i = 0; i < 8; ++i)
                ASSERT_TRUE(left[i] == 7.0f && right[i] == 7.0f) << frames;
        }
    }
};

TEST_F(BlockEvents, EmptyBlocksChangeNothingAndKeepTheHostEvents) {
    noteOn(10, 60);
    deliver();
    p().pushUiEvent(0x9F, 62, 100);
    p().resetRequest.store(false);
    clearLog();
    emptyBlocks();
    EXPECT_TRUE(calls().empty());
    EXPECT_EQ(p().blockEventCount, 1);
    EXPECT_FALSE(p().uiEvents.empty());
    EXPECT_FALSE(p().engine.lastSettingsValid);

    // The next real block plays them.
    EXPECT_EQ(block(), ons(0, {62, 65, 69}, 100) + ons(10, {60, 64, 67}, 100));

    // With a chord sounding, the events of two intake calls wait through
    // blocks without frames for the next block with frames.
    fresh();
    noteOn(10, 48);
    block();
    clearLog();
    noteOn(3, 60, 90);
    deliver();
    level().run(0);
    emptyBlocks();
    noteOn(4, 62, 91);
    deliver();
    level().run(0);
    EXPECT_TRUE(calls().empty());
    EXPECT_EQ(block(), ons(3, {60, 64, 67}, 90) + ons(4, {62, 65, 69}, 91));
}

TEST_F(BlockEvents, EventsActInFrameOrderAndEqualFramesInArrivalOrder) {
    passThrough();
    noteOn(300, 70);
    noteOn(100, 71);
    noteOn(50, 60);
    noteOff(50, 60);
    noteOff(50, 61);
    noteOn(50, 61);
    noteOn(100, 72);
    EXPECT_EQ(block(), (Out{on(50, 60, 100), off(50, 60), on(50, 61, 100), on(100, 71, 100), on(100, 72, 100),
                            on(300, 70, 100)}));
    EXPECT_TRUE(p().engine.gate[61]);
    EXPECT_FALSE(p().engine.gate[60]);

    // The same with chords: a key pressed and released at one frame sounds
    // for none of it, one released and pressed again stays down.
    fresh();
    noteOn(10, 60, 90);
    noteOff(10, 60);
    noteOff(20, 62);
    noteOn(20, 62, 90);
    EXPECT_EQ(block(), ons(10, {60, 64, 67}, 90) + offs(10, {60, 64, 67}) + ons(20, {62, 65, 69}, 90));
}

TEST_F(BlockEvents, FramesOutsideTheBlockAreClampedToIt) {
    passThrough();
    noteOn(-5, 60);
    noteOn(10000, 62);
    noteOn(std::numeric_limits<int32_t>::min(), 64);
    noteOn(std::numeric_limits<int32_t>::max(), 65);
    EXPECT_EQ(block(), (Out{on(0, 60, 100), on(0, 64, 100), on(511, 62, 100), on(511, 65, 100)}));
    // Frame -5 sounds from the first sample; frame 10000 only in the last.
    EXPECT_NEAR(p().engine.age[60], 512 / 48000.0, 1e-12);
    EXPECT_NEAR(p().engine.age[62], 1 / 48000.0, 1e-12);

    // With chords, after a first block, and a note-off far after a short block.
    fresh();
    block();
    noteOn(10000, 60, 90);
    noteOn(-5, 62, 90);
    noteOn(std::numeric_limits<int32_t>::min(), 64, 90);
    // At 0: D F A, then E G B; at 511: C E G adds only C.
    EXPECT_EQ(block(), ons(0, {62, 65, 69}, 90) + ons(0, {64, 67, 71}, 90) + ons(511, {60}, 90));
    noteOff(std::numeric_limits<int32_t>::max(), 60);
    EXPECT_EQ(block(100), offs(99, {60}));
}

} // namespace
} // namespace velktest
