#pragma once
// Drives windows the way a person would, for the window tests under Wine:
// start a program, find its window and message boxes, read texts, type into an
// edit, click buttons, answer boxes; and real keys and buttons through the X
// server (xdotool).
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace velktest {

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
    std::optional<DWORD> wait(DWORD ms);

  private:
    PROCESS_INFORMATION info{};
};

// The visible top-level window of a class in a process, waiting up to ms.
HWND findWindow(DWORD process, const wchar_t* className, DWORD ms = 15000);

struct Box {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text;
};

// The message box that a process shows with the given owner (null: none).
std::optional<Box> findMessageBox(DWORD process, HWND owner, DWORD ms = 15000);

// Whether any message box of the process is open.
bool anyMessageBox(DWORD process);

// The text as the control holds it (sent, so an edit's typed text counts).
std::wstring text(HWND window);

// The direct children in creation order.
std::vector<HWND> children(HWND parent);

std::wstring className(HWND window);

// Client rectangle of a child in its parent's client coordinates.
RECT placement(HWND child);

void type(HWND edit, const std::wstring& text); // replaces the whole text
void click(HWND button);
void answer(const Box& box, int id); // IDOK, IDYES, IDNO; returns once it is closed

// Polls until done() holds or ms pass.
template <typename Done> bool waitUntil(Done done, DWORD ms = 15000) {
    const ULONGLONG end = GetTickCount64() + ms;
    while (!done()) {
        if (GetTickCount64() > end) return false;
        Sleep(20);
    }
    return true;
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
// waits for NAME.done. Nothing happens when no folder was given.
void screenshot(const std::wstring& folder, const std::wstring& name);

std::vector<char> fileBytes(const std::wstring& path);

} // namespace velktest
