#pragma once
// Everything the editor asks of the window system, behind one seam: the window's
// own operations (repaint, capture, focus), the keyboard's and the mouse's state,
// the modal ones (message boxes, popup menus, the open, save and folder dialogs,
// the file drag) and the files the take export writes. The Windows build
// implements it with user32, comdlg32, shell32 and ole32; tests replace it with
// fakes that record each call and answer as told. UI thread only.
#include <cstdint>
#include <string>
#include <vector>

#include "editor/geometry.hpp"
#include "editor/menu.hpp"

namespace palmtone {

// The open dialog's reply: the raw selection buffer (folder, then names, each
// NUL-terminated, an empty string last; or one full path) when `chosen`.
struct OpenReply {
    bool chosen = false;
    bool tooSmall = false;       // the selection did not fit the buffer
    std::vector<wchar_t> buffer; // as the dialog wrote it
};

// The folder browser's reply.
struct FolderReply {
    enum Kind { cancelled, chosen, noPath } kind = cancelled;
    std::wstring path; // for chosen
};

class Ui {
  public:
    virtual ~Ui() = default;

    // --- the window ---
    virtual void repaint() = 0; // invalidates the whole window, no erase
    virtual void capture() = 0; // mouse capture to the window
    virtual void releaseCapture() = 0;
    virtual bool hasCapture() = 0;       // the window holds the capture
    virtual void focus() = 0;            // keyboard focus to the window
    virtual void trackLeave() = 0;       // ask for one mouse-leave notification
    virtual void postDeferredDrop() = 0; // posts the deferred-drop message to the window
    virtual void destroyWindow() = 0;    // destroys the window (its teardown runs inside)

    // --- the keyboard and the mouse as they are now, not as the queue last told ---
    virtual bool keyDown(int32_t virtualKey) = 0;
    virtual bool mouseButtonDown() = 0; // the primary button (the left one unless they are swapped)

    // --- modal: each returns only when the user is done ---
    virtual int messageBox(const std::wstring& text, const wchar_t* caption, uint32_t style) = 0;
    // Shows the menu with its top-left corner at the client point; the chosen id or 0.
    virtual int32_t popupMenu(const Menu& menu, Point at) = 0;
    virtual OpenReply openWaveFiles() = 0;
    virtual FolderReply chooseFolder() = 0;
    // The save dialog for "VELK_acordes.mid"; false when cancelled or failed.
    virtual bool chooseMidiPath(std::wstring& path) = 0;
    // The OLE drag of one file; the drag loop's HRESULT (negative: failed).
    virtual int32_t dragFile(const std::wstring& path) = 0;

    // --- files of the take export ---
    // The user's temporary folder, absolute and ending in a separator; false when none.
    virtual bool temporaryFolder(std::wstring& folder) = 0;
    // A fresh GUID as braced text; false when none could be made.
    virtual bool newGuidText(std::wstring& text) = 0;
    // Writes bytes to path through a temporary file in its folder that then
    // replaces the target; on failure the old file stays whole and nothing is left.
    virtual bool writeReplacing(const std::wstring& path, const std::vector<uint8_t>& bytes) = 0;
    // Creates path (it must not exist) with bytes.
    virtual bool writeNew(const std::wstring& path, const std::vector<uint8_t>& bytes) = 0;
};

} // namespace palmtone
