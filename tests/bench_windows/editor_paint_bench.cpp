// One full paint of the editor into a 980 x 740 DIB, under Wine: the cost the
// 33 ms repaint timer pays about 30 times a second while the editor is open.
// Beside it, as a scale, one copy of the whole window (the BitBlt every paint
// ends with) and one fill of it.
#include <benchmark/benchmark.h>

#include <windows.h>

#include "editor/editor.hpp"
#include "editor/geometry.hpp"
#include "editor/win32/module_win32.hpp"
#include "editor/win32/windows_ui_win32.hpp"
#include "plugin/host/editor_seam.hpp"
#include "plugin/plugin.hpp"
#include "tests/support/test_host.hpp"

namespace {

using palmtone::editorHeight;
using palmtone::editorWidth;

LRESULT CALLBACK parentProcedure(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    return DefWindowProcW(w, msg, wp, lp);
}

struct Dib {
    Dib() {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), editorWidth, -editorHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        previous = SelectObject(dc, bitmap);
    }
    ~Dib() {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ previous;
};

// An open editor inside a host window, on an instance in the given state.
struct OpenEditor {
    explicit OpenEditor(uint16_t columns) {
        palmtone::installWindowsEditor(GetModuleHandleW(nullptr));
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = parentProcedure;
        wc.hInstance = palmtone::moduleInstance;
        wc.lpszClassName = L"VelkBenchParent";
        RegisterClassExW(&wc);
        parent = CreateWindowExW(0, L"VelkBenchParent", L"bench", WS_OVERLAPPEDWINDOW, 0, 0, 1000, 800,
                                 nullptr, nullptr, palmtone::moduleInstance, nullptr);
        editor = palmtone::openEditor(host.plugin(), parent);
        KillTimer(editor->window, 1);
        if (columns) fill(columns);
    }
    ~OpenEditor() {
        palmtone::closeEditor(editor);
        DestroyWindow(parent);
    }
    // A chord held, a full library page under the pointer's pad, and a
    // finished take whose every column holds `columns`.
    void fill(uint16_t columns) {
        palmtone::Plugin& p = host.plugin();
        std::vector<std::wstring> files;
        for (int i = 0; i < 10; ++i)
            files.push_back(L"C:\\one shots\\sound " + std::to_wstring(i) + L".wav");
        p.bank.addFiles(files);
        for (uint16_t& column : editor->overview)
            column = columns;
        editor->lastState = tamso::Finished;
        p.capture.state.store(tamso::Finished);
        p.capture.publishedNotes.store(100);
        editor->keyDown[0] = true;
        editor->mouse = {320, 400};
    }
    velktest::TestHost host;
    HWND parent = nullptr;
    palmtone::Editor* editor = nullptr;
};

void paint(benchmark::State& state, uint16_t columns) {
    OpenEditor open(columns);
    Dib dib;
    for (auto _ : state) {
        open.editor->paint(dib.dc);
        GdiFlush();
    }
}

// A new editor: nothing played, an empty take.
void Paint_Idle(benchmark::State& state) {
    paint(state, 0);
}
// A take of triads all along: three cells a column.
void Paint_TakeOfTriads(benchmark::State& state) {
    paint(state, 0x0091);
}
// The most a pass can draw: all twelve cells of every column lit.
void Paint_EveryCellLit(benchmark::State& state) {
    paint(state, 0x0FFF);
}

void Scale_CopyWindow(benchmark::State& state) {
    Dib from, to;
    for (auto _ : state) {
        BitBlt(to.dc, 0, 0, editorWidth, editorHeight, from.dc, 0, 0, SRCCOPY);
        GdiFlush();
    }
}

void Scale_FillWindow(benchmark::State& state) {
    Dib dib;
    HBRUSH brush = CreateSolidBrush(RGB(10, 10, 10));
    RECT r{0, 0, editorWidth, editorHeight};
    for (auto _ : state) {
        FillRect(dib.dc, &r, brush);
        GdiFlush();
    }
    DeleteObject(brush);
}

BENCHMARK(Paint_Idle)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(Paint_TakeOfTriads)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(Paint_EveryCellLit)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(Scale_CopyWindow)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(Scale_FillWindow)->Unit(benchmark::kMillisecond)->Repetitions(5);

} // namespace

BENCHMARK_MAIN();
