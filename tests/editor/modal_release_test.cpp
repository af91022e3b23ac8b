// Keys and the pad let go while a modal loop runs (a menu, a box, a dialog,
// the file drag): the loop takes their key-up and button-up messages without
// handing them to the window, so the editor asks the devices once the loop
// returns. What came up ends then, with exactly one note-off; what is still
// held sounds on, and follows a chord change chosen in the menu.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "tests/editor/editor_fixture.hpp"
#include "tests/editor/modal_cases.hpp"

namespace {

using namespace palmtone;
using namespace editortest;

constexpr int32_t vkSpace = 0x20;

struct ReleaseCase {
    const char* name;
    const char* kind;            // what the first modal call shows
    std::vector<int32_t> held;   // chord keys down before it
    bool pad;                    // pad 3 (F, 65) held with the mouse before it
    std::vector<int32_t> lifted; // keys that come up inside the first loop
    bool buttonLifted;           // the mouse button comes up inside the first loop
    std::vector<Ev> offs;        // the ring once the trigger returned
    std::function<void(EditorTest&)> setup;
    std::function<void(EditorTest&)> trigger;
};

void PrintTo(const ReleaseCase& c, std::ostream* os) {
    *os << c.name;
}

void withTake(EditorTest& t) {
    setTake(*t.plugin, triad());
}

const ReleaseCase releaseCases[] = {
    {"menu, the key let go",
     "menu",
     {'S'},
     false,
     {'S'},
     false,
     {{0x8F, 62, 0}},
     nullptr,
     [](EditorTest& t) { t.press(Field, pScale); }},
    // The control: nothing comes up inside the loop, so nothing may end after
    // it, whether the call returns or throws. It passes with or without the
    // release after the loop that the other cases prove.
    {"menu, the key still held, the control",
     "menu",
     {'S'},
     false,
     {},
     false,
     {},
     nullptr,
     [](EditorTest& t) { t.press(Field, pScale); }},
    {"menu, one of three keys let go",
     "menu",
     {'A', 'S', 'D'},
     false,
     {'S'},
     false,
     {{0x8F, 62, 0}},
     nullptr,
     [](EditorTest& t) { t.press(Field, pInversion); }},
    {"menu, two of three keys let go",
     "menu",
     {'A', 'S', 'K'},
     false,
     {'K', 'A'},
     false,
     {{0x8F, 60, 0}, {0x8F, 72, 0}},
     nullptr,
     [](EditorTest& t) { t.press(Field, pInversion); }},
    {"root menu",
     "menu",
     {'G'},
     false,
     {'G'},
     false,
     {{0x8F, 67, 0}},
     [](EditorTest& t) { t.plugin->set(pSound, 1.0); },
     [](EditorTest& t) { t.press(WaveRoot); }},
    {"guide box",
     "box",
     {'J'},
     false,
     {'J'},
     false,
     {{0x8F, 71, 0}},
     nullptr,
     [](EditorTest& t) { t.press(Guide); }},
    {"record confirmation, the pad let go",
     "box",
     {},
     true,
     {},
     true,
     {{0x8E, 65, 0}},
     withTake,
     [](EditorTest& t) { t.keyDown(vkSpace); }},
    {"record confirmation, the pad still held",
     "box",
     {'H'},
     true,
     {'H'},
     false,
     {{0x8F, 69, 0}},
     withTake,
     [](EditorTest& t) { t.keyDown(vkSpace); }},
    {"record confirmation, key and pad let go",
     "box",
     {'A'},
     true,
     {'A'},
     true,
     {{0x8F, 60, 0}, {0x8E, 65, 0}},
     withTake,
     [](EditorTest& t) { t.keyDown(vkSpace); }},
    {"open dialog",
     "open",
     {'D'},
     false,
     {'D'},
     false,
     {{0x8F, 64, 0}},
     nullptr,
     [](EditorTest& t) { t.press(AddWaves); }},
    {"folder browser",
     "folder",
     {'F', 'G'},
     false,
     {'G'},
     false,
     {{0x8F, 67, 0}},
     nullptr,
     [](EditorTest& t) { t.press(Folder); }},
    {"folder without a path, then its box",
     "folder",
     {'F'},
     false,
     {'F'},
     false,
     {{0x8F, 65, 0}},
     [](EditorTest& t) {
         t.ui->folderReply = {FolderReply::noPath, L""};
     },
     [](EditorTest& t) { t.press(Folder); }},
    {"save dialog",
     "save",
     {'S'},
     false,
     {'S'},
     false,
     {{0x8F, 62, 0}},
     withTake,
     [](EditorTest& t) { t.press(SaveMidi); }},
    {"file drag", "drag", {'S'}, false, {'S'}, false, {{0x8F, 62, 0}}, withTake, pressAndDrag},
    {"file drag, the key still held",
     "drag",
     {'S', 'D'},
     false,
     {'D'},
     false,
     {{0x8F, 64, 0}},
     withTake,
     pressAndDrag},
    {"file drag that fails, then its box",
     "drag",
     {'K'},
     false,
     {'K'},
     false,
     {{0x8F, 72, 0}},
     [](EditorTest& t) {
         withTake(t);
         t.ui->dragResult = static_cast<int32_t>(0x80004005u);
     },
     pressAndDrag},
};

class ModalRelease : public EditorTest, public testing::WithParamInterface<ReleaseCase> {
  protected:
    void SetUp() override {
        ui->boxAnswers = {box::idCancel, box::idCancel};
        ui->temporaryFolderPath = editorPath(testScratchDir("release-")) + L"/";
    }
    // The case's keys and pad held before its first modal call, the ring empty.
    void holdBeforeTheLoop() {
        const ReleaseCase& k = GetParam();
        if (k.setup) k.setup(*this);
        for (int32_t key : k.held)
            keyDown(key);
        if (k.pad) press(Pad, 3);
        consume();
    }
    // Inside the first loop: the case's keys and button come up on the devices.
    void liftInsideTheLoop() {
        const ReleaseCase& k = GetParam();
        ui->keysUp.insert(k.lifted.begin(), k.lifted.end());
        ui->buttonUp = k.buttonLifted;
    }
    // Once the trigger is over: what came up ended, once; the rest is held.
    void expectWhatCameUpEnded() {
        const ReleaseCase& k = GetParam();
        EXPECT_EQ(takeEvents(), k.offs);
        for (int32_t key : k.held) {
            const bool lifted = std::find(k.lifted.begin(), k.lifted.end(), key) != k.lifted.end();
            EXPECT_EQ(editor->keyDown[keyIndex(key)], !lifted) << static_cast<char>(key);
        }
        EXPECT_EQ(editor->padHeld, k.pad && !k.buttonLifted ? 3 : -1);
    }
};

TEST_P(ModalRelease, WhatCameUpInsideTheLoopEndsOnceAfterIt) {
    const ReleaseCase& k = GetParam();
    holdBeforeTheLoop();

    std::vector<std::string> kinds;
    std::vector<size_t> pendingInside;
    ui->duringModal = [&](const char* kind) {
        kinds.push_back(kind);
        pendingInside.push_back(pending().size());
        if (kinds.size() == 1) liftInsideTheLoop();
    };
    k.trigger(*this);

    ASSERT_FALSE(kinds.empty()) << "the case never reached a modal call";
    EXPECT_EQ(kinds[0], k.kind);
    EXPECT_EQ(pendingInside[0], 0u) << "nothing ends while the loop runs";
    for (size_t i = 1; i < pendingInside.size(); ++i)
        EXPECT_EQ(pendingInside[i], k.offs.size()) << "the note-offs come when the first loop returns";
    expectWhatCameUpEnded();

    // The messages the loop took may still turn up afterwards: they end nothing twice.
    for (int32_t key : k.lifted)
        EXPECT_FALSE(keyUp(key)) << "goes to default processing";
    if (k.buttonLifted) release();
    EXPECT_TRUE(takeEvents().empty());

    // What stayed held ends with its own release.
    std::vector<Ev> offs;
    for (int32_t key : k.held) {
        if (std::find(k.lifted.begin(), k.lifted.end(), key) != k.lifted.end()) continue;
        ui->keysUp.insert(key);
        EXPECT_TRUE(keyUp(key));
        offs.push_back({0x8F, notes[keyIndex(key)], 0});
    }
    if (k.pad && !k.buttonLifted) {
        release();
        offs.push_back({0x8E, 65, 0});
    }
    EXPECT_EQ(takeEvents(), offs);
}

// A seam call that throws once its loop is over (the folder browser's path
// buffer, a menu that cannot be built after the user chose): what came up
// inside the loop ends all the same, once, and the exception goes on to the
// window procedure, which shows it.
TEST_P(ModalRelease, WhatCameUpInsideTheLoopEndsAlsoWhenTheCallThrows) {
    const ReleaseCase& k = GetParam();
    holdBeforeTheLoop();

    int calls = 0;
    ui->duringModal = [&](const char* kind) {
        if (++calls != 1) return;
        EXPECT_STREQ(kind, k.kind);
        liftInsideTheLoop();
        throw std::bad_alloc();
    };
    EXPECT_THROW(k.trigger(*this), std::bad_alloc);
    EXPECT_EQ(calls, 1) << "nothing after the throw shows another modal call";
    expectWhatCameUpEnded();
}

INSTANTIATE_TEST_SUITE_P(EveryModalLoop, ModalRelease, testing::ValuesIn(releaseCases),
                         [](const testing::TestParamInfo<ReleaseCase>& info) {
                             return caseName(info.param.name);
                         });

class HeldThroughAMenu : public EditorTest {
  protected:
    std::vector<int> sounding() {
        std::vector<int> notes;
        for (int n = 0; n < 128; ++n)
            if (plugin->engine.soundingNotes[n].load()) notes.push_back(n);
        return notes;
    }
};

TEST_F(HeldThroughAMenu, TheChordFollowsTheChoiceAndEndsWithItsKey) {
    keyDown('S');
    runBlocks(1);
    EXPECT_EQ(sounding(), (std::vector<int>{62, 65, 69, 72, 76})) << "D F A C E";

    ui->menuAnswer = 2; // "1ra"
    press(Field, pInversion);
    release();
    runBlocks(1);
    EXPECT_EQ(sounding(), (std::vector<int>{65, 69, 72, 74, 76})) << "the first inversion, still held";

    ui->keysUp.insert('S');
    keyUp('S');
    runBlocks(1);
    EXPECT_TRUE(sounding().empty());
}

TEST_F(HeldThroughAMenu, ALetGoKeyFallsSilentAtTheFirstBlockAfterIt) {
    keyDown('S');
    runBlocks(1);
    ui->menuAnswer = 2;
    ui->duringModal = [&](const char*) { ui->keysUp.insert('S'); };
    press(Field, pInversion);
    runBlocks(1);
    EXPECT_TRUE(sounding().empty());
    EXPECT_DOUBLE_EQ(plugin->params[pInversion].load(), 0.25) << "the choice still applies";
}

TEST_F(HeldThroughAMenu, AKeyLetGoWhileTheHostClosesEndsOnce) {
    keyDown('S');
    consume();
    ui->duringModal = [&](const char*) {
        ui->keysUp.insert('S');
        hostCloses(false);
    };
    press(Field, pScale);
    ASSERT_TRUE(editorFreed);
    ASSERT_EQ(pending().size(), 1u) << "the close's note-off only";
    EXPECT_EQ(pending()[0].status, 0x8F);
    EXPECT_EQ(pending()[0].data1, 62);
}

} // namespace
