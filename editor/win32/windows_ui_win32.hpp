#pragma once
// The editor's window-system seam on Windows: user32 for the window, boxes and
// menus, comdlg32 and shell32 for the dialogs, ole32 for the drag, kernel32 for
// the export's files. Tests derive from it to answer the modal calls themselves.
#include <windows.h>

#include <memory>
#include <string>

#include "editor/ui.hpp"
#include "plugin/host/editor_seam.hpp"

namespace palmtone {

class Editor;
class Plugin;

class WindowsUi : public Ui {
  public:
    Editor* editor = nullptr; // set by openEditorWith; the window is editor->window

    void repaint() override;
    void capture() override;
    void releaseCapture() override;
    bool hasCapture() override;
    void focus() override;
    void trackLeave() override;
    void postDeferredDrop() override;
    void destroyWindow() override;
    bool keyDown(int32_t virtualKey) override;
    bool mouseButtonDown() override;

    int messageBox(const std::wstring& text, const wchar_t* caption, uint32_t style) override;
    int32_t popupMenu(const Menu& menu, Point at) override;
    OpenReply openWaveFiles() override;
    FolderReply chooseFolder() override;
    bool chooseMidiPath(std::wstring& path) override;
    int32_t dragFile(const std::wstring& path) override;

    bool temporaryFolder(std::wstring& folder) override;
    bool newGuidText(std::wstring& text) override;
    bool writeReplacing(const std::wstring& path, const std::vector<uint8_t>& bytes) override;
    bool writeNew(const std::wstring& path, const std::vector<uint8_t>& bytes) override;

  protected:
    HWND hwnd() const noexcept;
    // The top-level window that contains the editor: the dialogs' owner.
    HWND root() const noexcept;
};

// Opens an editor with the given seam (tests pass a WindowsUi of their own);
// null when it could not be created. windowsEditor's open uses a plain WindowsUi.
Editor* openEditorWith(Plugin& plugin, HWND parent, std::unique_ptr<WindowsUi> ui);

// The Win32 editor for the core's seam (plugin/host/editor_seam.hpp), which the
// plug-in library installs: its windows live in the host's, and a close frees
// the editor once none of its handlers runs any more.
extern const EditorSeam windowsEditor;

// What the plug-in library does when it is attached: keeps the module the
// window class is registered with and installs windowsEditor. Programs that
// link the Windows layer directly, such as the tests, pass their own module.
void installWindowsEditor(HINSTANCE module) noexcept;

// How many editor windows exist in the process.
int32_t editorWindowCount() noexcept;

// The face the editor's fonts use: `wanted` when the system lists that family,
// else "Arial".
std::wstring fontFace(const wchar_t* wanted);

} // namespace palmtone
