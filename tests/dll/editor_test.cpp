// The built plug-in's editor in the project's host, as a musician uses it: the
// window opened by opcode 14 inside a host frame, keys, pads, the volume and the
// transport driven by window messages, audio blocks between them, the real
// boxes, menus and save dialog answered from a second thread, and chord keys let
// go by real input inside a menu and a drag. What the host receives (MIDI,
// automation) and the file saved are checked.
#include <windows.h>

#include <shlobj.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

#include "chords/midi_file_drag_win32.hpp"
#include "tests/dll/editor_pixels.hpp"
#include "tests/dll/plugin_fixture.hpp"
#include "tests/support/file_check.hpp"
#include "tests/support/window_probe.hpp"
#include "tools/vst-host/editor_frame.hpp"

// The saved takes of this program, read back by read_midi.py.
const char* const velktest::readbackFolder = TAKE_READBACK_DIR;

namespace dlltest {
namespace {

using velktest::xdotool;
using vsthost::OutputMidi;

// Runs `answer` on a thread of its own once a window of `className` belonging
// to this process shows up; the test's own thread is inside the modal loop then.
// join() tells whether it showed. The thread stops looking once the test's
// thread is back from its click (no loop ran, so no window will come), else
// after velktest::patience, saying at once what never showed: the test's thread
// may be caught in a loop whose window never came, and never reach its check.
class Answerer {
  public:
    Answerer(const wchar_t* className, std::function<void(HWND)> answer)
        : thread_([this, className, answer] {
              HWND found = nullptr;
              velktest::waitUntil([&] {
                  found = velktest::findWindow(GetCurrentProcessId(), className, 0);
                  return found != nullptr || back_.load();
              });
              if (found)
                  answer(found);
              else if (!back_.load())
                  ADD_FAILURE() << "no window of class " << std::wstring(className) << " showed within "
                                << velktest::patience.count() << " s";
              done_ = found != nullptr;
          }) {}
    ~Answerer() { join(); }
    bool join() {
        back_ = true;
        if (thread_.joinable()) thread_.join();
        return done_;
    }

  private:
    std::atomic<bool> done_{false}, back_{false};
    std::thread thread_;
};

class EditorTest : public PluginTest {
  protected:
    void SetUp() override {
        PluginTest::SetUp();
        host->keepAudio(false);
        frame = std::make_unique<vsthost::EditorFrame>(*host);
        ASSERT_EQ(frame->open(), 1);
        editor = frame->editor();
        ASSERT_NE(editor, nullptr);
        UpdateWindow(editor); // the first paint registers the clickable regions
    }
    void TearDown() override {
        frame.reset();
        PluginTest::TearDown();
    }

    // The MIDI the host received since the last call.
    std::vector<OutputMidi> newMidi() {
        std::vector<OutputMidi> all = sentMidi(*host);
        std::vector<OutputMidi> fresh(all.begin() + static_cast<std::ptrdiff_t>(seen_), all.end());
        seen_ = all.size();
        return fresh;
    }
    void key(UINT message, UINT vk) { vsthost::sendKey(editor, message, vk); }
    void press(int x, int y) { vsthost::sendMouse(editor, WM_LBUTTONDOWN, x, y, MK_LBUTTON); }
    void release(int x, int y) { vsthost::sendMouse(editor, WM_LBUTTONUP, x, y); }
    void clickAt(int x, int y) {
        press(x, y);
        release(x, y);
    }
    int64_t at() const { return host->position(); }

    std::unique_ptr<vsthost::EditorFrame> frame;
    HWND editor = nullptr;

  private:
    size_t seen_ = 0;
};

std::vector<OutputMidi> chord(int64_t time, std::initializer_list<int> notes, bool on) {
    std::vector<OutputMidi> out;
    for (int n : notes)
        out.push_back({time, static_cast<uint8_t>(on ? 0x90 : 0x80), static_cast<uint8_t>(n),
                       static_cast<uint8_t>(on ? 100 : 0)});
    return out;
}

TEST_F(EditorTest, ComputerKeysAndPadsPlayWholeChordsAtTheNextBlock) {
    host->setParameter(acordes, normalised(acordes, 0)); // triads
    key(WM_KEYDOWN, 'D');
    host->process(512);
    EXPECT_TRUE(sameMidi(newMidi(), chord(0, {64, 67, 71}, true)));
    key(WM_KEYUP, 'D');
    host->process(512);
    EXPECT_TRUE(sameMidi(newMidi(), chord(512, {64, 67, 71}, false)));

    // Pad V (G) held with the mouse.
    press(628 + 30, 400);
    host->process(512);
    EXPECT_TRUE(sameMidi(newMidi(), chord(1024, {67, 71, 74}, true)));
    release(628 + 30, 400);
    host->process(512);
    EXPECT_TRUE(sameMidi(newMidi(), chord(1536, {67, 71, 74}, false)));
}

TEST_F(EditorTest, FocusLossAndTheEditorsCloseReleaseHeldKeys) {
    host->setParameter(acordes, normalised(acordes, 0));
    key(WM_KEYDOWN, 'A');
    host->process(512);
    newMidi();
    SendMessageW(editor, WM_KILLFOCUS, 0, 0);
    host->process(512);
    EXPECT_TRUE(sameMidi(newMidi(), chord(512, {60, 64, 67}, false)));

    key(WM_KEYDOWN, 'F');
    host->process(512);
    newMidi();
    EXPECT_EQ(frame->close(), 1);
    EXPECT_EQ(frame->editor(), nullptr);
    host->process(512);
    EXPECT_TRUE(sameMidi(newMidi(), chord(1536, {65, 69, 72}, false)));
}

TEST_F(EditorTest, TheVolumeSliderIsAnEditGestureForTheHost) {
    host->clearLog();
    press(700, 50);
    vsthost::sendMouse(editor, WM_MOUSEMOVE, 768, 50, MK_LBUTTON);
    vsthost::sendMouse(editor, WM_MOUSEMOVE, 900, 50, MK_LBUTTON);
    release(900, 50);
    std::vector<float> values;
    int begins = 0, ends = 0;
    for (const vsthost::HostCall& c : host->calls()) {
        if (c.index != volumen) continue;
        if (c.opcode == 43) ++begins;
        if (c.opcode == 44) ++ends;
        if (c.opcode == 0) values.push_back(c.option);
    }
    EXPECT_EQ(values, (std::vector<float>{0.0f, 0.5f, 1.0f}));
    EXPECT_EQ(begins, 3);
    EXPECT_EQ(ends, 3);
    EXPECT_FLOAT_EQ(host->getParameter(volumen), 1.0f);
}

// The count-in runs three seconds of audio and the take starts at its last
// sample: a chord held through it enters the take there, at tick 0, and a note
// played 9600 samples (0.4 beats at 120 BPM) later lands at tick 384.
TEST_F(EditorTest, SpaceCountsInThenTheTakeIsRecordedStoppedAndSaved) {
    host->setParameter(acordes, normalised(acordes, 0));
    key(WM_KEYDOWN, 'A'); // C major, held through the count-in
    key(WM_KEYDOWN, VK_SPACE);
    key(WM_KEYUP, VK_SPACE);
    const int64_t countInEnd = at() + 3 * 48000;
    // Blocks of 512 up to the one holding sample t; t's offset in it.
    auto runTo = [&](int64_t t) {
        while (at() + 512 <= t)
            host->process(512);
        return static_cast<int32_t>(t - at());
    };
    host->sendEvents({{runTo(countInEnd + 9600), 0x90, 69, 100}}); // A minor
    host->process(512);
    host->sendEvents({{runTo(countInEnd + 24000), 0x80, 69, 0}}); // one beat in
    host->process(512);
    // Editor events act at a block's first sample: release A on a block start
    // that is a whole number of ticks (25 samples) after the take's start.
    const int64_t release = ((countInEnd + 30000) / 12800 + 1) * 12800;
    ASSERT_EQ(runTo(release), 0);
    key(WM_KEYUP, 'A');
    host->process(512);
    const uint32_t releaseTick = static_cast<uint32_t>((release - countInEnd) / 25);

    clickAt(297 + 50, 520); // "Detener"
    host->process(512);
    UpdateWindow(editor);

    const std::wstring folder = velktest::windowsPath(VELK_BINARY_DIR "/tests/dll/editor-saves");
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring path = folder + L"\\take.mid";
    DeleteFileW(path.c_str());
    Answerer dialog(velktest::dialogClass, [&](HWND d) {
        SetDlgItemTextW(d, velktest::saveDialogFileName, path.c_str());
        PostMessageW(d, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    clickAt(724 + 100, 599); // "Guardar archivo .mid"
    ASSERT_TRUE(dialog.join()) << "no save dialog showed";
    std::ifstream saved(path.c_str(), std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(saved)),
                                     std::istreambuf_iterator<char>());
    ASSERT_FALSE(bytes.empty()) << "nothing saved";
    velktest::expectSmf("editor_saved_take", bytes, 500000,
                        {{0, true, 60, 0, 100},
                         {0, true, 64, 0, 100},
                         {0, true, 67, 0, 100},
                         {384, true, 69, 0, 100},
                         {384, true, 72, 0, 100},
                         {384, true, 76, 0, 100},
                         {960, false, 69, 0, 0},
                         {960, false, 72, 0, 0},
                         {960, false, 76, 0, 0},
                         {releaseTick, false, 60, 0, 0},
                         {releaseTick, false, 64, 0, 0},
                         {releaseTick, false, 67, 0, 0}});
}

TEST_F(EditorTest, TheGuideIsAnInformationBoxOwnedByTheHostsWindow) {
    std::wstring caption, text;
    HWND owner = nullptr;
    bool icon = false;
    Answerer box(velktest::dialogClass, [&](HWND b) {
        const velktest::Box found = velktest::readBox(b);
        owner = GetWindow(b, GW_OWNER);
        caption = found.caption;
        text = found.text;
        for (HWND child : velktest::children(b))
            if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
                icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0)) ==
                       LoadIconW(nullptr, IDI_INFORMATION);
        // Said here: with the box still open the test's thread never returns.
        EXPECT_TRUE(velktest::answer(found, IDOK)) << "the guide box stayed open after OK";
    });
    clickAt(900, 40);
    ASSERT_TRUE(box.join()) << "no guide box showed";
    EXPECT_EQ(owner, frame->frame()) << "the box is owned by the host's window";
    EXPECT_EQ(caption, L"VELK beta - Guia");
    EXPECT_EQ(text.substr(0, 30), L"UNA TECLA = UN ACORDE COMPLETO");
    EXPECT_EQ(text.size(), 1716u);
    EXPECT_TRUE(icon);
}

TEST_F(EditorTest, TheOctaveMenuShowsItsCheckMarkAndSetsTheChoice) {
    std::vector<std::wstring> items;
    int checked = -1;
    Answerer menu(L"#32768", [&](HWND m) {
        HMENU handle = reinterpret_cast<HMENU>(SendMessageW(m, MN_GETHMENU, 0, 0));
        for (int i = 0; i < GetMenuItemCount(handle); ++i) {
            wchar_t buffer[64] = {};
            GetMenuStringW(handle, static_cast<UINT>(i), buffer, 64, MF_BYPOSITION);
            items.push_back(buffer);
            if (GetMenuState(handle, static_cast<UINT>(i), MF_BYPOSITION) & MF_CHECKED) checked = i;
        }
        for (int i = 0; i < 5; ++i)
            PostMessageW(m, WM_KEYDOWN, VK_DOWN, 0); // down to "+2"
        PostMessageW(m, WM_KEYDOWN, VK_RETURN, 0);
    });
    host->clearLog();
    clickAt(692 + 50, 215); // "OCTAVA"
    ASSERT_TRUE(menu.join()) << "no menu showed";
    EXPECT_EQ(items, (std::vector<std::wstring>{L"-2", L"-1", L"0", L"+1", L"+2"}));
    EXPECT_EQ(checked, 2);
    EXPECT_FLOAT_EQ(host->getParameter(octava), 1.0f);
    EXPECT_EQ(host->calls(0).size(), 1u);
}

std::wstring payload(const wchar_t* name) {
    return velktest::windowsPath(VELK_SOURCE_DIR "/payload") + L"\\" + name;
}

// A shell drop: a DROPFILES block with a wide list.
HGLOBAL dropList(const std::vector<std::wstring>& paths) {
    size_t units = 1;
    for (const std::wstring& p : paths)
        units += p.size() + 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + units * sizeof(wchar_t));
    auto* header = static_cast<DROPFILES*>(GlobalLock(block));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto* out = reinterpret_cast<wchar_t*>(header + 1);
    for (const std::wstring& p : paths) {
        std::copy(p.begin(), p.end(), out);
        out += p.size() + 1;
    }
    GlobalUnlock(block);
    return block;
}

// The automation values the host received for one parameter, in order.
std::vector<float> automated(const vsthost::Host& host, int32_t index) {
    std::vector<float> values;
    for (const vsthost::HostCall& c : host.calls(0))
        if (c.index == index) values.push_back(c.option);
    return values;
}

TEST_F(EditorTest, AShellDropAddsTheWavsAndLoadsTheFirst) {
    host->clearLog();
    const std::vector<std::wstring> files = {payload(L"VELK_Pluck_C4.wav"), payload(L"LEEME-VELK.txt"),
                                             payload(L"VELK_Bell_C4.wav")};
    SendMessageW(editor, WM_DROPFILES, reinterpret_cast<WPARAM>(dropList(files)), 0);
    frame->pump(200); // the deferred drop runs from the message queue
    EXPECT_EQ(automated(*host, sonido), std::vector<float>{1.0f});
    EXPECT_EQ(automated(*host, raizWav), std::vector<float>{normalised(raizWav, 60)});
    // The one-shot sounds now: a chord key plays it.
    key(WM_KEYDOWN, 'A');
    host->keepAudio(true);
    host->process(4800);
    EXPECT_GT(peak(host->left()), 0.01f);
    key(WM_KEYUP, 'A');
}

// An OLE drag of a WAV from another program, over the library panel: the
// drag loop reads the real pointer, so it is placed there first.
TEST_F(EditorTest, AnOleDropOnTheLibraryPanelLoadsTheWav) {
    host->clearLog();
    POINT over{100, 300};
    ClientToScreen(editor, &over);
    SetCursorPos(over.x, over.y);
    EXPECT_EQ(tamso::dragMidiFile(payload(L"VELK_Soft_C4.wav")), DRAGDROP_S_DROP);
    frame->pump(200);
    EXPECT_EQ(automated(*host, sonido), std::vector<float>{1.0f});

    // Over the chord panel nothing is taken.
    host->clearLog();
    POINT chordPanel{100, 120};
    ClientToScreen(editor, &chordPanel);
    SetCursorPos(chordPanel.x, chordPanel.y);
    tamso::dragMidiFile(payload(L"VELK_Bell_C4.wav"));
    frame->pump(200);
    EXPECT_TRUE(automated(*host, sonido).empty());
}

// The X server's own keyboard and mouse, driven through its XTEST extension by
// xdotool: under Wine only such input gives a key or a button its true state,
// which the editor reads when a modal loop returns (a key held with SendInput
// reads as released once the pointer enters a window). A Unix program started
// from Wine cannot be waited for, and the state changes only once the UI thread
// has read the event anyway, so each step waits for the state it asked for.
class EditorRealInput : public EditorTest {
  protected:
    void SetUp() override {
        EditorTest::SetUp();
        ASSERT_TRUE(velktest::haveXdotool()) << "xdotool is missing (tools/build-all installs it)";
        host->setParameter(acordes, normalised(acordes, 0)); // triads: S is D F A, D is E G B
        SetForegroundWindow(frame->frame());
        clickAt(5, 5); // no region there: the click only gives the editor the focus
    }
    void TearDown() override {
        // Whatever a failed test left pressed must not follow the next one. Only
        // what reads as held is let go: an xdotool is not waited for, and one
        // sent for nothing could still be on its way when the next test presses.
        const struct {
            int virtualKey;
            const wchar_t* release;
        } inputs[] = {{'S', L"keyup s"}, {'D', L"keyup d"}, {VK_LBUTTON, L"mouseup 1"}};
        for (const auto& input : inputs) {
            if (isDown(input.virtualKey) && xdotool(input.release)) {
                EXPECT_TRUE(settle(input.virtualKey, false))
                    << "still held after " << std::wstring(input.release);
            }
        }
        EditorTest::TearDown();
    }

    static bool isDown(int virtualKey) { return GetAsyncKeyState(virtualKey) < 0; }
    // From a thread other than the UI thread, which is inside a modal loop.
    static bool waitFor(int virtualKey, bool down) {
        return velktest::waitUntil([&] { return isDown(virtualKey) == down; });
    }
    // On the UI thread: pumps until the key reads as wanted. Wine queues the
    // key's message as it changes the state, so the window has it by then, or
    // at the latest from the dispatch that follows.
    bool settle(int virtualKey, bool down) {
        if (!velktest::pumpUntil([&] { return isDown(virtualKey) == down; })) return false;
        frame->drain();
        return true;
    }
    // Holds S and D down; both chords start at the next block.
    void holdBothKeys() {
        ASSERT_TRUE(xdotool(L"keydown s d"));
        ASSERT_TRUE(settle('S', true)) << "S never read as held";
        ASSERT_TRUE(settle('D', true)) << "D never read as held";
        const int64_t t = at();
        host->process(512);
        std::vector<OutputMidi> both = chord(t, {62, 65, 69}, true);
        for (const OutputMidi& m : chord(t, {64, 67, 71}, true))
            both.push_back(m);
        ASSERT_TRUE(sameMidi(newMidi(), both)) << "the keys reach the editor as a keyboard's do";
    }
    // After the loop: S ends at the first block, D sounds on until its own release.
    void expectOnlyTheLetGoKeyEnded() {
        int64_t t = at();
        host->process(512);
        EXPECT_TRUE(sameMidi(newMidi(), chord(t, {62, 65, 69}, false))) << "S ends at the first block";
        host->process(512);
        EXPECT_TRUE(newMidi().empty()) << "D still sounds";
        ASSERT_TRUE(xdotool(L"keyup d"));
        ASSERT_TRUE(settle('D', false)) << "D never read as released";
        t = at();
        host->process(512);
        EXPECT_TRUE(sameMidi(newMidi(), chord(t, {64, 67, 71}, false))) << "D ends with its own release";
    }
};

// The menu's loop takes the key-up of S.
TEST_F(EditorRealInput, AKeyLetGoInsideAMenuEndsAtTheFirstBlockAfterIt) {
    holdBothKeys();
    bool letGo = false;
    Answerer menu(L"#32768", [&](HWND m) {
        letGo = xdotool(L"keyup s") && waitFor('S', false);
        PostMessageW(m, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    clickAt(406 + 135, 215); // "ESCALA"
    ASSERT_TRUE(menu.join()) << "no menu showed";
    ASSERT_TRUE(letGo) << "S never read as released inside the menu";
    expectOnlyTheLetGoKeyEnded();
}

// The drag's loop takes the key-up of S; the drag lasts as long as the real
// left button is held, and drops where the pointer is (on the button itself,
// which takes nothing).
TEST_F(EditorRealInput, AKeyLetGoInsideTheMidiDragEndsAtTheFirstBlockAfterIt) {
    // A take to drag: one note recorded after the count-in, then "Detener".
    key(WM_KEYDOWN, VK_SPACE);
    key(WM_KEYUP, VK_SPACE);
    while (at() < 3 * 48000 + 512)
        host->process(512);
    host->sendEvents({{0, 0x90, 60, 100}});
    host->process(512);
    host->sendEvents({{0, 0x80, 60, 0}});
    host->process(512);
    clickAt(297 + 50, 520); // "Detener"
    host->process(512);
    UpdateWindow(editor); // "Arrastrar MIDI" is enabled from this paint on
    newMidi();

    holdBothKeys();
    const POINT button{724 + 104, 502 + 33}; // "Arrastrar MIDI"
    POINT screen = button;
    ClientToScreen(editor, &screen);
    SetCursorPos(screen.x, screen.y);
    frame->pump(50, 0);
    ASSERT_TRUE(xdotool(L"mousedown 1"));
    ASSERT_TRUE(settle(VK_LBUTTON, true)) << "the left button never read as held"; // the press arms the drag

    const DWORD uiThread = GetCurrentThreadId();
    std::atomic<bool> dragging{false}, letGo{false}, back{false};
    std::thread answer([&] {
        // The drag loop's own window takes the capture from the editor; a move
        // that comes back without it started no drag.
        velktest::waitUntil([&] {
            GUITHREADINFO gui{};
            gui.cbSize = sizeof gui;
            dragging = GetGUIThreadInfo(uiThread, &gui) && gui.hwndCapture && gui.hwndCapture != editor;
            return dragging || back;
        });
        if (dragging) letGo = xdotool(L"keyup s") && waitFor('S', false);
        // The release ends the drag in any case.
        xdotool(L"mouseup 1");
    });
    vsthost::sendMouse(editor, WM_MOUSEMOVE, button.x + 10, button.y, MK_LBUTTON); // returns after the drag
    back = true;
    answer.join();
    ASSERT_TRUE(dragging) << "no drag started";
    ASSERT_TRUE(letGo) << "S never read as released inside the drag";
    ASSERT_TRUE(settle(VK_LBUTTON, false)) << "the left button never read as released";
    expectOnlyTheLetGoKeyEnded();
}

TEST(EditorInstances, TwoEditorsPlaySideBySide) {
    vsthost::Host first(library()), second(library());
    first.start();
    second.start();
    vsthost::EditorFrame left(first, 0, 0), right(second, 200, 100);
    ASSERT_EQ(left.open(), 1);
    ASSERT_EQ(right.open(), 1);
    ASSERT_NE(left.editor(), right.editor());
    vsthost::sendKey(left.editor(), WM_KEYDOWN, 'A');
    vsthost::sendKey(right.editor(), WM_KEYDOWN, 'G');
    first.process(512);
    second.process(512);
    const auto a = sentMidi(first), b = sentMidi(second);
    ASSERT_FALSE(a.empty());
    ASSERT_FALSE(b.empty());
    EXPECT_EQ(a.front().data1, 60);
    EXPECT_EQ(b.front().data1, 67);
    left.close();
    vsthost::sendKey(right.editor(), WM_KEYUP, 'G');
    second.process(512);
    EXPECT_EQ(sentMidi(second).back().status, 0x80) << "the other editor still plays";
}

// The window as a musician sees it: idle, a chord held, the count-in, recording,
// and a finished take. A few pixels of each are read back from the window and
// checked against the palette, where the layout draws them; through
// tools/with-screenshots (VELK_SHOTS names the folder) each is also kept as a
// screenshot for a person to look at.
TEST_F(EditorTest, ShotsOfEveryState) {
    namespace c = palmtone::colours;
    const char* shots = std::getenv("VELK_SHOTS");
    const std::wstring folder = shots ? velktest::windowsPath(shots) : std::wstring();
    // The real pointer away from the window: nothing is hovered.
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    auto shot = [&](const wchar_t* name) {
        frame->pump(150, 0); // repaints, no audio
        EXPECT_TRUE(velktest::screenshot(folder, name)) << "nobody took the screenshot";
        return WindowPixels(editor);
    };
    // Where the layout draws each part: the regions are the same in every state.
    const palmtone::Scene scene = sceneOf(palmtone::View{});
    palmtone::View countingIn;
    countingIn.countIn = true;
    const palmtone::Scene countInScene = sceneOf(countingIn);
    const std::vector<const palmtone::Element*> countInBox = boxesOnTimeline(countInScene);
    ASSERT_EQ(countInBox.size(), 1u) << "the count-in's box over the empty timeline";
    const palmtone::Rect timeline = timelineOf(scene).rect;
    auto fill = [&](const WindowPixels& pixels, palmtone::HitType type, int32_t value = -1) {
        return pixels.at(fillPoint(scene, boxOf(scene, type, value)));
    };
    auto outline = [&](const WindowPixels& pixels, palmtone::HitType type, int32_t value = -1) {
        return pixels.at(outlinePoint(boxOf(scene, type, value)));
    };
    const int32_t padF = padOf('F'), padK = padOf('K');

    host->setParameter(acordes, normalised(acordes, 1)); // sevenths
    {
        const WindowPixels idle = shot(L"editor-idle");
        EXPECT_PRED_FORMAT2(sameColour, fill(idle, palmtone::ChordSize, 1), c::accent) << "sevenths chosen";
        EXPECT_PRED_FORMAT2(sameColour, fill(idle, palmtone::ChordSize, 0), c::buttonFace);
        EXPECT_PRED_FORMAT2(sameColour, fill(idle, palmtone::Pad, padF), c::buttonFace);
        EXPECT_PRED_FORMAT2(sameColour, outline(idle, palmtone::Pad, padF), c::border);
        EXPECT_PRED_FORMAT2(sameColour, outline(idle, palmtone::Record), c::border);
        EXPECT_PRED_FORMAT2(sameColour, fill(idle, palmtone::DragMidi), c::buttonFace) << "no take to drag";
        EXPECT_EQ(idle.count(timeline, c::accent), 0) << "an empty timeline";
        EXPECT_EQ(idle.count(timeline, c::white), 0);
    }

    key(WM_KEYDOWN, 'F');
    frame->pump(400);
    {
        const WindowPixels chord = shot(L"editor-chord");
        EXPECT_PRED_FORMAT2(sameColour, outline(chord, palmtone::Pad, padF), c::accent) << "pad F lit";
        EXPECT_NE(fill(chord, palmtone::Pad, padF), c::buttonFace);
        EXPECT_PRED_FORMAT2(sameColour, outline(chord, palmtone::Pad, padK), c::border);
        EXPECT_PRED_FORMAT2(sameColour, fill(chord, palmtone::Pad, padK), c::buttonFace);
        EXPECT_PRED_FORMAT2(sameColour, outline(chord, palmtone::Record), c::border);
    }

    key(WM_KEYDOWN, VK_SPACE);
    key(WM_KEYUP, VK_SPACE);
    for (int i = 0; i < 120; ++i)
        host->process(512); // 1.3 s of the count-in
    {
        const WindowPixels countIn = shot(L"editor-count-in");
        EXPECT_PRED_FORMAT2(sameColour, countIn.at(fillPoint(countInScene, *countInBox[0])), c::accent)
            << "the count-in's box";
        EXPECT_PRED_FORMAT2(sameColour, outline(countIn, palmtone::Record), c::accent);
        EXPECT_PRED_FORMAT2(sameColour, outline(countIn, palmtone::Pad, padF), c::accent) << "F still held";
        EXPECT_EQ(countIn.solidColumns(timeline, c::white), 0) << "no playhead yet";
    }

    // Past its end: recording, with a repaint after every block as a timer
    // running in step with the audio would give.
    auto record = [&](int blocks) {
        for (int i = 0; i < blocks; ++i) {
            host->process(512);
            InvalidateRect(editor, nullptr, FALSE);
            UpdateWindow(editor);
        }
    };
    record(200);
    key(WM_KEYUP, 'F');
    key(WM_KEYDOWN, 'G');
    record(90);
    key(WM_KEYUP, 'G');
    key(WM_KEYDOWN, 'A');
    record(50);
    {
        const WindowPixels recording = shot(L"editor-recording");
        EXPECT_PRED_FORMAT2(sameColour, outline(recording, palmtone::Record), c::accent);
        EXPECT_GT(recording.solidColumns(timeline, c::white), 0) << "the playhead";
        EXPECT_GT(recording.count(timeline, c::accent), 0) << "the chords so far";
        EXPECT_PRED_FORMAT2(sameColour, fill(recording, palmtone::DragMidi), c::buttonFace)
            << "nothing to drag while recording";
    }

    key(WM_KEYUP, 'A');
    host->process(512);
    const palmtone::Rect stop = boxOf(scene, palmtone::Stop).rect;
    clickAt((stop.left + stop.right) / 2, (stop.top + stop.bottom) / 2); // "Detener"
    host->process(512);
    {
        const WindowPixels take = shot(L"editor-take");
        EXPECT_PRED_FORMAT2(sameColour, outline(take, palmtone::Record), c::border) << "recording ended";
        EXPECT_EQ(take.solidColumns(timeline, c::white), 0) << "no playhead";
        EXPECT_GT(take.count(timeline, c::accent), 0) << "the take's chords";
        EXPECT_PRED_FORMAT2(sameColour, fill(take, palmtone::DragMidi), c::accent)
            << "the take ready to drag";
        EXPECT_PRED_FORMAT2(sameColour, outline(take, palmtone::DragMidi), c::accent);
    }
}

} // namespace
} // namespace dlltest
