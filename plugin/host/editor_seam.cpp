// The installed editor: none until a program installs one.
#include "plugin/host/editor_seam.hpp"

namespace palmtone {

namespace {

const EditorSeam* installed = nullptr; // written before any instance exists, read on the UI thread

} // namespace

void installEditor(const EditorSeam* seam) noexcept {
    installed = seam;
}

Editor* openEditor(Plugin& plugin, void* parentWindow) {
    return installed ? installed->open(plugin, parentWindow) : nullptr;
}

void closeEditor(Editor* editor) noexcept {
    if (installed) installed->close(editor);
}

} // namespace palmtone
