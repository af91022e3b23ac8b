#pragma once
// The editor window as the core sees it: the dispatcher reports its size
// (opcode 13), opens it inside the host's window (14) and closes it (15), all
// on the host's UI thread.
//
// The core links no editor. A program gives it one at run time: the plug-in
// library's entry installs the Win32 editor when the library is attached,
// before any instance exists, and a test that wants a real window installs the
// same. Where none is installed (every native build, and the tests that ask for
// none) there is no editor: opcode 14 answers 0 and a close does nothing.
#include <cstdint>

namespace palmtone {

class Plugin;
class Editor;

// The window's client area, which the host sizes its frame to.
constexpr int32_t editorWidth = 980;
constexpr int32_t editorHeight = 740;

struct EditorSeam {
    // Creates the editor inside the host's parent window; null when none was created.
    Editor* (*open)(Plugin& plugin, void* parentWindow);
    // Destroys an editor; accepts null.
    void (*close)(Editor* editor) noexcept;
};

// The editor every instance opens from now on; null for none. Set once, before
// the first instance exists; the seam must outlive every instance.
void installEditor(const EditorSeam* seam) noexcept;

// Through the installed seam: null, and nothing, when none is installed.
Editor* openEditor(Plugin& plugin, void* parentWindow);
void closeEditor(Editor* editor) noexcept;

} // namespace palmtone
