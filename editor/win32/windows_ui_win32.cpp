// The Windows side of the editor's seam.
#include "editor/win32/windows_ui_win32.hpp"

#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>

#include <memory>

#include "editor/editor.hpp"
#include "editor/texts.hpp"
#include "editor/win32/file_write_win32.hpp"

namespace palmtone {

namespace {

struct MenuHandle {
    HMENU h;
    explicit MenuHandle(HMENU menu) noexcept : h(menu) {}
    ~MenuHandle() {
        if (h) DestroyMenu(h);
    }
    MenuHandle(const MenuHandle&) = delete;
    MenuHandle& operator=(const MenuHandle&) = delete;
    HMENU release() noexcept {
        HMENU out = h;
        h = nullptr;
        return out;
    }
};

// Fills a popup from the menu's items; a submenu becomes owned by its parent.
bool fill(HMENU popup, const Menu& items) {
    for (const MenuItem& item : items) {
        if (item.separator) {
            if (!AppendMenuW(popup, MF_SEPARATOR, 0, nullptr)) return false;
        } else if (!item.submenu.empty()) {
            MenuHandle sub(CreatePopupMenu());
            if (!sub.h || !fill(sub.h, item.submenu)) return false;
            if (!AppendMenuW(popup, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub.h),
                             item.text.c_str()))
                return false;
            sub.release();
        } else {
            const UINT flags = MF_STRING | (item.checked ? MF_CHECKED : 0);
            if (!AppendMenuW(popup, flags, static_cast<UINT_PTR>(item.id), item.text.c_str())) return false;
        }
    }
    return true;
}

} // namespace

HWND WindowsUi::hwnd() const noexcept {
    return editor ? editor->window : nullptr;
}

HWND WindowsUi::root() const noexcept {
    HWND w = hwnd();
    return w ? GetAncestor(w, GA_ROOT) : nullptr;
}

void WindowsUi::repaint() {
    if (HWND w = hwnd()) InvalidateRect(w, nullptr, FALSE);
}

void WindowsUi::capture() {
    if (HWND w = hwnd()) SetCapture(w);
}

void WindowsUi::releaseCapture() {
    ReleaseCapture();
}

bool WindowsUi::hasCapture() {
    HWND w = hwnd();
    return w && GetCapture() == w;
}

void WindowsUi::focus() {
    if (HWND w = hwnd()) SetFocus(w);
}

void WindowsUi::trackLeave() {
    TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd(), 0};
    if (track.hwndTrack) TrackMouseEvent(&track);
}

void WindowsUi::postDeferredDrop() {
    if (HWND w = hwnd()) PostMessageW(w, deferredDropMessage, 0, 0);
}

void WindowsUi::destroyWindow() {
    if (HWND w = hwnd()) DestroyWindow(w);
}

// The asynchronous state: what the devices report now, whoever took their messages.
bool WindowsUi::keyDown(int32_t virtualKey) {
    return GetAsyncKeyState(virtualKey) < 0;
}

// The primary button, which sends the window its left-button messages. The
// asynchronous state is the physical buttons': with them swapped, the right one.
bool WindowsUi::mouseButtonDown() {
    return GetAsyncKeyState(GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON) < 0;
}

int WindowsUi::messageBox(const std::wstring& text, const wchar_t* caption, uint32_t style) {
    return MessageBoxW(hwnd(), text.c_str(), caption, style);
}

int32_t WindowsUi::popupMenu(const Menu& menu, Point at) {
    HWND w = hwnd();
    if (!w) return 0;
    MenuHandle popup(CreatePopupMenu());
    if (!popup.h || !fill(popup.h, menu)) return 0;
    POINT p{at.x, at.y};
    ClientToScreen(w, &p);
    return TrackPopupMenu(popup.h, TPM_RETURNCMD | TPM_NONOTIFY, p.x, p.y, 0, w, nullptr);
}

OpenReply WindowsUi::openWaveFiles() {
    OpenReply reply;
    reply.buffer.assign(65536, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = root();
    dialog.lpstrFilter = L"One shots WAV (*.wav)\0*.wav\0";
    dialog.lpstrFile = reply.buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(reply.buffer.size());
    dialog.Flags =
        OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_ALLOWMULTISELECT | OFN_NOCHANGEDIR;
    reply.chosen = GetOpenFileNameW(&dialog) != 0;
    if (!reply.chosen) {
        reply.tooSmall = CommDlgExtendedError() == FNERR_BUFFERTOOSMALL;
        reply.buffer.clear();
    }
    return reply;
}

FolderReply WindowsUi::chooseFolder() {
    FolderReply reply;
    const HRESULT apartment = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW browse{};
    browse.hwndOwner = root();
    browse.pszDisplayName = displayName;
    browse.lpszTitle = texts::folderTitle;
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    if (PIDLIST_ABSOLUTE items = SHBrowseForFolderW(&browse)) {
        // Folders deeper than MAX_PATH: the long form of the call, with room for any path.
        std::wstring path(32768, L'\0');
        if (SHGetPathFromIDListEx(items, &path[0], static_cast<DWORD>(path.size()), GPFIDL_DEFAULT)) {
            path.resize(wcsnlen(path.c_str(), path.size()));
            reply.kind = path.empty() ? FolderReply::noPath : FolderReply::chosen;
            reply.path = std::move(path);
        } else {
            reply.kind = FolderReply::noPath;
        }
        CoTaskMemFree(items);
    }
    if (apartment >= 0) CoUninitialize();
    return reply;
}

bool WindowsUi::chooseMidiPath(std::wstring& path) {
    std::vector<wchar_t> buffer(32768, L'\0');
    path.copy(buffer.data(), std::min<size_t>(path.size(), buffer.size() - 1));
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = root();
    dialog.lpstrFilter = L"MIDI (*.mid)\0*.mid\0";
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.size());
    dialog.lpstrDefExt = L"mid";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;
    if (!GetSaveFileNameW(&dialog)) return false;
    path.assign(buffer.data(), wcsnlen(buffer.data(), buffer.size()));
    return true;
}

bool WindowsUi::temporaryFolder(std::wstring& folder) {
    return temporaryFolderPath(folder);
}

bool WindowsUi::newGuidText(std::wstring& text) {
    return guidText(text);
}

bool WindowsUi::writeReplacing(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    return writeFileReplacing(path, bytes);
}

bool WindowsUi::writeNew(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    return writeFileNew(path, bytes);
}

} // namespace palmtone
