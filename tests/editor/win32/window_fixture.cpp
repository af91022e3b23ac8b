#include "tests/editor/win32/window_fixture.hpp"

#include "editor/geometry.hpp"
#include "plugin/host/editor_seam.hpp"
#include "plugin/plugin.hpp"

namespace win32test {

void ScriptedUi::repaint() {
    ++script_.repaints;
    if (script_.onRepaint) script_.onRepaint();
    WindowsUi::repaint();
}

int ScriptedUi::messageBox(const std::wstring& text, const wchar_t* caption, uint32_t style) {
    script_.boxes.push_back({text, caption, style});
    if (script_.duringBox) script_.duringBox();
    return script_.boxAnswer;
}

int32_t ScriptedUi::popupMenu(const palmtone::Menu& menu, palmtone::Point at) {
    script_.menus.push_back(menu);
    script_.menuPoints.push_back(at);
    if (script_.duringMenu) script_.duringMenu();
    return script_.menuAnswer;
}

bool ScriptedUi::chooseMidiPath(std::wstring& path) {
    ++script_.saveDialogs;
    if (script_.savePath.empty()) return false;
    path = script_.savePath;
    return true;
}

namespace {

LRESULT CALLBACK parentProcedure(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    return DefWindowProcW(w, msg, wp, lp);
}

} // namespace

HWND makeParent(int x, int y) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = parentProcedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VelkTestParent";
    RegisterClassExW(&wc);
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_CLIPCHILDREN | WS_VISIBLE;
    RECT r{0, 0, palmtone::editorWidth, palmtone::editorHeight};
    AdjustWindowRectEx(&r, style, FALSE, 0);
    return CreateWindowExW(0, L"VelkTestParent", L"host", style, x, y, r.right - r.left, r.bottom - r.top,
                           nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

void drain() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

Canvas::Canvas() {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = palmtone::editorWidth;
    info.bmiHeader.biHeight = -palmtone::editorHeight; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    previous_ = SelectObject(dc_, bitmap_);
    bits_ = static_cast<const uint32_t*>(bits);
}

Canvas::~Canvas() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
}

COLORREF Canvas::pixel(int x, int y) const noexcept {
    GdiFlush();
    const uint32_t bgra = bits_[y * palmtone::editorWidth + x];
    return RGB(bgra >> 16 & 0xFF, bgra >> 8 & 0xFF, bgra & 0xFF);
}

void WindowTest::SetUp() {
    palmtone::installWindowsEditor(GetModuleHandleW(nullptr)); // as the plug-in library's attach does
    parent = makeParent();
    ASSERT_NE(parent, nullptr);
}

void WindowTest::TearDown() {
    close();
    if (parent) DestroyWindow(parent);
    drain();
}

palmtone::Editor* WindowTest::open(HWND parentWindow) {
    editor = palmtone::openEditorWith(host.plugin(), parentWindow, std::make_unique<ScriptedUi>(script));
    host.plugin().editor = editor;
    return editor;
}

void WindowTest::close() {
    if (!editor) return;
    palmtone::closeEditor(editor);
    editor = nullptr;
    host.plugin().editor = nullptr;
}

void WindowTest::paint() {
    InvalidateRect(editor->window, nullptr, FALSE);
    UpdateWindow(editor->window);
}

std::vector<palmtone::InputEvent> WindowTest::pendingEvents() const {
    const palmtone::Plugin& p = const_cast<velktest::TestHost&>(host).plugin();
    std::vector<palmtone::InputEvent> events;
    for (uint32_t i = 0, n = p.uiEvents.size(); i < n; ++i)
        events.push_back(p.uiEvents.peek(i));
    return events;
}

} // namespace win32test
