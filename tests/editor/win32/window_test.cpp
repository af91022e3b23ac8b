// The editor's window under Wine, with the core linked into the test: its class
// and life cycle, the messages it answers, what it draws, and the guards that
// keep a host's close inside a modal loop, or a failing action, from crashing it.
#include <windows.h>

#include <string>

#include "editor/editor.hpp"
#include "editor/key_tables.hpp"
#include "editor/layout.hpp"
#include "editor/palette.hpp"
#include "editor/win32/module_win32.hpp"
#include "plugin/host/editor_seam.hpp"
#include "plugin/plugin.hpp"
#include "tests/editor/win32/window_fixture.hpp"
#include "tests/support/window_probe.hpp"

namespace win32test {
namespace {

using palmtone::Editor;
namespace colours = palmtone::colours;

bool classRegistered() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    return GetClassInfoExW(palmtone::moduleInstance, L"VelkBetaEditorV1", &wc) != 0;
}

LPARAM point(int x, int y) {
    return MAKELPARAM(x, y);
}

TEST(FontFace, TheWantedFamilyWhenInstalledElseArial) {
    EXPECT_EQ(palmtone::fontFace(L"Manrope"), L"Manrope") << "fonts-manrope is installed here";
    EXPECT_EQ(palmtone::fontFace(L"No Such Family Velk"), L"Arial");
}

TEST_F(WindowTest, TheWindowIsAChildOfTheHostsWindowAt980x740) {
    ASSERT_NE(open(parent), nullptr);
    HWND w = editor->window;
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(GetParent(w), parent);
    EXPECT_EQ(GetWindowLongW(w, GWL_STYLE) & (WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN),
              WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN);
    RECT r{};
    GetClientRect(w, &r);
    EXPECT_EQ(r.right, 980);
    EXPECT_EQ(r.bottom, 740);
    wchar_t title[32] = {};
    GetWindowTextW(w, title, 32);
    EXPECT_STREQ(title, L"VELK beta");
    EXPECT_EQ(SendMessageW(w, WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS | DLGC_WANTCHARS);
    EXPECT_EQ(SendMessageW(w, WM_ERASEBKGND, 0, 0), 1);
}

TEST_F(WindowTest, TheClassLivesAsLongAsTheLastEditorWindowOfTheProcess) {
    velktest::TestHost second;
    HWND otherParent = makeParent(40, 40);
    ASSERT_NE(open(parent), nullptr);
    Editor* other =
        palmtone::openEditorWith(second.plugin(), otherParent, std::make_unique<ScriptedUi>(script));
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(palmtone::editorWindowCount(), 2);
    close();
    EXPECT_EQ(palmtone::editorWindowCount(), 1);
    EXPECT_TRUE(classRegistered());
    palmtone::closeEditor(other);
    EXPECT_EQ(palmtone::editorWindowCount(), 0);
    EXPECT_FALSE(classRegistered());
    DestroyWindow(otherParent);
}

TEST_F(WindowTest, AFailedCreationGivesNoEditorAndTakesTheClassOnlyWhenNoOtherWindowUsesIt) {
    HWND gone = makeParent();
    DestroyWindow(gone); // a parent handle that no longer names a window
    EXPECT_EQ(open(gone), nullptr);
    EXPECT_EQ(palmtone::editorWindowCount(), 0);
    EXPECT_FALSE(classRegistered());

    ASSERT_NE(open(parent), nullptr);
    velktest::TestHost second;
    EXPECT_EQ(palmtone::openEditorWith(second.plugin(), gone, std::make_unique<ScriptedUi>(script)), nullptr);
    EXPECT_TRUE(classRegistered());
    EXPECT_EQ(palmtone::editorWindowCount(), 1);
}

TEST_F(WindowTest, KeysBecomeEditorEventsOnTheirOwnRow) {
    ASSERT_NE(open(parent), nullptr);
    HWND w = editor->window;
    EXPECT_EQ(SendMessageW(w, WM_KEYDOWN, 'S', 1), 0);
    EXPECT_EQ(SendMessageW(w, WM_KEYDOWN, 'S', 1 | 1 << 30), 0); // auto-repeat: nothing more
    EXPECT_EQ(SendMessageW(w, WM_KEYUP, 'S', 0xC0000001), 0);
    // Ctrl held: the key is the host's.
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    SendMessageW(w, WM_KEYDOWN, 'D', 1);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    EXPECT_THAT(pendingEvents(), testing::ElementsAre(ringEvent(0x9F, 62, 100), ringEvent(0x8F, 62, 0)));
}

TEST_F(WindowTest, ClicksHitOnlyWhatThePaintDrew) {
    ASSERT_NE(open(parent), nullptr);
    HWND w = editor->window;
    KillTimer(w, 1);
    ValidateRect(w, nullptr);
    const int padX = 296 + 83 * 3 + 30, padY = 400;
    SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, point(padX, padY));
    SendMessageW(w, WM_LBUTTONUP, 0, point(padX, padY));
    EXPECT_TRUE(pendingEvents().empty()) << "no paint yet, so no hits";
    paint();
    SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, point(padX, padY));
    EXPECT_EQ(GetCapture(), w);
    SendMessageW(w, WM_LBUTTONUP, 0, point(padX, padY));
    EXPECT_NE(GetCapture(), w);
    EXPECT_THAT(pendingEvents(), testing::ElementsAre(ringEvent(0x9E, 65, 100), ringEvent(0x8E, 65, 0)));
}

TEST_F(WindowTest, TheWheelScreenPointIsConvertedToTheClientArea) {
    ASSERT_NE(open(parent), nullptr);
    std::vector<std::wstring> files;
    for (int i = 0; i < 10; ++i)
        files.push_back(L"C:\\one shots\\f" + std::to_wstring(i) + L".wav");
    host.plugin().bank.addFiles(files);
    paint();
    HWND w = editor->window;
    POINT screen{100, 300};
    ClientToScreen(w, &screen);
    const WPARAM down = MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA));
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(SendMessageW(w, WM_MOUSEWHEEL, down, point(screen.x, screen.y)), 0);
    EXPECT_EQ(editor->scroll, 6);
    POINT outside{500, 300};
    ClientToScreen(w, &outside);
    SendMessageW(w, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), point(outside.x, outside.y));
    EXPECT_EQ(editor->scroll, 6);
}

TEST_F(WindowTest, FocusLossReleasesKeysAndPad) {
    ASSERT_NE(open(parent), nullptr);
    paint();
    HWND w = editor->window;
    SendMessageW(w, WM_KEYDOWN, 'A', 1);
    SendMessageW(w, WM_KEYDOWN, 'K', 1);
    SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, point(296 + 83 * 3 + 30, 400));
    SendMessageW(w, WM_KILLFOCUS, 0, 0);
    EXPECT_THAT(pendingEvents(), testing::ElementsAre(ringEvent(0x9F, 60, 100), ringEvent(0x9F, 72, 100),
                                                      ringEvent(0x9E, 65, 100), ringEvent(0x8F, 60, 0),
                                                      ringEvent(0x8F, 72, 0), ringEvent(0x8E, 65, 0)));
}

TEST_F(WindowTest, TheHostDestroyingItsWindowFirstTearsTheEditorDownThere) {
    ASSERT_NE(open(parent), nullptr);
    SendMessageW(editor->window, WM_KEYDOWN, 'G', 1);
    DestroyWindow(parent);
    parent = nullptr;
    EXPECT_EQ(editor->window, nullptr);
    const auto events = pendingEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].status, 0x8F);
    EXPECT_EQ(editor->dragArmed, -1);
    EXPECT_EQ(palmtone::editorWindowCount(), 1) << "still counted until the host closes the editor";
    close();
    EXPECT_EQ(palmtone::editorWindowCount(), 0);
}

// Pixels away from any text, so that the font does not matter.
TEST_F(WindowTest, ThePaintDrawsThePaletteWhereTheLayoutPutsIt) {
    ASSERT_NE(open(parent), nullptr);
    host.setUnit(palmtone::pVolume, 0.5); // a level of 68 pixels
    Canvas canvas;
    editor->keyDown[0] = true; // pad A lit; the glow needs a few passes
    for (int pass = 0; pass < 100; ++pass)
        editor->paint(canvas.dc());
    EXPECT_EQ(canvas.pixel(5, 5), colours::windowBackground);
    EXPECT_EQ(canvas.pixel(300, 150), colours::panelFill); // chord panel
    EXPECT_EQ(canvas.pixel(24, 120), colours::border);     // its outline
    EXPECT_EQ(canvas.pixel(710, 51), colours::accent);     // volume level
    EXPECT_EQ(canvas.pixel(820, 51), colours::border);     // volume track
    // Lit pad A: the eased glow settles just below 1, and its fill follows.
    const double g = editor->glow[0];
    EXPECT_GT(g, 0.999999);
    EXPECT_EQ(canvas.pixel(296 + 30, 395),
              palmtone::rgb(static_cast<int>(24 + 4 * g), static_cast<int>(35 + 89 * g),
                            static_cast<int>(29 + 55 * g)));
    EXPECT_EQ(canvas.pixel(379 + 30, 395), colours::buttonFace);  // pad S at rest
    EXPECT_EQ(canvas.pixel(820, 112), colours::accent);           // "Keys" is the active sound
    EXPECT_EQ(canvas.pixel(890, 112), colours::buttonFace);       // "WAV" is not
    EXPECT_EQ(canvas.pixel(100, 600), colours::windowBackground); // the empty timeline
    EXPECT_EQ(canvas.pixel(100, 576), colours::gridLine);
}

TEST_F(WindowTest, AFinishedTakeIsDrawnInTheTimeline) {
    ASSERT_NE(open(parent), nullptr);
    palmtone::Plugin& p = host.plugin();
    velktest::stoppedTake(p, 48000); // one second: two beats at 120
    ASSERT_EQ(p.capture.state.load(), tamso::Finished);
    Canvas canvas;
    editor->paint(canvas.dc());
    // C over two beats of a four-beat span: the bottom row of columns 0 to 31.
    EXPECT_EQ(canvas.pixel(49, 663), colours::accent);
    EXPECT_EQ(canvas.pixel(44 + 31 * 656 / 64 + 5, 663), colours::accent);
    EXPECT_EQ(canvas.pixel(44 + 40 * 656 / 64 + 5, 663), colours::windowBackground);
    EXPECT_EQ(canvas.pixel(49, 663 - 9), colours::windowBackground); // C# row
}

TEST_F(WindowTest, AHostCloseInsideABoxLeavesTheFreeingToTheOutermostHandler) {
    ASSERT_NE(open(parent), nullptr);
    paint();
    HWND w = editor->window;
    SendMessageW(w, WM_KEYDOWN, 'A', 1);
    // The host's opcode 15 arrives while the guide box is open.
    script.duringBox = [this] { close(); };
    SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, point(900, 40));
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(palmtone::editorWindowCount(), 0);
    ASSERT_EQ(script.boxes.size(), 1u);
    EXPECT_EQ(script.boxes[0].caption, L"VELK beta - Guia");
    const auto events = pendingEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].status, 0x8F) << "the held key was released by the close";
}

TEST_F(WindowTest, TheInstanceClosedInsideAMenuIsNotTouchedAfterIt) {
    auto doomed = std::make_unique<velktest::TestHost>();
    editor = palmtone::openEditorWith(doomed->plugin(), parent, std::make_unique<ScriptedUi>(script));
    ASSERT_NE(editor, nullptr);
    doomed->plugin().editor = editor;
    Canvas canvas;
    editor->paint(canvas.dc());
    HWND w = editor->window;
    // Opcode 1 while the key menu is open: the instance and its editor go.
    script.menuAnswer = 3;
    script.duringMenu = [&] { doomed.reset(); };
    SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, point(320, 215));
    editor = nullptr;
    EXPECT_EQ(script.menus.size(), 1u);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(palmtone::editorWindowCount(), 0);
}

TEST_F(WindowTest, AnActionThatFailsShowsABoxAndTheWindowGoesOn) {
    ASSERT_NE(open(parent), nullptr);
    paint();
    int failures = 1;
    script.onRepaint = [&] {
        if (failures-- > 0) throw std::bad_alloc();
    };
    SendMessageW(editor->window, WM_LBUTTONDOWN, MK_LBUTTON, point(300 + 168, 270)); // "7mas"
    SendMessageW(editor->window, WM_LBUTTONUP, 0, point(300 + 168, 270));
    ASSERT_EQ(script.boxes.size(), 1u);
    EXPECT_EQ(script.boxes[0].text, L"std::bad_alloc");
    EXPECT_EQ(script.boxes[0].caption, L"VELK");
    EXPECT_EQ(script.boxes[0].style, static_cast<uint32_t>(MB_ICONERROR));
    EXPECT_EQ(host.plugin().snapshot()[palmtone::pChords], 1.0 / 3.0) << "the action itself ran";
    SendMessageW(editor->window, WM_KEYDOWN, 'A', 1);
    EXPECT_EQ(pendingEvents().size(), 1u);
}

// The pad check after a modal loop asks the devices whether the primary button
// is still down, and GetAsyncKeyState reads the physical buttons: with the
// buttons swapped, the primary one is the physical right button. The X
// server's own input (xdotool) gives a button its true state under Wine, once
// the window's thread has read the event.
class PrimaryButton : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(velktest::haveXdotool()) << "xdotool is missing (tools/build-all installs it)";
        ASSERT_NE(open(parent), nullptr);
        SetForegroundWindow(parent);
        POINT corner{5, 5}; // no region there: a press does nothing
        ClientToScreen(editor->window, &corner);
        SetCursorPos(corner.x, corner.y);
        drain();
    }
    void TearDown() override {
        // Whatever a failed test left pressed or swapped must not follow the
        // next one. Only a button that reads as held is let go: an xdotool is
        // not waited for, and one sent for nothing could still be on its way
        // when the next test presses.
        if (GetAsyncKeyState(VK_LBUTTON) < 0) physical(1, false);
        if (GetAsyncKeyState(VK_RBUTTON) < 0) physical(3, false);
        SwapMouseButton(FALSE);
        WindowTest::TearDown();
    }
    // Presses or lets go X button 1 (the physical left) or 3 (the physical
    // right); true once the window's thread reads it so.
    bool physical(int button, bool down) {
        if (!velktest::xdotool((down ? L"mousedown " : L"mouseup ") + std::to_wstring(button))) return false;
        const int key = button == 1 ? VK_LBUTTON : VK_RBUTTON;
        return velktest::pumpUntil([&] { return (GetAsyncKeyState(key) < 0) == down; });
    }
};

TEST_F(PrimaryButton, IsTheLeftOneUnlessTheButtonsAreSwapped) {
    struct Case {
        bool swapped;
        int button;
        bool primary;
    };
    for (const Case c :
         {Case{false, 1, true}, Case{false, 3, false}, Case{true, 3, true}, Case{true, 1, false}}) {
        SCOPED_TRACE(std::string(c.swapped ? "swapped, " : "") + "X button " + std::to_string(c.button));
        SwapMouseButton(c.swapped);
        ASSERT_EQ(GetSystemMetrics(SM_SWAPBUTTON) != 0, c.swapped);
        ASSERT_TRUE(physical(c.button, true)) << "the button never read as held";
        EXPECT_EQ(editor->ui->mouseButtonDown(), c.primary);
        ASSERT_TRUE(physical(c.button, false)) << "the button never read as released";
        EXPECT_FALSE(editor->ui->mouseButtonDown());
    }
}

} // namespace
} // namespace win32test
