// The library panel: row clicks, remove marks, Delete and "Quitar", shell and
// OLE drops with their deferred message, the add dialog, the folder browser,
// loading errors, the paths the library refuses, and the library copy.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "editor/layout.hpp"
#include "editor/regions.hpp"
#include "plugin/host/state_chunk.hpp"
#include "plugin/media/wave.hpp"
#include "tests/editor/editor_fixture.hpp"

namespace {

using namespace palmtone;
using namespace editortest;

constexpr int32_t vkDelete = 0x2E;
const std::wstring oneShots = L"VELK - One shots";

class Library : public EditorTest {
  protected:
    Library() { dir = testScratchDir("library-"); }
    // A copy of a sox fixture in this test's folder, as the editor names it.
    std::wstring wav(const std::string& fixtureName, const std::string& as = "") {
        const std::string target = dir + "/" + (as.empty() ? fixtureName : as);
        copyFile(fixture(fixtureName), target);
        return editorPath(target);
    }
    // A file that is no WAV at all, under a WAV name.
    std::wstring junk(const std::string& name) {
        const std::string target = dir + "/" + name;
        std::ofstream(target) << "This is plain text, long enough to pass the size check of the loader.";
        return editorPath(target);
    }
    void load(const std::wstring& path) {
        handle([&](Editor& e) { e.load(path); });
    }
    std::vector<std::wstring> bankPaths() { return plugin->bank.files(); }
    bool waveSound() const { return plugin->params[pSound].load() > 0.5; }
    std::vector<int> editedIndices() const {
        std::vector<int> out;
        for (const HostCall& c : host.calls)
            if (c.opcode == vst2::hostAutomate) out.push_back(c.index);
        return out;
    }
    std::vector<std::pair<int, int>> ringNotes() const {
        std::vector<std::pair<int, int>> out;
        for (const InputEvent& e : pending())
            out.push_back({e.status, e.data1});
        return out;
    }
    std::string dir;
};

TEST_F(Library, RowClicksSwitchReuseOrLoad) {
    const std::wstring alpha = wav("Alpha.wav"), bravo = wav("Bravo.wav");
    load(alpha);
    plugin->bank.addFiles({bravo});
    ASSERT_EQ(plugin->bank.selection(), alpha);

    host.calls.clear();
    click(LibraryRow, 0);
    EXPECT_FALSE(waveSound()) << "row 0 is the built-in sound";
    EXPECT_EQ(editedIndices(), std::vector<int>{pSound});

    const SampleData* loaded = plugin->bank.published.load();
    const int32_t revision = plugin->bank.revision.load();
    host.calls.clear();
    click(LibraryRow, 1);
    EXPECT_TRUE(waveSound()) << "the loaded file's row switches back to it";
    EXPECT_EQ(plugin->bank.published.load(), loaded) << "without reloading";
    EXPECT_EQ(plugin->bank.revision.load(), revision);
    EXPECT_EQ(editedIndices(), std::vector<int>{pSound});

    host.calls.clear();
    click(LibraryRow, 2);
    EXPECT_EQ(plugin->bank.selection(), bravo);
    EXPECT_NE(plugin->bank.published.load(), loaded);
    EXPECT_EQ(editedIndices(), (std::vector<int>{pWaveRoot, pSound}));
    paint();
    EXPECT_EQ(editor->summary.name, L"Bravo");
    EXPECT_TRUE(log.boxes.empty());
}

TEST_F(Library, RemoveMarks) {
    const std::wstring alpha = wav("Alpha.wav"), bravo = wav("Bravo.wav"), charlie = wav("Charlie.wav");
    load(alpha);
    plugin->bank.addFiles({bravo, charlie});
    handle([](Editor& e) { e.keyPressed('A', false, false); });
    consume();

    // Another file's mark: the list shrinks, the sound and the keys stay.
    click(RemoveFile, 2);
    EXPECT_EQ(bankPaths(), (std::vector<std::wstring>{alpha, charlie}));
    EXPECT_EQ(editor->library, bankPaths()) << "copied again at once";
    EXPECT_TRUE(pending().empty());
    EXPECT_TRUE(waveSound());

    // A second click on the old last row before any repaint: past the copied
    // list, so nothing happens.
    const Point stale = centre(hitOf(RemoveFile, 3));
    handle([&](Editor& e) { e.buttonPressed(stale); });
    release();
    EXPECT_EQ(bankPaths(), (std::vector<std::wstring>{alpha, charlie}));

    // The mark of the sound in use: it goes, the keys get their note-offs.
    click(RemoveFile, 1);
    EXPECT_EQ(bankPaths(), std::vector<std::wstring>{charlie});
    EXPECT_FALSE(waveSound());
    EXPECT_EQ(ringNotes(), (std::vector<std::pair<int, int>>{{0x8F, 60}}));
    EXPECT_TRUE(plugin->resetRequest.load());
    EXPECT_EQ(plugin->bank.published.load(), nullptr);
}

TEST_F(Library, DeleteWithTheSynthSendsNoNoteOffs) {
    load(wav("Alpha.wav"));
    click(SoundSwitch, 0);
    handle([](Editor& e) { e.keyPressed('A', false, false); });
    press(Pad, 2);
    consume();

    handle([](Editor& e) { EXPECT_TRUE(e.keyPressed(vkDelete, false, false)); });
    EXPECT_TRUE(pending().empty());
    EXPECT_FALSE(plugin->resetRequest.load());
    EXPECT_EQ(plugin->bank.published.load(), nullptr) << "the loaded WAV is gone all the same";
    EXPECT_EQ(editor->summary.frames, 0u);
    paint();
    EXPECT_FALSE(hitOf(RemoveCurrent).enabled);
}

TEST_F(Library, DeleteOrQuitarWithTheWaveInUseReleaseEverything) {
    for (bool byKey : {true, false}) {
        SCOPED_TRACE(byKey ? "Delete" : "Quitar");
        const std::wstring alpha = wav("Alpha.wav");
        load(alpha);
        ASSERT_TRUE(waveSound());
        handle([](Editor& e) { e.keyPressed('A', false, false); });
        handle([](Editor& e) { e.keyPressed('H', false, false); });
        press(Pad, 2);
        consume();
        plugin->resetRequest.store(false);
        host.calls.clear();

        if (byKey) {
            handle([](Editor& e) { EXPECT_TRUE(e.keyPressed(vkDelete, false, false)); });
        } else {
            release(); // the pad ends with its own release here
            consume();
            press(RemoveCurrent);
            release();
        }
        std::vector<std::pair<int, int>> offs = {{0x8F, 60}, {0x8F, 69}};
        if (byKey) offs.push_back({0x8E, 64});
        EXPECT_EQ(ringNotes(), offs);
        EXPECT_FALSE(waveSound());
        EXPECT_TRUE(plugin->resetRequest.load());
        EXPECT_EQ(editedIndices(), std::vector<int>{pSound});
        EXPECT_TRUE(bankPaths().empty()) << "the current sound leaves the library";
        consume();
        release();
    }
}

TEST_F(Library, ShellDropAddsInOrderAndLoadsTheFirst) {
    const std::wstring old = wav("Charlie.wav", "Old.wav");
    plugin->bank.addFiles({old});
    const std::vector<std::wstring> dropped = {wav("Bravo.wav", "Zulu.wav"), wav("Alpha.wav"),
                                               wav("Charlie.wav")};
    editor->scroll = 3;
    editor->dropHover = true;
    handle([&](Editor& e) { e.shellDrop(dropped); });
    EXPECT_EQ(log.deferredPosts, 1);
    EXPECT_FALSE(editor->dropHover);
    EXPECT_EQ(bankPaths(), std::vector<std::wstring>{old}) << "nothing happens before the deferred message";

    const int repaints = log.repaints;
    handle([](Editor& e) { e.deferredDrop(); });
    EXPECT_EQ(bankPaths(), (std::vector<std::wstring>{old, dropped[0], dropped[1], dropped[2]}));
    EXPECT_EQ(editor->scroll, 0);
    EXPECT_EQ(plugin->bank.selection(), dropped[0]);
    EXPECT_TRUE(waveSound());
    EXPECT_GT(log.repaints, repaints);
    EXPECT_TRUE(editor->pendingDrop.empty());
    EXPECT_TRUE(log.boxes.empty());
}

TEST_F(Library, DropWithoutPathsAndAReplacedDrop) {
    const int32_t revision = plugin->bank.revision.load();
    handle([](Editor& e) { e.shellDrop({}); });
    EXPECT_EQ(log.deferredPosts, 1) << "posted even when empty";
    handle([](Editor& e) { e.deferredDrop(); });
    EXPECT_EQ(plugin->bank.revision.load(), revision);
    EXPECT_EQ(log.repaints, 0);

    // A second drop before the message arrives replaces the waiting list.
    const std::wstring alpha = wav("Alpha.wav"), bravo = wav("Bravo.wav");
    handle([&](Editor& e) { e.shellDrop({alpha}); });
    handle([&](Editor& e) { e.deliver({bravo}); });
    handle([](Editor& e) { e.deferredDrop(); });
    EXPECT_EQ(bankPaths(), std::vector<std::wstring>{bravo});
    handle([](Editor& e) { e.deferredDrop(); });
    EXPECT_EQ(bankPaths(), std::vector<std::wstring>{bravo}) << "one message, one drop";
}

TEST_F(Library, DropTargetCallbacks) {
    // Either panel, its first and last pixels in, the next ones out.
    const Rect& lib = regions::libraryPanel;
    const Rect& sound = regions::soundPanel;
    const struct {
        Point at;
        bool accepted;
    } points[] = {{{lib.left, lib.top}, true},
                  {{lib.right - 1, lib.bottom - 1}, true},
                  {{150, 300}, true},
                  {{sound.left, sound.top}, true},
                  {{sound.right - 1, sound.bottom - 1}, true},
                  {{700, 120}, true},
                  {{lib.left - 1, 300}, false},
                  {{lib.right, 300}, false},
                  {{150, lib.bottom}, false},
                  {{sound.left - 1, 100}, false},
                  {{sound.right, 100}, false},
                  {{700, sound.bottom}, false},
                  {{300, 120}, false},
                  {{600, 600}, false}};
    for (const auto& p : points)
        EXPECT_EQ(editor->acceptsDrop(p.at), p.accepted) << p.at.x << "," << p.at.y;

    handle([](Editor& e) { e.hover(true); });
    EXPECT_TRUE(editor->dropHover);
    EXPECT_EQ(log.repaints, 1) << "the highlight repaints at once";
    handle([](Editor& e) { e.hover(false); });
    EXPECT_FALSE(editor->dropHover);

    // With the window gone a late drop is discarded.
    editor->window = nullptr;
    handle([](Editor& e) { e.hover(true); });
    EXPECT_EQ(log.repaints, 2);
    handle([&](Editor& e) { e.deliver({wav("Alpha.wav")}); });
    EXPECT_TRUE(editor->pendingDrop.empty());
    EXPECT_EQ(log.deferredPosts, 0);
}

TEST_F(Library, DropsAndTheAddDialogSkipPathsTheLibraryCannotKeep) {
    const std::wstring alpha = wav("Alpha.wav");
    const std::wstring text = editorPath(dir + "/notes.txt");
    const std::wstring surrogate = editorPath(dir + "/bad") + wchar_t(0xD800) + L".wav";
    // 30000 characters, each three bytes in UTF-8: a valid Windows path the
    // project cannot store.
    const std::wstring huge = L"C:\\" + std::wstring(30000, wchar_t(0x4E00)) + L".wav";
    ASSERT_TRUE(isWavePath(huge));
    ASSERT_FALSE(isStorablePath(huge));
    ASSERT_FALSE(isStorablePath(surrogate));

    handle([&](Editor& e) { e.deliver({text, alpha, surrogate, huge}); });
    handle([](Editor& e) { e.deferredDrop(); });
    ASSERT_EQ(log.boxes.size(), 1u);
    EXPECT_EQ(log.boxes[0].caption, oneShots);
    EXPECT_EQ(log.boxes[0].style, 0x40u);
    const std::wstring& shown = log.boxes[0].text;
    EXPECT_EQ(shown.find(L"Estos archivos no se agregaron"), 0u);
    EXPECT_NE(shown.find(L"\nnotes.txt"), std::wstring::npos);
    EXPECT_NE(shown.find(std::wstring(L"\nbad") + wchar_t(0xD800) + L".wav"), std::wstring::npos);
    EXPECT_NE(shown.find(L"\n" + std::wstring(80, wchar_t(0x4E00)) + L"..."), std::wstring::npos)
        << "a long name is cut";
    EXPECT_LT(shown.size(), 600u);
    EXPECT_EQ(bankPaths(), std::vector<std::wstring>{alpha});
    EXPECT_EQ(plugin->bank.selection(), alpha);

    // The add dialog filters the same way; with nothing left nothing happens.
    ui->openReply = openReplyFor(editorPath(dir), {L"notes.txt", L"readme.md"});
    const int32_t revision = plugin->bank.revision.load();
    click(AddWaves);
    ASSERT_EQ(log.boxes.size(), 2u);
    EXPECT_NE(log.boxes[1].text.find(L"\nreadme.md"), std::wstring::npos);
    EXPECT_EQ(plugin->bank.revision.load(), revision);
    EXPECT_EQ(plugin->bank.selection(), alpha);
}

TEST_F(Library, SkippedFilesBoxNamesAtMostTwelve) {
    std::vector<std::wstring> names;
    for (int i = 0; i < 20; ++i)
        names.push_back(L"clip" + std::to_wstring(i) + L".aiff");
    ui->openReply = openReplyFor(editorPath(dir), names);
    click(AddWaves);
    ASSERT_EQ(log.boxes.size(), 1u);
    const std::wstring& shown = log.boxes[0].text;
    EXPECT_NE(shown.find(L"\nclip11.aiff"), std::wstring::npos);
    EXPECT_EQ(shown.find(L"clip12.aiff"), std::wstring::npos);
    EXPECT_EQ(shown.substr(shown.size() - 4), L"\n...");
}

TEST_F(Library, AddDialogOutcomes) {
    const std::wstring alpha = wav("Alpha.wav"), bravo = wav("Bravo.wav"), charlie = wav("Charlie.wav");

    // One file.
    ui->openReply = openReplyFor(bravo);
    click(AddWaves);
    EXPECT_EQ(bankPaths(), std::vector<std::wstring>{bravo});
    EXPECT_EQ(plugin->bank.selection(), bravo);
    EXPECT_EQ(editor->pressedType, -1) << "the dialog took the button release";

    // Three in a folder, in the dialog's order; the first is loaded.
    plugin->bank.restoreLibrary(L"", {});
    editor->scroll = 1;
    // The folder as Linux spells it, ending in a separator, so that joining adds none.
    ui->openReply = openReplyFor(editorPath(dir) + L"/", {L"Charlie.wav", L"Alpha.wav", L"Bravo.wav"});
    click(AddWaves);
    EXPECT_EQ(bankPaths(), (std::vector<std::wstring>{charlie, alpha, bravo}));
    EXPECT_EQ(plugin->bank.selection(), charlie);
    EXPECT_EQ(editor->scroll, 0);

    // A file already listed: the list stays, the file still loads.
    ui->openReply = openReplyFor(alpha);
    click(AddWaves);
    EXPECT_EQ(bankPaths(), (std::vector<std::wstring>{charlie, alpha, bravo}));
    EXPECT_EQ(plugin->bank.selection(), alpha);

    // Cancelled: nothing.
    ui->openReply = OpenReply{};
    const int32_t revision = plugin->bank.revision.load();
    click(AddWaves);
    EXPECT_EQ(plugin->bank.revision.load(), revision);
    EXPECT_TRUE(log.boxes.empty());

    // A selection too big for the dialog's buffer says so.
    ui->openReply.tooSmall = true;
    click(AddWaves);
    ASSERT_EQ(log.boxes.size(), 1u);
    EXPECT_EQ(log.boxes[0].text, L"Demasiados archivos a la vez. Elige menos archivos.");
    EXPECT_EQ(log.boxes[0].caption, oneShots);
    EXPECT_EQ(plugin->bank.revision.load(), revision);
    EXPECT_EQ(log.modal, (std::vector<std::string>{"open", "open", "open", "open", "open", "box"}));
}

TEST_F(Library, UnreadableWaveShowsTheLoaderMessageAndKeepsTheSound) {
    const std::wstring alpha = wav("Alpha.wav");
    load(alpha);
    const ParamValues before = plugin->snapshot();
    const SampleData* sound = plugin->bank.published.load();

    const std::wstring bad = junk("Broken.wav");
    std::string message;
    try {
        loadWave(bad);
    } catch (const std::exception& e) {
        message = e.what();
    }
    ASSERT_FALSE(message.empty());

    ui->openReply = openReplyFor(bad);
    click(AddWaves);
    ASSERT_EQ(log.boxes.size(), 1u);
    EXPECT_EQ(log.boxes[0].text, widen(message));
    EXPECT_EQ(log.boxes[0].caption, oneShots);
    EXPECT_EQ(log.boxes[0].style, 0x40u);
    EXPECT_EQ(bankPaths(), (std::vector<std::wstring>{alpha, bad})) << "the added file stays listed";
    EXPECT_EQ(plugin->bank.selection(), alpha);
    EXPECT_EQ(plugin->bank.published.load(), sound);
    EXPECT_EQ(plugin->snapshot(), before);

    // A file that is gone, clicked in the list.
    const std::wstring gone = editorPath(dir + "/Gone.wav");
    plugin->bank.addFiles({gone});
    click(LibraryRow, 3);
    ASSERT_EQ(log.boxes.size(), 2u);
    EXPECT_EQ(log.boxes[1].text, L"No se pudo abrir ese WAV");
    EXPECT_EQ(plugin->bank.selection(), alpha);
}

TEST_F(Library, FolderOutcomes) {
    const std::wstring alpha = wav("Alpha.wav");
    load(alpha);
    const std::string folder = scratchDir(std::string("library-folder"));
    copyFile(fixture("Charlie.wav"), folder + "/Charlie.wav");
    copyFile(fixture("Alpha.wav"), folder + "/alpha.wav");
    copyFile(fixture("Bravo.wav"), folder + "/Bravo.WAV");
    std::ofstream(folder + "/notes.txt") << "not a sound";

    // A folder of one-shots: its WAV files, sorted without regard to case.
    editor->scroll = 2;
    ui->folderReply = {FolderReply::chosen, editorPath(folder)};
    click(Folder);
    const std::wstring f = editorPath(folder) + L"/";
    EXPECT_EQ(bankPaths(),
              (std::vector<std::wstring>{f + L"alpha.wav", f + L"Bravo.WAV", f + L"Charlie.wav"}));
    EXPECT_EQ(editor->library, bankPaths());
    EXPECT_EQ(editor->scroll, 0);
    EXPECT_EQ(plugin->bank.selection(), alpha) << "the current sound stays";
    EXPECT_EQ(editor->pressedType, -1);

    // A folder without WAV files empties the list.
    const std::string empty = scratchDir("library-folder-empty");
    ui->folderReply = {FolderReply::chosen, editorPath(empty)};
    click(Folder);
    EXPECT_TRUE(bankPaths().empty());
    EXPECT_TRUE(waveSound());

    // A folder that cannot be listed changes nothing.
    plugin->bank.addFiles({alpha});
    const int32_t revision = plugin->bank.revision.load();
    ui->folderReply = {FolderReply::chosen, editorPath(folder + "/missing")};
    click(Folder);
    ASSERT_EQ(log.boxes.size(), 1u);
    EXPECT_EQ(log.boxes[0].text, L"No se pudo abrir esa carpeta");
    EXPECT_EQ(log.boxes[0].caption, oneShots);
    EXPECT_EQ(plugin->bank.revision.load(), revision);
    EXPECT_EQ(bankPaths(), std::vector<std::wstring>{alpha});

    // Cancelled: nothing; a folder without a file-system path: the same message.
    ui->folderReply = {FolderReply::cancelled, L""};
    click(Folder);
    EXPECT_EQ(log.boxes.size(), 1u);
    ui->folderReply = {FolderReply::noPath, L""};
    click(Folder);
    ASSERT_EQ(log.boxes.size(), 2u);
    EXPECT_EQ(log.boxes[1].text, L"No se pudo abrir esa carpeta");
    EXPECT_EQ(plugin->bank.revision.load(), revision);
}

TEST_F(Library, LibraryCopyFollowsTheRevision) {
    // A library restored without a revision change is still copied by the first paint.
    plugin->bank.paths = {L"C:\\w\\a.wav", L"C:\\w\\b.wav"};
    ASSERT_EQ(plugin->bank.revision.load(), 0);
    paint();
    EXPECT_EQ(editor->library, plugin->bank.paths);
    EXPECT_EQ(editor->cachedRevision, 0);

    // No change, no copy.
    plugin->bank.paths.push_back(L"C:\\w\\c.wav");
    paint();
    EXPECT_EQ(editor->library.size(), 2u);

    // Ten entries: a scroll of 8 becomes 6; four entries keep it at 0.
    std::vector<std::wstring> ten;
    for (int i = 0; i < 10; ++i)
        ten.push_back(L"C:\\w\\" + std::to_wstring(i) + L".wav");
    plugin->bank.restoreLibrary(L"", ten);
    editor->scroll = 8;
    handle([](Editor& e) { e.refreshLibrary(); });
    EXPECT_EQ(editor->library, ten);
    EXPECT_EQ(editor->scroll, 6);
    ten.resize(4);
    plugin->bank.restoreLibrary(L"", ten);
    editor->scroll = 3;
    handle([](Editor& e) { e.refreshLibrary(); });
    EXPECT_EQ(editor->scroll, 0);
    editor->scroll = -5;
    plugin->bank.addFiles({});
    handle([](Editor& e) { e.refreshLibrary(); });
    EXPECT_EQ(editor->scroll, 0);

    // The summary of the loaded sound comes with the copy.
    load(wav("Stereo.wav"));
    paint();
    EXPECT_EQ(editor->summary.name, L"Stereo");
    EXPECT_EQ(editor->summary.sampleRate, 44100.0);
    EXPECT_NEAR(editor->summary.seconds, 2.96, 1e-4);
}

} // namespace
