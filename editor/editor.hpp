#pragma once
// The plug-in's editor window as the core sees it: opened and closed by the
// dispatcher on the host's UI thread.
namespace palmtone {

class Plugin;
class Editor;

// Creates the editor inside the host's parent window; null when none was created.
Editor* openEditor(Plugin& plugin, void* parentWindow);

// Destroys an editor; accepts null.
void closeEditor(Editor* editor) noexcept;

} // namespace palmtone
