#pragma once
// The editor's portable model with a real palmtone::Plugin and a recording
// window system: a host callback that keeps every call the plug-in makes, a
// fake Ui that writes each call into a journal the test owns (so the journal
// outlives an editor the host closed) and answers as told, and helpers for the
// UI event ring, takes and files.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "chords/midi_capture.hpp"
#include "editor/editor.hpp"
#include "editor/hit.hpp"
#include "editor/key_tables.hpp"
#include "editor/menu.hpp"
#include "editor/texts.hpp"
#include "editor/ui.hpp"
#include "plugin/plugin.hpp"
#include "tests/support/quiet_host.hpp"
#include "tools/vst-host/host_call.hpp"

namespace editortest {

using palmtone::Editor;
using palmtone::Hit;
using palmtone::HitType;
using palmtone::InputEvent;
using palmtone::Plugin;
using palmtone::Point;

// ---- one event of the UI event ring, as the tests compare it ----

struct Ev {
    int status, note, velocity;
    bool operator==(const Ev& o) const {
        return status == o.status && note == o.note && velocity == o.velocity;
    }
};
inline std::ostream& operator<<(std::ostream& os, const Ev& e) {
    return os << "{0x" << std::hex << e.status << std::dec << ", " << e.note << ", " << e.velocity << "}";
}

// ---- the host ----

using vsthost::HostCall;

// The quiet host with a record of the plug-in's calls; lives longer than the
// plug-in it serves (makePlugin gives one that calls back here).
class Host : public velktest::QuietHost {
  public:
    // The begin-edit, automate and end-edit calls.
    std::vector<HostCall> edits() const;

    std::vector<HostCall> calls;

  protected:
    void heard(const HostCall& call) override { calls.push_back(call); }
};

// ---- the window system ----

struct ShownBox {
    std::wstring text;
    std::wstring caption;
    uint32_t style;
};

struct ShownMenu {
    palmtone::Menu menu;
    Point at;
};

// What the fake window system was asked, in order; owned by the test.
struct UiLog {
    int repaints = 0;
    int captures = 0;
    int captureReleases = 0;
    int focus = 0;
    int trackLeave = 0;
    int deferredPosts = 0;
    int windowsDestroyed = 0;
    bool captured = false;
    std::vector<std::string> modal; // "box", "menu", "open", "folder", "save", "drag" in call order
    std::vector<ShownBox> boxes;
    std::vector<ShownMenu> menus;
    std::vector<std::wstring> proposedNames; // what the save dialog was opened with
    std::vector<std::wstring> drags;         // the paths handed to the file drag
    std::vector<std::wstring> written;       // files the export wrote
    bool seamGone = false;                   // the editor freed its Ui
};

// Answers as told; every modal call runs `duringModal` first (a host closing
// the editor, a repaint inside the loop, automation from the host).
class FakeUi : public palmtone::Ui {
  public:
    explicit FakeUi(UiLog& log) : log_(log) {}
    ~FakeUi() override { log_.seamGone = true; }

    Editor* editor = nullptr; // the window's editor, for the teardown of destroyWindow

    // --- answers ---
    std::vector<int> boxAnswers; // taken in order; IDOK once they run out
    int32_t menuAnswer = 0;
    palmtone::OpenReply openReply;
    palmtone::FolderReply folderReply;
    std::wstring savePath;            // empty: the save dialog is cancelled
    int32_t dragResult = 0x00040100;  // DRAGDROP_S_DROP
    std::wstring temporaryFolderPath; // empty: no temporary folder
    bool guidFails = false;
    bool writesFail = false;
    std::function<void(const char* kind)> duringModal;
    // The keyboard and the mouse: every key and the button read as held down
    // unless listed here (the devices agree with the messages by default).
    std::set<int32_t> keysUp;
    bool buttonUp = false;

    // --- palmtone::Ui ---
    void repaint() override { ++log_.repaints; }
    void capture() override {
        ++log_.captures;
        log_.captured = true;
    }
    void releaseCapture() override {
        ++log_.captureReleases;
        log_.captured = false;
    }
    bool hasCapture() override { return log_.captured; }
    void focus() override { ++log_.focus; }
    void trackLeave() override { ++log_.trackLeave; }
    void postDeferredDrop() override { ++log_.deferredPosts; }
    void destroyWindow() override;
    bool keyDown(int32_t virtualKey) override { return keysUp.count(virtualKey) == 0; }
    bool mouseButtonDown() override { return !buttonUp; }
    int messageBox(const std::wstring& text, const wchar_t* caption, uint32_t style) override;
    int32_t popupMenu(const palmtone::Menu& menu, Point at) override;
    palmtone::OpenReply openWaveFiles() override;
    palmtone::FolderReply chooseFolder() override;
    bool chooseMidiPath(std::wstring& path) override;
    int32_t dragFile(const std::wstring& path) override;
    bool temporaryFolder(std::wstring& folder) override;
    bool newGuidText(std::wstring& text) override;
    bool writeReplacing(const std::wstring& path, const std::vector<uint8_t>& bytes) override;
    bool writeNew(const std::wstring& path, const std::vector<uint8_t>& bytes) override;

  private:
    void modal(const char* kind);
    UiLog& log_;
    int guids_ = 0;
};

// ---- one instance with an open editor ----

class EditorTest : public ::testing::Test {
  public: // open to the tables of cases that drive it
    EditorTest();
    ~EditorTest() override;

    // One window-procedure frame around a handler: when the host closed the
    // editor meanwhile, this outermost frame frees it.
    void handle(const std::function<void(Editor&)>& handler);
    // A paint pass (hits exist only after one).
    void paint();
    // The last pass's hit of a type and value; fails the test when there is none.
    Hit hitOf(HitType type, int value = 0);
    Point centre(const Hit& hit) const;
    // Paints, then presses the left button in the middle of that hit.
    void press(HitType type, int value = 0);
    void release();
    void click(HitType type, int value = 0) {
        press(type, value);
        release();
    }

    // The host closes the editor now, as opcode 15 does (and frees the
    // instance too when `instanceToo`, as opcode 1 does).
    void hostCloses(bool instanceToo);

    // Events waiting in the UI event ring, oldest first; consume() takes them
    // as the audio thread would, without playing them.
    std::vector<InputEvent> pending() const;
    void consume();
    // The waiting events as the tests compare them; taken.
    std::vector<Ev> takeEvents();
    // A computer key pressed or let go in the window; true when the editor took it.
    bool keyDown(int32_t key, bool repeat = false, bool ctrlOrAlt = false);
    bool keyUp(int32_t key);
    // Audio blocks through Plugin::process.
    void runBlocks(int count, int32_t frames = 512);

    Host host;
    std::unique_ptr<Plugin> plugin;
    UiLog log;
    FakeUi* ui = nullptr;     // owned by the editor
    Editor* editor = nullptr; // null once freed
    bool editorFreed = false;
};

// ---- takes ----

// A note of the chord track.
tamso::CapturedNote noteAt(double beats, int note, bool on, int velocity = 100);
// Writes a stopped take straight into the recorder: its entries, the note
// count, the clock at the last entry and the state (Finished or Full).
void setTake(Plugin& plugin, const std::vector<tamso::CapturedNote>& entries,
             int32_t state = tamso::Finished);
// C E G from beat 0 to beat 1.
std::vector<tamso::CapturedNote> triad(double from = 0.0, double to = 1.0);

// ---- files ----

// The WAV fixtures sox wrote for these tests (Linux path).
std::string fixture(const std::string& name);
// A fresh, empty folder of the build tree (Linux path).
std::string scratchDir(const std::string& name);
// The same, named prefix + the running test's name ('/' of a parameterised
// case as '_').
std::string testScratchDir(const std::string& prefix);
// A Linux absolute path as the plug-in's path rules accept it: Windows path
// grammar takes "//server/share/..." as a network path, and Linux reads a
// leading "//" as "/", so both sides agree on the same file.
std::wstring editorPath(const std::string& linuxPath);
std::vector<uint8_t> readFile(const std::string& linuxPath);
bool exists(const std::string& linuxPath);
void copyFile(const std::string& from, const std::string& to);
std::vector<std::string> filesIn(const std::string& linuxDir);

// The open dialog's reply for a folder and names (several) or one path.
palmtone::OpenReply openReplyFor(const std::wstring& folder, const std::vector<std::wstring>& names);
palmtone::OpenReply openReplyFor(const std::wstring& path);

// Presses "Arrastrar MIDI" and moves far enough to start the file drag.
inline void pressAndDrag(EditorTest& t) {
    t.paint();
    const Point at = t.centre(t.hitOf(palmtone::DragMidi, 1));
    t.press(palmtone::DragMidi, 1);
    t.handle([&](Editor& e) { e.mouseMoved({at.x + 6, at.y}); });
}

} // namespace editortest
