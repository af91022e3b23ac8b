// Keys, pads and the mouse: the exact events the editor puts into the UI event
// ring, the pointer gestures (volume drag, MIDI drag), the library wheel and
// the clicks that reach nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/regions.hpp"
#include "tests/editor/editor_fixture.hpp"

namespace {

using namespace palmtone;
using editortest::EditorTest;
using editortest::Ev;

constexpr int32_t vkSpace = 0x20;
constexpr int32_t vkDelete = 0x2E;

class EditorInput : public EditorTest {
  protected:
    // The ring's events, which must all carry frame 0 and order 0; taken.
    std::vector<Ev> take() {
        for (const InputEvent& e : pending()) {
            EXPECT_EQ(e.frame, 0);
            EXPECT_EQ(e.order, 0);
        }
        return takeEvents();
    }
    void move(Point at) {
        handle([&](Editor& e) { e.mouseMoved(at); });
    }
};

TEST_F(EditorInput, ChordKeysSendOneNoteOnAndOneNoteOff) {
    const char letters[] = {'A', 'S', 'D', 'F', 'G', 'H', 'J', 'K'};
    const int sent[] = {60, 62, 64, 65, 67, 69, 71, 72};
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(letters[i]);
        EXPECT_TRUE(keyDown(letters[i]));
        EXPECT_EQ(take(), (std::vector<Ev>{{0x9F, sent[i], 100}}));
        EXPECT_TRUE(keyDown(letters[i], true)) << "auto-repeat is taken and sends nothing";
        EXPECT_TRUE(keyDown(letters[i])) << "a second key-down while held sends nothing";
        EXPECT_TRUE(take().empty());
        EXPECT_TRUE(editor->keyDown[i]);
        EXPECT_TRUE(keyUp(letters[i]));
        EXPECT_EQ(take(), (std::vector<Ev>{{0x8F, sent[i], 0}}));
        EXPECT_FALSE(keyUp(letters[i])) << "a key-up for a key not held goes to default processing";
        EXPECT_TRUE(take().empty());
    }
    EXPECT_EQ(log.repaints, 0) << "keys do not repaint by themselves";
}

TEST_F(EditorInput, KeysLeftToDefaultProcessing) {
    EXPECT_FALSE(keyDown('S', false, true)) << "with Ctrl or Alt";
    EXPECT_FALSE(editor->keyDown[1]);
    for (int32_t key : {'L', 'Q', '1', ';'})
        EXPECT_FALSE(keyDown(key));
    EXPECT_FALSE(keyDown(vkDelete, true)) << "Delete only without the repeat bit";
    EXPECT_FALSE(keyDown(vkSpace, true)) << "space only without the repeat bit";
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(plugin->countIn.request.load(), CountIn::Command::none);
}

TEST_F(EditorInput, KeyPlaysItsChordAtTheNextBlock) {
    keyDown('S');
    runBlocks(1);
    std::vector<int> sounding;
    for (int n = 0; n < 128; ++n)
        if (plugin->engine.soundingNotes[n].load()) sounding.push_back(n);
    EXPECT_EQ(sounding, (std::vector<int>{62, 65, 69, 72, 76})) << "D F A C E with the default settings";
    keyUp('S');
    runBlocks(1);
    EXPECT_EQ(plugin->engine.soundingCount.load(), 0);
}

TEST_F(EditorInput, PadSendsOnPressAndOffOnRelease) {
    press(Pad, 3);
    EXPECT_EQ(take(), (std::vector<Ev>{{0x9E, 65, 100}}));
    EXPECT_EQ(editor->padHeld, 3);
    EXPECT_TRUE(log.captured);
    move({10, 10});
    EXPECT_TRUE(take().empty()) << "moving away keeps the pad held";
    release();
    EXPECT_EQ(take(), (std::vector<Ev>{{0x8E, 65, 0}}));
    EXPECT_EQ(editor->padHeld, -1);
    EXPECT_FALSE(log.captured);
}

TEST_F(EditorInput, SecondPadPressReleasesTheFirstPad) {
    press(Pad, 3);
    press(Pad, 5); // the release of the first press never arrived
    EXPECT_EQ(take(), (std::vector<Ev>{{0x9E, 65, 100}, {0x8E, 65, 0}, {0x9E, 69, 100}}));
    release();
    EXPECT_EQ(take(), (std::vector<Ev>{{0x8E, 69, 0}}));
}

TEST_F(EditorInput, CaptureLossEndsThePadAndTheGesturesButNotTheKeys) {
    keyDown('A');
    press(Pad, 0);
    take();
    handle([](Editor& e) { e.captureLost(); });
    EXPECT_EQ(take(), (std::vector<Ev>{{0x8E, 60, 0}}));
    EXPECT_TRUE(editor->keyDown[0]);
    EXPECT_EQ(editor->pressedType, -1);

    press(VolumeSlider);
    handle([](Editor& e) { e.captureLost(); });
    EXPECT_FALSE(editor->volumeDragging);
}

TEST_F(EditorInput, FocusLossReleasesKeysAndThePad) {
    keyDown('A');
    keyDown('K');
    press(Pad, 3);
    take();
    handle([](Editor& e) { e.focusLost(); });
    EXPECT_EQ(take(), (std::vector<Ev>{{0x8F, 60, 0}, {0x8F, 72, 0}, {0x8E, 65, 0}}));
    handle([](Editor& e) { e.focusLost(); });
    EXPECT_TRUE(take().empty()) << "each held key ends once";
    release();
    EXPECT_TRUE(take().empty()) << "the pad already ended";
}

TEST_F(EditorInput, ReleaseNotesButtonReleasesAndAsksForAReset) {
    keyDown('D');
    take();
    click(ReleaseNotes);
    EXPECT_EQ(take(), (std::vector<Ev>{{0x8F, 64, 0}}));
    EXPECT_TRUE(plugin->resetRequest.load());
}

TEST_F(EditorInput, FullRingSetsOverflowAndDropsTheEvent) {
    for (int i = 0; i < 127; ++i) {
        keyDown('A');
        keyUp('A');
    }
    keyDown('S');
    ASSERT_EQ(pending().size(), 255u);
    EXPECT_FALSE(plugin->overflow.load());

    keyDown('D');
    EXPECT_TRUE(plugin->overflow.load());
    const std::vector<InputEvent> waiting = pending();
    ASSERT_EQ(waiting.size(), 255u) << "the event is dropped";
    EXPECT_EQ(waiting.back().data1, 62);
    EXPECT_TRUE(editor->keyDown[2]) << "the editor's own key state follows the key anyway";

    // The next block resets every key and drops what waits.
    runBlocks(1);
    EXPECT_FALSE(plugin->overflow.load());
    EXPECT_TRUE(pending().empty());
    EXPECT_EQ(plugin->engine.soundingCount.load(), 0);
}

TEST_F(EditorInput, VolumeDragFollowsThePointer) {
    press(VolumeSlider); // its centre: x 768
    EXPECT_EQ(plugin->params[pVolume].load(), 0.5);
    EXPECT_TRUE(editor->volumeDragging);
    EXPECT_TRUE(log.captured);
    const struct {
        int x;
        double volume;
    } moves[] = {{700, 0.0}, {650, 0.0}, {-3000, 0.0}, {734, 0.25}, {836, 1.0}, {900, 1.0}, {768, 0.5}};
    for (const auto& m : moves) {
        host.calls.clear();
        move({m.x, 400});
        EXPECT_EQ(plugin->params[pVolume].load(), m.volume) << "x " << m.x;
        EXPECT_EQ(host.edits().size(), 3u);
    }
    release();
    EXPECT_FALSE(log.captured);
    move({700, 50});
    EXPECT_EQ(plugin->params[pVolume].load(), 0.5) << "the drag ended with the release";
}

TEST_F(EditorInput, MidiDragGesture) {
    editortest::setTake(*plugin, editortest::triad());
    const std::string temp = editortest::scratchDir("drag-gesture");
    ui->temporaryFolderPath = editortest::editorPath(temp) + L"/";
    const Point start = centre([&] {
        paint();
        return hitOf(DragMidi, 1);
    }());

    // Five pixels and a release: a click, which opens the save dialog.
    press(DragMidi, 1);
    EXPECT_EQ(editor->dragArmed, 1);
    EXPECT_TRUE(log.captured);
    move({start.x + 5, start.y});
    EXPECT_TRUE(log.drags.empty());
    release();
    EXPECT_EQ(log.proposedNames, std::vector<std::wstring>{L"VELK_acordes.mid"});
    EXPECT_TRUE(log.drags.empty());

    // Three right and three down: the drag starts at once.
    for (Point to : {Point{start.x + 3, start.y + 3}, Point{start.x - 4, start.y - 2}}) {
        press(DragMidi, 1);
        move(to);
        EXPECT_EQ(editor->dragArmed, -1);
        EXPECT_FALSE(log.captured) << "the drag loop takes the mouse";
        EXPECT_EQ(editor->pressedType, -1);
        release();
    }
    EXPECT_EQ(log.drags.size(), 2u);
    EXPECT_EQ(log.proposedNames.size(), 1u) << "a release after a drag saves nothing";
}

TEST_F(EditorInput, WheelScrollsTheLibraryOnly) {
    for (int files : {0, 4, 5, 10}) {
        SCOPED_TRACE(testing::Message() << files << " files");
        std::vector<std::wstring> paths;
        for (int i = 0; i < files; ++i)
            paths.push_back(L"C:\\w\\" + std::to_wstring(i) + L".wav");
        plugin->bank.restoreLibrary(L"", paths);
        editor->scroll = 0;
        paint();
        const int last = files > 4 ? files - 4 : 0;
        std::vector<int> seen;
        for (int step = 0; step < 8; ++step) {
            handle([](Editor& e) { EXPECT_TRUE(e.wheel({150, 300}, -120)); });
            seen.push_back(editor->scroll);
        }
        EXPECT_EQ(editor->scroll, last);
        for (int s : seen)
            EXPECT_LE(s, last);
        handle([](Editor& e) { e.wheel({150, 300}, 120); });
        EXPECT_EQ(editor->scroll, last > 0 ? last - 1 : 0);
        for (int step = 0; step < 8; ++step)
            handle([](Editor& e) { e.wheel({150, 300}, 120); });
        EXPECT_EQ(editor->scroll, 0);
    }

    // A zero delta steps down; the panel's first and last pixels take the wheel.
    const Rect& panel = regions::libraryPanel;
    handle([&](Editor& e) { EXPECT_TRUE(e.wheel({panel.left, panel.top}, 0)); });
    EXPECT_EQ(editor->scroll, 1);
    handle([&](Editor& e) { EXPECT_TRUE(e.wheel({panel.right - 1, panel.bottom - 1}, 0)); });
    EXPECT_EQ(editor->scroll, 2);

    const int repaints = log.repaints;
    for (Point outside : {Point{panel.left - 1, 300}, Point{panel.right, 300}, Point{150, panel.top - 1},
                          Point{150, panel.bottom}, Point{600, 600}})
        handle([&](Editor& e) { EXPECT_FALSE(e.wheel(outside, -120)); });
    EXPECT_EQ(editor->scroll, 2);
    EXPECT_EQ(log.repaints, repaints);
}

TEST_F(EditorInput, ClicksThatReachNothing) {
    paint();
    handle([](Editor& e) { e.buttonPressed({5, 5}); });
    EXPECT_EQ(log.focus, 1) << "any click takes the focus";
    EXPECT_EQ(log.repaints, 0);
    EXPECT_EQ(editor->pressedType, -1);

    // A disabled region: "Guardar archivo .mid" without a take.
    const Point save = centre(hitOf(SaveMidi));
    handle([&](Editor& e) { e.buttonPressed(save); });
    EXPECT_EQ(editor->pressedType, -1);
    EXPECT_TRUE(log.proposedNames.empty());

    // Before the first paint there is nothing to hit.
    editor->hits.clear();
    handle([](Editor& e) { e.buttonPressed({350, 520}); });
    EXPECT_EQ(plugin->countIn.request.load(), CountIn::Command::none);
}

TEST_F(EditorInput, PointerTrackingAndLeave) {
    move({300, 300});
    move({310, 300});
    EXPECT_EQ(log.trackLeave, 1) << "one leave notification is asked for";
    EXPECT_EQ(editor->mouse, (Point{310, 300}));
    press(Stop);
    EXPECT_EQ(editor->pressedType, Stop);
    handle([](Editor& e) { e.mouseLeft(); });
    EXPECT_EQ(editor->mouse, (Point{-1, -1}));
    EXPECT_EQ(editor->pressedType, -1);
    EXPECT_FALSE(editor->tracking);
    move({1, 1});
    EXPECT_EQ(log.trackLeave, 2);
}

TEST_F(EditorInput, TimerTickCollectsAndRepaints) {
    handle([](Editor& e) { e.timerTick(); });
    EXPECT_EQ(log.repaints, 1);
}

} // namespace
