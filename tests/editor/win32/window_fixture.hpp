#pragma once
// The editor's window inside a stand-in host window, in one test program with
// the core linked in: a headless host around the instance, a seam whose modal
// calls are answered by the test, and painting into a 980 x 740 DIB whose
// pixels the test reads.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "editor/editor.hpp"
#include "editor/win32/windows_ui_win32.hpp"
#include "tests/support/test_host.hpp"

namespace win32test {

// What the test wants the modal calls to answer, and what they were asked.
struct Script {
    struct Box {
        std::wstring text;
        std::wstring caption;
        uint32_t style;
    };
    std::vector<Box> boxes;
    int boxAnswer = IDOK;
    std::function<void()> duringBox; // runs inside the box, as the host's code would
    std::vector<palmtone::Menu> menus;
    std::vector<palmtone::Point> menuPoints;
    int32_t menuAnswer = 0;
    std::function<void()> duringMenu;
    std::function<void()> onRepaint; // runs on every repaint request (may throw)
    int repaints = 0;
    std::wstring savePath; // the save dialog's answer; empty: cancelled
    int saveDialogs = 0;
};

class ScriptedUi : public palmtone::WindowsUi {
  public:
    explicit ScriptedUi(Script& script) : script_(script) {}
    void repaint() override;
    int messageBox(const std::wstring& text, const wchar_t* caption, uint32_t style) override;
    int32_t popupMenu(const palmtone::Menu& menu, palmtone::Point at) override;
    bool chooseMidiPath(std::wstring& path) override;

  private:
    Script& script_;
};

// Matches one event of the UI ring: its status, key and velocity.
inline auto ringEvent(int32_t status, int32_t key, int32_t velocity) {
    using palmtone::InputEvent;
    return testing::AllOf(testing::Field("status", &InputEvent::status, status),
                          testing::Field("key", &InputEvent::data1, key),
                          testing::Field("velocity", &InputEvent::data2, velocity));
}

// A top-level window standing in for the host's, with a client area of the editor's size.
HWND makeParent(int x = 0, int y = 0);

// Dispatches the thread's queued messages.
void drain();

// One paint pass into a DIB section; pixels are read back as COLORREF values.
class Canvas {
  public:
    Canvas();
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    HDC dc() const noexcept { return dc_; }
    COLORREF pixel(int x, int y) const noexcept;

  private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    const uint32_t* bits_ = nullptr;
};

class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Opens an editor on the instance inside `parent`; null when it failed.
    palmtone::Editor* open(HWND parentWindow);
    void close();
    void paint(); // a synchronous WM_PAINT through the window
    // The events the editor pushed into the UI ring that the next block would take.
    std::vector<palmtone::InputEvent> pendingEvents() const;

    velktest::TestHost host;
    Script script;
    HWND parent = nullptr;
    palmtone::Editor* editor = nullptr;
};

} // namespace win32test
