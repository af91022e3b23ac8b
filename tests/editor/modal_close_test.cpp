// A host may close the editor (or the whole instance) while one of the
// editor's modal loops runs: a message box, a popup menu, a dialog or the file
// drag. The window goes at once, the held keys end, and the handler that
// opened the loop finds the editor closed when the loop returns: it touches
// nothing more, and the outermost window-procedure frame frees the editor.
// Under AddressSanitizer any use of the freed editor or instance fails.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "tests/editor/editor_fixture.hpp"
#include "tests/editor/modal_cases.hpp"

namespace {

using namespace palmtone;
using namespace editortest;

constexpr int32_t vkSpace = 0x20;

struct CloseCase {
    const char* name;
    int closeAt;      // the modal call (1 = first) during which the host closes
    const char* kind; // what that call shows
    std::function<void(EditorTest&, const std::string& dir)> setup;
    std::function<void(EditorTest&)> trigger;
};

void PrintTo(const CloseCase& c, std::ostream* os) {
    *os << c.name;
}

std::wstring copyOf(const std::string& dir, const std::string& name) {
    copyFile(fixture(name), dir + "/" + name);
    return editorPath(dir + "/" + name);
}

std::wstring junkWave(const std::string& dir) {
    std::ofstream(dir + "/Broken.wav") << "plain text that is long enough to be read and refused as a WAV";
    return editorPath(dir + "/Broken.wav");
}

const CloseCase closeCases[] = {
    {"guide box", 1, "box", nullptr, [](EditorTest& t) { t.click(Guide); }},
    {"record confirmation", 1, "box", [](EditorTest& t, const std::string&) { setTake(*t.plugin, triad()); },
     [](EditorTest& t) { t.click(Record); }},
    {"space-bar confirmation with a key held", 1, "box",
     [](EditorTest& t, const std::string&) {
         setTake(*t.plugin, triad());
         t.handle([](Editor& e) { e.keyPressed('A', false, false); });
     },
     [](EditorTest& t) { t.handle([](Editor& e) { e.keyPressed(vkSpace, false, false); }); }},
    {"new take while recording", 1, "box",
     [](EditorTest& t, const std::string&) { t.plugin->capture.state.store(tamso::Recording); },
     [](EditorTest& t) { t.click(NewTake); }},
    {"parameter menu", 1, "menu", nullptr, [](EditorTest& t) { t.click(Field, pScale); }},
    {"root menu", 1, "menu", [](EditorTest& t, const std::string&) { t.plugin->set(pSound, 1.0); },
     [](EditorTest& t) { t.click(WaveRoot); }},
    {"open dialog", 1, "open", nullptr, [](EditorTest& t) { t.click(AddWaves); }},
    {"skipped-files box", 2, "box",
     [](EditorTest& t, const std::string& dir) {
         t.ui->openReply = openReplyFor(editorPath(dir) + L"/", {L"notes.txt", L"Alpha.wav"});
     },
     [](EditorTest& t) { t.click(AddWaves); }},
    {"loading error after the open dialog", 2, "box",
     [](EditorTest& t, const std::string& dir) { t.ui->openReply = openReplyFor(junkWave(dir)); },
     [](EditorTest& t) { t.click(AddWaves); }},
    {"folder browser", 1, "folder", nullptr, [](EditorTest& t) { t.click(Folder); }},
    {"folder without a path", 2, "box",
     [](EditorTest& t, const std::string&) {
         t.ui->folderReply = {FolderReply::noPath, L""};
     },
     [](EditorTest& t) { t.click(Folder); }},
    {"save dialog", 1, "save", [](EditorTest& t, const std::string&) { setTake(*t.plugin, triad()); },
     [](EditorTest& t) { t.click(SaveMidi); }},
    {"save failure box", 2, "box",
     [](EditorTest& t, const std::string&) {
         setTake(*t.plugin, triad());
         t.ui->writesFail = true;
     },
     [](EditorTest& t) { t.click(SaveMidi); }},
    {"take too long to write", 1, "box",
     [](EditorTest& t, const std::string&) {
         setTake(*t.plugin, {noteAt(0.0, 60, true), noteAt(400000.0, 60, false)});
     },
     [](EditorTest& t) { t.click(SaveMidi); }},
    {"file drag", 1, "drag", [](EditorTest& t, const std::string&) { setTake(*t.plugin, triad()); },
     pressAndDrag},
    {"drag failure box", 2, "box",
     [](EditorTest& t, const std::string&) {
         setTake(*t.plugin, triad());
         t.ui->dragResult = static_cast<int32_t>(0x80004005u);
     },
     pressAndDrag},
    {"drop that does not load", 1, "box",
     [](EditorTest& t, const std::string& dir) {
         const std::wstring bad = junkWave(dir);
         t.handle([&](Editor& e) { e.shellDrop({bad}); });
     },
     [](EditorTest& t) { t.handle([](Editor& e) { e.deferredDrop(); }); }},
    {"library row that does not load", 1, "box",
     [](EditorTest& t, const std::string& dir) { t.plugin->bank.addFiles({editorPath(dir + "/Gone.wav")}); },
     [](EditorTest& t) { t.click(LibraryRow, 1); }},
};

// What the instance looked like when the host closed the editor.
struct Seen {
    size_t hostCalls = 0;
    uint32_t ringWaiting = 0; // once the close has ended the held keys
    ParamValues params{};
    int32_t revision = 0;
    CountIn::Command request = CountIn::Command::none;
    bool countIn = false;
    int32_t takeState = 0;
    size_t written = 0;
};

class ModalClose : public EditorTest, public testing::WithParamInterface<std::tuple<CloseCase, bool>> {
  protected:
    void SetUp() override {
        dir = testScratchDir("close-");
        // Answers that would make a continuing editor act visibly.
        ui->boxAnswers = {box::idOk, box::idOk, box::idOk};
        ui->menuAnswer = 3;
        ui->openReply = openReplyFor(copyOf(dir, "Alpha.wav"));
        copyOf(dir, "Bravo.wav");
        ui->folderReply = {FolderReply::chosen, editorPath(dir)};
        ui->savePath = editorPath(dir + "/take.mid");
        ui->temporaryFolderPath = editorPath(dir) + L"/";
    }
    std::string dir;
};

TEST_P(ModalClose, NothingIsTouchedAfterTheClose) {
    const CloseCase& k = std::get<0>(GetParam());
    const bool instanceToo = std::get<1>(GetParam());
    if (k.setup) k.setup(*this, dir);
    consume();

    int calls = 0;
    bool closed = false;
    Seen seen;
    ui->duringModal = [&](const char* kind) {
        if (++calls != k.closeAt) return;
        EXPECT_STREQ(kind, k.kind);
        seen = {host.calls.size(),
                0,
                plugin->snapshot(),
                plugin->bank.revision.load(),
                plugin->countIn.request.load(),
                plugin->countIn.active.load(),
                plugin->capture.state.load(),
                log.written.size()};
        hostCloses(instanceToo);
        if (!instanceToo) seen.ringWaiting = plugin->uiEvents.size();
        closed = true;
        EXPECT_FALSE(editorFreed) << "a handler is still running: the editor must live on";
        EXPECT_EQ(log.windowsDestroyed, 1) << "the window goes at once";
    };
    const size_t modalBefore = log.modal.size();

    k.trigger(*this);

    ASSERT_TRUE(closed) << "the case never reached its modal call";
    EXPECT_TRUE(editorFreed) << "the outermost frame frees the editor";
    EXPECT_TRUE(log.seamGone);
    EXPECT_EQ(log.modal.size(), modalBefore + k.closeAt) << "nothing more is shown";
    EXPECT_EQ(host.calls.size(), seen.hostCalls) << "no call reaches the host";
    EXPECT_EQ(log.written.size(), seen.written) << "no file is written";
    if (!instanceToo) {
        // The close itself may end held keys; nothing after it changes the instance.
        EXPECT_EQ(plugin->snapshot(), seen.params);
        EXPECT_EQ(plugin->bank.revision.load(), seen.revision);
        EXPECT_EQ(plugin->countIn.request.load(), seen.request);
        EXPECT_EQ(plugin->countIn.active.load(), seen.countIn);
        EXPECT_EQ(plugin->capture.state.load(), seen.takeState);
        EXPECT_EQ(plugin->uiEvents.size(), seen.ringWaiting) << "no event enters the ring after the close";
        for (const InputEvent& e : pending())
            EXPECT_EQ(e.status & 0xF0, 0x80) << "only note-offs";
    }
}

INSTANTIATE_TEST_SUITE_P(EveryModalLoop, ModalClose,
                         testing::Combine(testing::ValuesIn(closeCases), testing::Bool()),
                         [](const testing::TestParamInfo<std::tuple<CloseCase, bool>>& info) {
                             return caseName(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_instanceToo" : "_editorOnly");
                         });

using HostCloses = EditorTest;

TEST_F(HostCloses, HeldKeysAndPadEndWhenTheEditorClosesInsideABox) {
    setTake(*plugin, triad());
    handle([](Editor& e) { e.keyPressed('A', false, false); });
    handle([](Editor& e) { e.keyPressed('K', false, false); });
    press(Pad, 3);
    consume();
    ui->duringModal = [&](const char*) { hostCloses(false); };
    handle([](Editor& e) { e.keyPressed(vkSpace, false, false); });
    ASSERT_TRUE(editorFreed);
    EXPECT_EQ(takeEvents(), (std::vector<Ev>{{0x8F, 60, 0}, {0x8F, 72, 0}, {0x8E, 65, 0}}));
    EXPECT_FALSE(plugin->countIn.active.load()) << "the confirmation was never answered";
}

TEST_F(HostCloses, OutsideAnyHandlerTheEditorIsFreedAtOnce) {
    handle([](Editor& e) { e.keyPressed('D', false, false); });
    consume();
    hostCloses(false);
    EXPECT_TRUE(editorFreed);
    EXPECT_EQ(log.windowsDestroyed, 1);
    ASSERT_EQ(pending().size(), 1u);
    EXPECT_EQ(pending()[0].status, 0x8F);
}

TEST_F(HostCloses, ParentWindowDestroyedFirst) {
    // The host destroys its own window: the editor's window and its teardown go then.
    handle([](Editor& e) { e.keyPressed('D', false, false); });
    consume();
    handle([](Editor& e) { e.windowGone(); });
    EXPECT_EQ(editor->window, nullptr);
    EXPECT_EQ(pending().size(), 1u);
    // The later close finds no window to destroy and frees the rest.
    hostCloses(false);
    EXPECT_TRUE(editorFreed);
    EXPECT_EQ(log.windowsDestroyed, 0);
    EXPECT_EQ(pending().size(), 1u) << "no second note-off";
}

TEST_F(HostCloses, RepaintInsideAMenuRebuildsTheHitsSafely) {
    ui->menuAnswer = 4; // "3ra"
    ui->duringModal = [&](const char*) {
        // The hit table the click came from is rebuilt in new storage.
        editor->hits.clear();
        editor->hits.shrink_to_fit();
        handle([](Editor& e) { e.frame(16.0); });
    };
    press(Field, pInversion);
    EXPECT_DOUBLE_EQ(plugin->params[pInversion].load(), 0.75);
    EXPECT_EQ(editor->pressedType, -1);
    release();
    EXPECT_FALSE(editorFreed);
}

} // namespace
