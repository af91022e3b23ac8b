// The editor's window: class, creation inside the host's window, the window
// procedure that hands each message to the editor, and the host's close.
#include <windows.h>
#include <windowsx.h>

#include <atomic>
#include <new>

#include "editor/editor.hpp"
#include "editor/menu.hpp"
#include "editor/palette.hpp"
#include "editor/texts.hpp"
#include "editor/win32/gdi_guards_win32.hpp"
#include "editor/win32/module_win32.hpp"
#include "editor/win32/windows_ui_win32.hpp"
#include "plugin/host/editor_seam.hpp"
#include "plugin/plugin.hpp"

namespace palmtone {

namespace {

constexpr wchar_t className[] = L"VelkBetaEditorV1";
constexpr UINT_PTR repaintTimer = 1;

// Editor windows in the process, across every instance of the plug-in.
std::atomic<int32_t> editorWindows{0};

void registerClass() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = reinterpret_cast<WNDPROC>(&Editor::procedure);
    wc.hInstance = moduleInstance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = className;
    RegisterClassExW(&wc); // fails harmlessly when another editor registered it
}

// The editor stops counting as a window of the process; the last one takes the class.
void uncount(Editor& editor) noexcept {
    if (!editor.counted) return;
    editor.counted = false;
    if (editorWindows.fetch_sub(1) == 1) UnregisterClassW(className, moduleInstance);
}

int CALLBACK findFont(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

HFONT makeFont(const std::wstring& face, int height, int weight) {
    return CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str());
}

void createResources(Editor& e) {
    const std::wstring face = fontFace(L"Manrope");
    e.font12 = makeFont(face, -12, FW_NORMAL);
    e.font14 = makeFont(face, -14, FW_NORMAL);
    e.font17 = makeFont(face, -17, FW_BOLD);
    e.font22 = makeFont(face, -22, FW_BOLD);
    e.font30 = makeFont(face, -30, FW_BOLD);
    e.backgroundBrush = CreateSolidBrush(colours::windowBackground); // a Colour is a COLORREF
}

// The whole window is drawn off screen and copied in one go: no erase, no flicker.
void paintWindow(Editor& editor, HWND window) {
    PaintScope scope(window);
    if (!scope.dc) return;
    MemoryDc memory(scope.dc);
    GdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(scope.dc, editorWidth, editorHeight));
    if (!memory.dc || !bitmap.get()) return;
    Selected selected(memory.dc, bitmap.get());
    editor.paint(memory.dc);
    BitBlt(scope.dc, 0, 0, editorWidth, editorHeight, memory.dc, 0, 0, SRCCOPY);
}

bool ctrlOrAlt() noexcept {
    return GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0;
}

} // namespace

std::wstring fontFace(const wchar_t* wanted) {
    bool found = false;
    HDC screen = GetDC(nullptr);
    LOGFONTW lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(lf.lfFaceName, wanted, LF_FACESIZE);
    EnumFontFamiliesExW(screen, &lf, findFont, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found ? std::wstring(wanted) : std::wstring(L"Arial");
}

int32_t editorWindowCount() noexcept {
    return editorWindows.load();
}

Editor* openEditorWith(Plugin& plugin, HWND parent, std::unique_ptr<WindowsUi> ui) {
    if (!ui) return nullptr;
    WindowsUi* seam = ui.get();
    Editor* editor = nullptr;
    try {
        editor = new Editor(&plugin, std::move(ui));
    } catch (...) {
        return nullptr; // no memory for the editor or for one of its members
    }
    seam->editor = editor;
    bool attached = false;
    try {
        createResources(*editor);
        attached = editor->attach(parent);
    } catch (...) {
        attached = false;
    }
    if (!attached) {
        // Whatever part of the window exists goes with the editor.
        if (editor->window) DestroyWindow(editor->window);
        uncount(*editor);
        delete editor;
        return nullptr;
    }
    return editor;
}

namespace {

Editor* openWindowsEditor(Plugin& plugin, void* parentWindow) {
    if (!parentWindow) return nullptr;
    std::unique_ptr<WindowsUi> ui(new (std::nothrow) WindowsUi);
    return openEditorWith(plugin, static_cast<HWND>(parentWindow), std::move(ui));
}

void closeWindowsEditor(Editor* editor) noexcept {
    if (!editor) return;
    bool freeNow = true;
    try {
        freeNow = editor->close();
    } catch (...) {
    }
    uncount(*editor);
    if (freeNow) delete editor;
}

} // namespace

const EditorSeam windowsEditor{&openWindowsEditor, &closeWindowsEditor};

void installWindowsEditor(HINSTANCE module) noexcept {
    moduleInstance = module;
    installEditor(&windowsEditor);
}

bool Editor::attach(HWND parent) {
    registerClass();
    window = CreateWindowExW(0, className, L"VELK beta", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                             editorWidth, editorHeight, parent, nullptr, moduleInstance, this);
    if (!window) {
        if (editorWindows.load() == 0) UnregisterClassW(className, moduleInstance);
        return false;
    }
    editorWindows.fetch_add(1);
    counted = true;
    SetTimer(window, repaintTimer, 33, nullptr);
    DragAcceptFiles(window, TRUE);
    attachDrop();
    return true;
}

intptr_t __stdcall Editor::procedure(HWND window, unsigned msg, uintptr_t wParam, intptr_t lParam) {
    auto* editor = reinterpret_cast<Editor*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (msg == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        editor = static_cast<Editor*>(create->lpCreateParams);
        if (editor) {
            editor->window = window;
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(editor));
        }
    }
    if (!editor) return DefWindowProcW(window, msg, wParam, lParam);
    editor->enter();
    LRESULT result = 0;
    try {
        result = editor->message(window, msg, wParam, lParam);
    } catch (const std::exception& e) {
        editor->failed(msg, &e);
    } catch (...) {
        editor->failed(msg, nullptr);
    }
    if (msg == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    // The host closed the editor inside this handler: nothing else holds it now.
    if (editor->leave()) delete editor;
    return result;
}

// The five fonts and the background brush that createResources made.
void Editor::releaseResources() noexcept {
    HGDIOBJ objects[] = {font12, font14, font17, font22, font30, backgroundBrush};
    for (HGDIOBJ object : objects)
        if (object) DeleteObject(object);
    font12 = font14 = font17 = font22 = font30 = nullptr;
    backgroundBrush = nullptr;
}

void Editor::failed(unsigned msg, const std::exception* e) noexcept {
    // A paint cut short skips its frame; a failed action says so, unless the
    // editor is going away.
    if (msg == WM_PAINT || msg == WM_DESTROY || msg == WM_NCDESTROY || closed || !window) return;
    try {
        std::wstring text = e ? widen(e->what()) : std::wstring(texts::actionFailed);
        box(text, texts::take, box::iconError);
    } catch (...) {
    }
}

intptr_t Editor::message(HWND w, unsigned msg, uintptr_t wParam, intptr_t lParam) {
    const Point at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (msg) {
    case WM_DESTROY:
        detachDrop(w);
        KillTimer(w, repaintTimer);
        windowGone();
        return 0;
    case WM_KILLFOCUS: focusLost(); return 0;
    case WM_PAINT: paintWindow(*this, w); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_KEYDOWN:
        if (keyPressed(static_cast<int32_t>(wParam), (lParam & (1 << 30)) != 0, ctrlOrAlt())) return 0;
        break;
    case WM_KEYUP:
        if (keyReleased(static_cast<int32_t>(wParam))) return 0;
        break;
    case WM_TIMER: timerTick(); return 0;
    case WM_MOUSEMOVE: mouseMoved(at); return 0;
    case WM_LBUTTONDOWN: buttonPressed(at); return 0;
    case WM_LBUTTONUP: buttonReleased(); return 0;
    case WM_MOUSEWHEEL: {
        POINT p{at.x, at.y};
        ScreenToClient(w, &p);
        if (wheel(Point{p.x, p.y}, GET_WHEEL_DELTA_WPARAM(wParam))) return 0;
        break;
    }
    case WM_CAPTURECHANGED: captureLost(); return 0;
    case WM_DROPFILES: shellDropMessage(reinterpret_cast<HDROP>(wParam)); return 0;
    case WM_MOUSELEAVE: mouseLeft(); return 0;
    case deferredDropMessage: deferredDrop(); return 0;
    default: break;
    }
    return DefWindowProcW(w, msg, wParam, lParam);
}

} // namespace palmtone
