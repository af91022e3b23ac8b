// The editor's life cycle, the guard that keeps a closed editor alive until
// its outermost handler returns, and what its modal calls have in common.
#include "editor/editor.hpp"

#include "editor/key_tables.hpp"
#include "plugin/plugin.hpp"

namespace palmtone {

Editor::Editor(Plugin* owner, std::unique_ptr<Ui> seam) : plugin(owner), ui(std::move(seam)) {}

Editor::~Editor() {
    releaseResources();
}

void Editor::windowGone() {
    releaseKeys();
    window = nullptr;
}

bool Editor::close() {
    if (window && ui) ui->destroyWindow();
    // Whatever still runs of a handler must find nothing to act on.
    closed = true;
    plugin = nullptr;
    return depth == 0;
}

void Editor::releaseLifted() {
    for (int i = 0; i < padCount; ++i)
        if (keyDown[i] && !ui->keyDown(keys[i])) keyReleased(keys[i]);
    if (padHeld >= 0 && !ui->mouseButtonDown()) releasePad();
}

bool Editor::box(const std::wstring& text, const wchar_t* caption, uint32_t style, int* answer) {
    if (closed) return false;
    const int result = modal([&] { return ui->messageBox(text, caption, style); });
    if (answer) *answer = result;
    return !closed;
}

} // namespace palmtone
