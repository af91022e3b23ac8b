#include "tests/support/window_probe.hpp"

#include <fstream>
#include <iterator>

#include "tools/vst-host/wine_path.hpp"

namespace velktest {

std::wstring windowsPath(const std::string& linuxPath) {
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, linuxPath.data(), static_cast<int>(linuxPath.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, linuxPath.data(), static_cast<int>(linuxPath.size()), wide.data(), size);
    return vsthost::windowsPath(wide);
}

Process::Process(const std::wstring& program, const std::wstring& arguments) {
    std::wstring line = L"\"" + program + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info))
        info = {};
}

Process::~Process() {
    if (!info.hProcess) return;
    // A test that failed half-way must not leave its installer behind.
    if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info.hProcess, 99);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
}

std::optional<DWORD> Process::wait(DWORD ms) {
    if (!info.hProcess || WaitForSingleObject(info.hProcess, ms) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    return code;
}

std::wstring className(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

namespace {

BOOL CALLBACK collect(HWND window, LPARAM context) {
    auto& list = *reinterpret_cast<std::vector<HWND>*>(context);
    list.push_back(window);
    return TRUE;
}

// The first of windowsOf with the given owner, or with any owner.
HWND search(DWORD process, const wchar_t* name, bool anyOwner, HWND owner) {
    for (HWND window : windowsOf(process, name))
        if (anyOwner || GetWindow(window, GW_OWNER) == owner) return window;
    return nullptr;
}

} // namespace

std::vector<HWND> windowsOf(DWORD process, const wchar_t* name) {
    std::vector<HWND> all, found;
    EnumWindows(collect, reinterpret_cast<LPARAM>(&all));
    for (HWND window : all) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == process && IsWindowVisible(window) && className(window) == name) found.push_back(window);
    }
    return found;
}

HWND findWindow(DWORD process, const wchar_t* name, DWORD ms) {
    HWND found = nullptr;
    waitUntil([&] { return (found = search(process, name, true, nullptr)) != nullptr; }, ms);
    return found;
}

std::wstring text(HWND window) {
    std::vector<wchar_t> buffer(32768, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                        SMTO_NORMAL, patienceMs, &copied);
    return std::wstring(buffer.data());
}

std::vector<HWND> children(HWND parent) {
    std::vector<HWND> all, direct;
    EnumChildWindows(parent, collect, reinterpret_cast<LPARAM>(&all));
    for (HWND child : all)
        if (GetParent(child) == parent) direct.push_back(child);
    return direct;
}

std::optional<Box> findMessageBox(DWORD process, HWND owner, DWORD ms) {
    HWND box = nullptr;
    if (!waitUntil([&] { return (box = search(process, dialogClass, false, owner)) != nullptr; }, ms))
        return std::nullopt;
    return readBox(box);
}

Box readBox(HWND box) {
    Box result;
    result.window = box;
    result.caption = text(box);
    // The text is the box's one static control that is not its icon.
    for (HWND child : children(box)) {
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        if (className(child) == L"Static" && (style & SS_TYPEMASK) != SS_ICON && !text(child).empty())
            result.text = text(child);
    }
    return result;
}

bool anyMessageBox(DWORD process) {
    return search(process, dialogClass, true, nullptr) != nullptr;
}

RECT placement(HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool type(HWND edit, const std::wstring& typed) {
    PostMessageW(edit, EM_SETSEL, 0, -1);
    PostMessageW(edit, WM_CHAR, VK_BACK, 0);
    for (wchar_t c : typed)
        PostMessageW(edit, WM_CHAR, c, 1);
    return waitUntil([&] { return text(edit) == typed; });
}

void click(HWND button) {
    PostMessageW(button, BM_CLICK, 0, 0);
}

bool answer(const Box& box, int id) {
    PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box.window, id)));
    // The next box must not be mistaken for this one while it closes.
    return waitUntil([&] { return !IsWindow(box.window); });
}

void dispatchQueued() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

bool screenshot(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty()) return true;
    const std::wstring ready = folder + L"\\" + name + L".ready";
    const std::wstring done = folder + L"\\" + name + L".done";
    DeleteFileW(done.c_str());
    HANDLE file = CreateFileW(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return waitUntil([&] { return GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES; });
}

std::vector<char> fileBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool haveXdotool() {
    return VELK_XDOTOOL[0] != '\0';
}

bool xdotool(const std::wstring& arguments) {
    if (!haveXdotool()) return false;
    const std::wstring program = windowsPath(VELK_XDOTOOL);
    std::wstring line = L"xdotool " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info))
        return false;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return true;
}

} // namespace velktest
