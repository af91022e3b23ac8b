// The take out of the plug-in: saved through the save dialog or written to the
// temporary folder and dragged, and every way that can fail.
#include <gtest/gtest.h>

#include <limits>
#include <regex>
#include <string>
#include <vector>

#include "plugin/text/text.hpp"
#include "tests/editor/editor_fixture.hpp"

namespace {

using namespace palmtone;
using namespace editortest;

const std::wstring saveFailed = L"No se pudo guardar. Elige otra carpeta.";
const std::wstring dragFailed = L"Usa Guardar archivo .mid e importalo al Piano roll con Ctrl+M.";
const std::wstring notReady = L"No se pudo preparar el MIDI; la toma sigue disponible.";
constexpr int32_t dragDropped = 0x00040100;
constexpr int32_t dragCancelled = 0x00040101;
constexpr int32_t dragError = static_cast<int32_t>(0x80004005u);

class Export : public EditorTest {
  protected:
    Export() {
        dir = testScratchDir("export-");
        ui->temporaryFolderPath = editorPath(dir) + L"/";
        setTake(*plugin, triad());
    }
    // Presses "Arrastrar MIDI" and moves six pixels: the drag starts.
    void dragOut() {
        paint();
        const Point at = centre(hitOf(DragMidi, 1));
        press(DragMidi, 1);
        handle([&](Editor& e) { e.mouseMoved({at.x + 6, at.y}); });
        release();
    }
    std::string onDisk(const std::wstring& path) const { return utf8(path).substr(1); }
    std::string dir;
};

TEST_F(Export, SavingTwiceReplacesTheFile) {
    const std::string target = dir + "/take.mid";
    ui->savePath = editorPath(target);
    click(SaveMidi);
    EXPECT_EQ(log.proposedNames, std::vector<std::wstring>{L"VELK_acordes.mid"});
    const std::vector<uint8_t> first = plugin->capture.midiFile();
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(readFile(target), first);
    EXPECT_EQ(editor->pressedType, -1);

    // A new take saved under the same name replaces the file entirely.
    setTake(*plugin, {noteAt(0.0, 72, true), noteAt(3.0, 72, false)});
    click(SaveMidi);
    const std::vector<uint8_t> second = plugin->capture.midiFile();
    ASSERT_NE(second, first);
    EXPECT_EQ(readFile(target), second);
    EXPECT_EQ(filesIn(dir), std::vector<std::string>{"take.mid"});
    EXPECT_TRUE(log.boxes.empty());
    EXPECT_EQ(plugin->capture.state.load(), tamso::Finished) << "exporting never changes the take";
}

TEST_F(Export, FailedSaveShowsOneMessageAndKeepsTheOldFile) {
    const std::string target = dir + "/take.mid";
    ui->savePath = editorPath(target);
    click(SaveMidi);
    const std::vector<uint8_t> old = readFile(target);

    setTake(*plugin, {noteAt(0.0, 48, true), noteAt(1.0, 48, false)});
    ui->writesFail = true;
    click(SaveMidi);
    ASSERT_EQ(log.boxes.size(), 1u);
    EXPECT_EQ(log.boxes[0].text, saveFailed);
    EXPECT_EQ(log.boxes[0].caption, L"VELK");
    EXPECT_EQ(log.boxes[0].style, 0x10u);
    EXPECT_EQ(readFile(target), old);

    // A cancelled dialog writes nothing and says nothing.
    ui->writesFail = false;
    ui->savePath.clear();
    click(SaveMidi);
    EXPECT_EQ(log.boxes.size(), 1u);
    EXPECT_EQ(readFile(target), old);
}

TEST_F(Export, TwoDragsLeaveTwoFilesWithTheirOwnNames) {
    dragOut();
    dragOut();
    ASSERT_EQ(log.drags.size(), 2u);
    EXPECT_NE(log.drags[0], log.drags[1]);
    const std::wregex name(
        LR"(VELK_acordes_\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\}\.mid)");
    const std::vector<uint8_t> bytes = plugin->capture.midiFile();
    for (const std::wstring& path : log.drags) {
        ASSERT_EQ(path.rfind(ui->temporaryFolderPath, 0), 0u) << "in the temporary folder";
        EXPECT_TRUE(std::regex_match(path.substr(ui->temporaryFolderPath.size()), name));
        EXPECT_EQ(readFile(onDisk(path)), bytes);
    }
    EXPECT_EQ(filesIn(dir).size(), 2u);
    EXPECT_TRUE(log.boxes.empty());
    EXPECT_TRUE(log.proposedNames.empty());
}

TEST_F(Export, DragFailureAndCancel) {
    const struct {
        int32_t result;
        bool message;
    } cases[] = {{dragDropped, false}, {dragCancelled, false}, {dragError, true}};
    for (const auto& k : cases) {
        SCOPED_TRACE(k.result);
        log.boxes.clear();
        ui->dragResult = k.result;
        dragOut();
        ASSERT_FALSE(log.drags.empty());
        EXPECT_TRUE(exists(onDisk(log.drags.back()))) << "the temporary file stays";
        ASSERT_EQ(log.boxes.size(), k.message ? 1u : 0u);
        if (k.message) {
            EXPECT_EQ(log.boxes[0].text, dragFailed);
            EXPECT_EQ(log.boxes[0].caption, L"VELK");
            EXPECT_EQ(log.boxes[0].style, 0x40u);
        }
    }
}

TEST_F(Export, DragWithoutAFileToDrag) {
    // No temporary folder: the advice to save instead, and no drag.
    ui->temporaryFolderPath.clear();
    dragOut();
    ASSERT_EQ(log.boxes.size(), 1u);
    EXPECT_EQ(log.boxes[0].text, dragFailed);

    // No GUID: silent.
    ui->temporaryFolderPath = editorPath(dir) + L"/";
    ui->guidFails = true;
    dragOut();
    EXPECT_EQ(log.boxes.size(), 1u);

    // The temporary file cannot be written.
    ui->guidFails = false;
    ui->writesFail = true;
    dragOut();
    ASSERT_EQ(log.boxes.size(), 2u);
    EXPECT_EQ(log.boxes[1].text, dragFailed);

    EXPECT_TRUE(log.drags.empty());
    EXPECT_TRUE(filesIn(dir).empty());
}

TEST_F(Export, NothingIsExportedWhileACountInRuns) {
    ui->savePath = editorPath(dir + "/take.mid");
    ui->boxAnswers = {box::idOk};
    click(Record); // replaces the finished take: the count-in starts
    ASSERT_TRUE(plugin->countIn.active.load());
    runBlocks(2);
    ASSERT_TRUE(plugin->countIn.active.load());
    EXPECT_EQ(plugin->capture.state.load(), tamso::Finished) << "the old take is still there";

    paint();
    EXPECT_FALSE(hitOf(SaveMidi).enabled);
    EXPECT_FALSE(hitOf(DragMidi, 1).enabled);
    handle([](Editor& e) {
        e.save();
        e.drag();
        EXPECT_TRUE(e.midi().empty());
    });
    EXPECT_TRUE(log.proposedNames.empty());
    EXPECT_TRUE(log.drags.empty());
    EXPECT_EQ(log.boxes.size(), 1u) << "only the confirmation";
    EXPECT_TRUE(filesIn(dir).empty());
}

TEST_F(Export, NothingToExportSaysNothing) {
    const struct {
        const char* name;
        std::vector<tamso::CapturedNote> entries;
        int32_t state;
    } cases[] = {
        {"recording", triad(), tamso::Recording},
        {"finished, empty", {}, tamso::Finished},
        {"finished, only note-offs", {noteAt(1.0, 60, false)}, tamso::Finished},
    };
    ui->savePath = editorPath(dir + "/take.mid");
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        setTake(*plugin, k.entries, k.state);
        handle([](Editor& e) {
            e.save();
            e.drag();
        });
    }
    EXPECT_TRUE(log.modal.empty());
    EXPECT_TRUE(filesIn(dir).empty());
}

TEST_F(Export, TakeTooLongToWrite) {
    // Past the last tick a MIDI file can hold, or at a position that is no number.
    const double positions[] = {300000.0, std::numeric_limits<double>::quiet_NaN()};
    for (double far : positions) {
        SCOPED_TRACE(far);
        setTake(
            *plugin,
            {noteAt(0.0, 60, true), noteAt(0.5, 60, false), noteAt(far, 62, true), noteAt(far, 62, false)},
            tamso::Full);
        ASSERT_THROW(plugin->capture.midiFile(), std::runtime_error);
        log.boxes.clear();
        ui->savePath = editorPath(dir + "/take.mid");
        click(SaveMidi);
        dragOut();
        ASSERT_EQ(log.boxes.size(), 2u);
        for (const ShownBox& b : log.boxes) {
            EXPECT_EQ(b.text, notReady);
            EXPECT_EQ(b.caption, L"VELK");
            EXPECT_EQ(b.style, 0x10u);
        }
        EXPECT_TRUE(log.proposedNames.empty()) << "no save dialog";
        EXPECT_TRUE(log.drags.empty());
        EXPECT_TRUE(filesIn(dir).empty()) << "no file, temporary or not";
        EXPECT_EQ(plugin->capture.state.load(), tamso::Full);
        EXPECT_EQ(plugin->capture.entryCount, 4);
        EXPECT_EQ(editor->pressedType, -1);
    }
}

} // namespace
