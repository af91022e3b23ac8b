// The editor's two drop paths - OLE drops on the library and sound panels, and
// shell drops anywhere on the window - and the drag of the take's file out.
#include <windows.h>

#include <ole2.h>
#include <shellapi.h>

#include <new>

#include "chords/midi_file_drag_win32.hpp"
#include "editor/editor.hpp"
#include "editor/win32/wave_drop_target_win32.hpp"
#include "editor/win32/windows_ui_win32.hpp"

namespace palmtone {

void Editor::attachDrop() {
    const HRESULT ole = OleInitialize(nullptr);
    if (ole < 0) return; // files dropped from the shell still arrive
    oleInitialized = true;
    Editor* self = this;
    dropTarget = new WaveDropTarget(
        [self](POINTL p) {
            if (!self->window) return false;
            POINT client{p.x, p.y};
            ScreenToClient(self->window, &client);
            return self->acceptsDrop(Point{client.x, client.y});
        },
        [self](bool on) { self->hover(on); },
        [self](std::vector<std::wstring> paths) { self->deliver(std::move(paths)); });
    registered = RegisterDragDrop(window, dropTarget) >= 0;
}

void Editor::detachDrop(HWND w) {
    if (dropTarget) dropTarget->detach();
    if (registered) {
        RevokeDragDrop(w);
        registered = false;
    }
    if (dropTarget) {
        dropTarget->Release();
        dropTarget = nullptr;
    }
    DragAcceptFiles(w, FALSE);
    if (oleInitialized) {
        OleUninitialize();
        oleInitialized = false;
    }
}

void Editor::shellDropMessage(HDROP drop) {
    // DragFinish whatever happens to the list.
    struct Finish {
        HDROP h;
        ~Finish() { DragFinish(h); }
    } finish{drop};
    std::vector<std::wstring> paths;
    try {
        paths = waveDropPaths(drop);
    } catch (...) {
        return;
    }
    shellDrop(std::move(paths));
}

int32_t WindowsUi::dragFile(const std::wstring& path) {
    return tamso::dragMidiFile(path);
}

} // namespace palmtone
