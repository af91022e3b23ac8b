// Interim: the shell drop path only, until the OLE drop target and drag source land.
#include <windows.h>
#include <shellapi.h>

#include "editor/editor_object.hpp"
#include "editor/windows_ui_win32.hpp"

namespace palmtone {

void Editor::attachDrop() {}

void Editor::detachDrop(HWND w) { DragAcceptFiles(w, FALSE); }

void Editor::shellDropMessage(HDROP drop) {
    std::vector<std::wstring> paths;
    shellDrop(std::move(paths));
    DragFinish(drop);
}

int32_t WindowsUi::dragFile(const std::wstring&) { return E_NOTIMPL; }

} // namespace palmtone
