#include "tools/vst-host/editor_frame.hpp"

#include <stdexcept>

namespace vsthost {

namespace {

constexpr wchar_t frameClass[] = L"VelkHostFrame";

LRESULT CALLBACK frameProcedure(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_ERASEBKGND) return 1;
    return DefWindowProcW(window, msg, wParam, lParam);
}

void registerFrameClass() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = frameProcedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.lpszClassName = frameClass;
    RegisterClassExW(&wc);
}

} // namespace

EditorFrame::EditorFrame(Host& host, int x, int y) : host_(host) {
    registerFrameClass();
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    RECT r{0, 0, 980, 740};
    AdjustWindowRectEx(&r, style, FALSE, 0);
    frame_ = CreateWindowExW(0, frameClass, L"VELK beta", style | WS_VISIBLE, x, y, r.right - r.left,
                             r.bottom - r.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!frame_) throw std::runtime_error("the host frame window could not be created");
}

EditorFrame::~EditorFrame() {
    stopAudio();
    if (frame_) {
        close();
        DestroyWindow(frame_);
        drain();
    }
}

intptr_t EditorFrame::open() {
    return host_.dispatch(vst2::op::openEditor, 0, 0, frame_);
}

intptr_t EditorFrame::close() {
    if (!host_.effect()) return 0;
    return host_.dispatch(vst2::op::closeEditor);
}

HWND EditorFrame::editor() const noexcept {
    return FindWindowExW(frame_, nullptr, L"VelkBetaEditorV1", nullptr);
}

void EditorFrame::drain() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void EditorFrame::pump(DWORD ms, int32_t blockFrames) {
    const ULONGLONG end = GetTickCount64() + ms;
    ULONGLONG nextBlock = GetTickCount64();
    for (;;) {
        drain();
        const ULONGLONG now = GetTickCount64();
        if (blockFrames > 0 && !running_.load() && now >= nextBlock) {
            host_.process(blockFrames);
            nextBlock = now + 5;
        }
        if (now >= end) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
    }
}

void EditorFrame::startAudio(int32_t blockFrames, DWORD periodMs) {
    if (running_.exchange(true)) return;
    audio_ = std::thread([this, blockFrames, periodMs] {
        while (running_.load()) {
            host_.process(blockFrames);
            Sleep(periodMs);
        }
    });
}

void EditorFrame::stopAudio() {
    if (!running_.exchange(false)) return;
    if (audio_.joinable()) audio_.join();
}

void sendMouse(HWND window, UINT message, int x, int y, WPARAM keys) {
    SendMessageW(window, message, keys, MAKELPARAM(x, y));
}

void click(HWND window, int x, int y) {
    sendMouse(window, WM_LBUTTONDOWN, x, y, MK_LBUTTON);
    sendMouse(window, WM_LBUTTONUP, x, y);
}

void sendKey(HWND window, UINT message, UINT virtualKey, bool repeat) {
    LPARAM l = 1;
    if (repeat) l |= 1 << 30;
    if (message == WM_KEYUP) l |= (1 << 30) | (1u << 31);
    SendMessageW(window, message, virtualKey, l);
}

} // namespace vsthost
