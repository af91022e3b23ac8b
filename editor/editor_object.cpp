// The editor's life cycle and the guard that keeps a closed editor alive until
// its outermost handler returns.
#include "editor/editor_object.hpp"

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

bool Editor::box(const std::wstring& text, const wchar_t* caption, uint32_t style, int* answer) {
    if (closed) return false;
    ++modalCalls;
    const int result = ui->messageBox(text, caption, style);
    if (answer) *answer = result;
    return !closed;
}

} // namespace palmtone
