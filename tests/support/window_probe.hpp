#pragma once
// Drives windows the way a person would, for the window tests under Wine:
// start a program, find its window and message boxes, read texts, type into an
// edit, click buttons, answer boxes; and real keys and buttons through the X
// server (xdotool).
#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/waits.hpp"

namespace velktest {

// How long any wait of the window tests waits for a window, a box, a state, a
// file or another program: the tests' one patience, in the milliseconds the
// Win32 waits take.
constexpr DWORD patienceMs =
    static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(patience).count());

// A Linux path (UTF-8, absolute) as Wine's Z: drive shows it.
std::wstring windowsPath(const std::string& linuxPath);

class Process {
  public:
    Process(const std::wstring& program, const std::wstring& arguments);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    DWORD id() const { return info.dwProcessId; }
    bool started() const { return info.hProcess != nullptr; }
    // The exit code, or nothing when the process is still running after ms.
    std::optional<DWORD> wait(DWORD ms = patienceMs);

  private:
    PROCESS_INFORMATION info{};
};

// The window class of message boxes and of the common dialogs.
constexpr wchar_t dialogClass[] = L"#32770";
// The save dialog's file name field (a combo box whose edit takes the typed text).
constexpr int saveDialogFileName = 0x47C;

// The visible top-level windows of a class in a process, as they are now.
std::vector<HWND> windowsOf(DWORD process, const wchar_t* className);
// The visible top-level window of a class in a process, waiting up to ms.
HWND findWindow(DWORD process, const wchar_t* className, DWORD ms = patienceMs);

struct Box {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text;
};

// The message box that a process shows with the given owner (null: none).
std::optional<Box> findMessageBox(DWORD process, HWND owner, DWORD ms = patienceMs);
// The caption and text of a box already found.
Box readBox(HWND box);

// Whether any message box of the process is open.
bool anyMessageBox(DWORD process);

// The text as the control holds it (sent, so an edit's typed text counts).
std::wstring text(HWND window);

// The direct children in creation order.
std::vector<HWND> children(HWND parent);

std::wstring className(HWND window);

// Client rectangle of a child in its parent's client coordinates.
RECT placement(HWND child);

// Replaces the whole text; false when the edit never held it.
[[nodiscard]] bool type(HWND edit, const std::wstring& text);
void click(HWND button);
// IDOK, IDYES, IDNO; returns once the box is closed, false when it stayed open.
[[nodiscard]] bool answer(const Box& box, int id);

// Polls until done() holds or ms pass, every 20 ms: what a window test asks
// (windows, texts, files) goes through the Wine server, so it asks seldom; the
// racing tests' waitFor (waits.hpp) asks far more often.
template <typename Done> bool waitUntil(Done done, DWORD ms = patienceMs) {
    const ULONGLONG end = GetTickCount64() + ms;
    while (!done()) {
        if (GetTickCount64() > end) return false;
        Sleep(20);
    }
    return true;
}

// Dispatches the calling thread's queued messages.
void dispatchQueued();

// As waitUntil, on a thread whose own windows must read their input for done()
// to come true: dispatches its messages, and sleeps until more arrive.
template <typename Done> bool pumpUntil(Done done, DWORD ms = patienceMs) {
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        dispatchQueued();
        if (done()) return true;
        if (GetTickCount64() > end) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

// The X server's own keyboard and mouse, through xdotool ("keydown s",
// "mouseup 1"): under Wine only such input gives a key or a button its true
// state, and only once a window's thread has read the event, so the caller
// waits for the state it asked for (a Unix program started from Wine cannot be
// waited for). False when xdotool did not start.
bool xdotool(const std::wstring& arguments);
// Whether the build found xdotool.
bool haveXdotool();

// Lets the outside take a screenshot: creates NAME.ready in the folder and
// waits for NAME.done; false when no answer came. Nothing happens (true) when no
// folder was given.
[[nodiscard]] bool screenshot(const std::wstring& folder, const std::wstring& name);

std::vector<char> fileBytes(const std::wstring& path);

} // namespace velktest
