// The take picture: 64 columns of pitch classes, written live while recording
// (four columns a beat, around every 16 beats) and rebuilt once from the
// recorded notes when the take has stopped.
#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "tests/editor/editor_fixture.hpp"

namespace {

using namespace palmtone;
using namespace tamso;
using editortest::EditorTest;
using editortest::noteAt;
using editortest::setTake;
using editortest::triad;

constexpr uint16_t C = 1 << 0, D = 1 << 2, E = 1 << 4, G = 1 << 7;
constexpr uint16_t triadBits = C | E | G;

class Overview : public EditorTest {
  protected:
    void sound(std::initializer_list<int> notes) {
        for (auto& n : plugin->engine.soundingNotes)
            n.store(false);
        for (int n : notes)
            plugin->engine.soundingNotes[n].store(true);
    }
    void update(int32_t state, double beats) {
        plugin->capture.endBeats.store(beats);
        editor->updateOverview(state);
    }
    void fill(uint16_t bits) {
        for (uint16_t& column : editor->overview)
            column = bits;
    }
    std::vector<uint16_t> picture() const { return {editor->overview, editor->overview + 64}; }
    // Columns [from, to) hold bits, every other column holds `rest`.
    static std::vector<uint16_t> columns(int from, int to, uint16_t bits, uint16_t rest = 0) {
        std::vector<uint16_t> out(64, rest);
        for (int i = from; i < to; ++i)
            out[i] = bits;
        return out;
    }
};

TEST_F(Overview, CountInTouchesOnlyTheStateMemory) {
    editor->overview[5] = E;
    editor->lastColumn = 5;
    plugin->countIn.active.store(true);
    sound({60});
    update(Recording, 0.0);
    EXPECT_EQ(editor->lastState, -2);
    EXPECT_EQ(editor->lastColumn, 5);
    EXPECT_EQ(picture(), columns(5, 6, E));
}

TEST_F(Overview, LiveColumnsAtThirtyUpdatesASecond) {
    fill(0xFFF); // a picture from before: the new take's first update empties it
    sound({60, 64, 67});
    // 120 BPM repainted every 33 ms: about 0.066 beats per update.
    for (int u = 0; u < 40; ++u)
        update(Recording, u * 0.066);
    EXPECT_EQ(editor->lastColumn, 10);
    EXPECT_EQ(picture(), columns(0, 11, triadBits)) << "no column skipped, none ahead";

    // Notes that change inside a column add to it.
    sound({62});
    update(Recording, 40 * 0.066);
    EXPECT_EQ(editor->overview[10], triadBits | D);
}

TEST_F(Overview, StallOfTwoBeatsEmptiesThePassedColumns) {
    fill(0xFFF);
    editor->lastState = Recording;
    sound({64});
    update(Recording, 1.0); // column 4
    sound({67});
    update(Recording, 3.0); // column 12, eight columns later
    std::vector<uint16_t> expected(64, 0xFFF);
    for (int i = 5; i <= 11; ++i)
        expected[i] = 0;
    expected[12] = G;
    EXPECT_EQ(picture(), expected);
    EXPECT_EQ(editor->lastColumn, 12);
}

TEST_F(Overview, WrapsAfterSixteenBeats) {
    fill(0xFFF);
    editor->lastState = Recording;
    sound({60});
    update(Recording, 15.9);
    EXPECT_EQ(editor->lastColumn, 63);
    sound({62});
    update(Recording, 16.0);
    EXPECT_EQ(editor->lastColumn, 0);
    EXPECT_EQ(editor->overview[0], D) << "emptied, then the notes of now";
    EXPECT_EQ(editor->overview[1], 0xFFF);
}

TEST_F(Overview, PauseAndResumeContinueInTheSameColumn) {
    sound({60});
    update(Recording, 0.0);
    update(Recording, 5.0); // column 20
    update(Paused, 5.0);
    EXPECT_EQ(editor->lastState, Paused);
    const std::vector<uint16_t> paused = picture();
    sound({67});
    update(Recording, 5.0);
    EXPECT_EQ(editor->overview[20], C | G);
    std::vector<uint16_t> expected = paused;
    expected[20] = C | G;
    EXPECT_EQ(picture(), expected);
}

TEST_F(Overview, TransientStatesChangeOnlyTheStateMemory) {
    setTake(*plugin, triad());
    editor->overview[7] = D;
    for (int32_t state : {Idle, StartRequested, StopRequested, PauseRequested, Paused, ResumeRequested}) {
        plugin->capture.state.store(state);
        update(state, 1.0);
        EXPECT_EQ(editor->lastState, state);
        EXPECT_EQ(picture(), columns(7, 8, D));
    }
}

TEST_F(Overview, RebuildSpansTheWholeTake) {
    struct Case {
        const char* name;
        std::vector<CapturedNote> entries;
        std::vector<uint16_t> expected;
    };
    std::vector<uint16_t> hundred(64, 0);
    hundred[32] = C; // [50, 51.5625) is exactly column 32 at 1.5625 beats a column
    hundred[63] = E;
    CapturedNote otherTrack = noteAt(0.0, 62, true), otherOff = noteAt(2.0, 62, false);
    otherTrack.track = otherOff.track = 2;
    const Case cases[] = {
        {"a C major triad from beat 0 to 1 over span 4", triad(0.0, 1.0), columns(0, 16, triadBits)},
        {"a take of two beats fills half",
         {noteAt(0.0, 64, true), noteAt(2.0, 64, false)},
         columns(0, 32, E)},
        {"a take of 100 beats",
         {noteAt(50.0, 48, true), noteAt(51.5625, 48, false), noteAt(99.0, 76, true),
          noteAt(100.0, 76, false)},
         hundred},
        {"other tracks never mark",
         {otherTrack, otherOff, noteAt(0.0, 60, true), noteAt(1.0, 60, false)},
         columns(0, 16, C)},
        {"a note-off without its note-on is ignored",
         {noteAt(0.5, 67, false), noteAt(1.0, 60, true), noteAt(2.0, 60, false)},
         columns(16, 32, C)},
        {"notes above 127 are skipped", {noteAt(0.0, 200, true), noteAt(4.0, 200, false)}, columns(0, 0, 0)},
    };
    for (int32_t state : {Finished, Full}) {
        for (const Case& k : cases) {
            SCOPED_TRACE(testing::Message() << k.name << (state == Full ? ", full" : ", finished"));
            fill(0xFFF); // the live picture does not survive a rebuild
            editor->lastState = Recording;
            setTake(*plugin, k.entries, state);
            editor->updateOverview(state);
            EXPECT_EQ(picture(), k.expected);
            EXPECT_EQ(editor->lastState, state);
        }
    }
}

TEST_F(Overview, RebuildsOncePerStopAndAgainForANewEditor) {
    setTake(*plugin, triad());
    editor->updateOverview(Finished);
    EXPECT_EQ(picture(), columns(0, 16, triadBits));
    plugin->capture.entries[0].note = 62; // C's note-on becomes D's, which never ends
    editor->overview[40] = D;
    editor->updateOverview(Finished);
    EXPECT_EQ(editor->overview[40], D) << "no second rebuild while the state stays";
    EXPECT_EQ(editor->overview[0], triadBits);

    Editor fresh(plugin.get(), std::make_unique<editortest::FakeUi>(log));
    fresh.updateOverview(Finished);
    EXPECT_EQ(fresh.overview[0], E | G) << "a newly opened editor draws the take as it is now";
    EXPECT_EQ(fresh.overview[16], 0);
}

TEST_F(Overview, NoRebuildWhenTheTakeHasLeftTheStoppedStates) {
    // The pass read Finished, but a new take began since.
    setTake(*plugin, triad(), Recording);
    fill(E);
    editor->updateOverview(Finished);
    EXPECT_EQ(picture(), columns(0, 0, 0, E));
}

TEST_F(Overview, PaintPassDrawsThePicture) {
    setTake(*plugin, triad());
    paint();
    int cells = 0;
    for (const Element& e : editor->frame(0).elements)
        if (e.kind == Element::box && e.radius == 3) ++cells;
    EXPECT_EQ(cells, 16 * 3);
}

} // namespace
