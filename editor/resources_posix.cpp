// Natively the editor has no fonts or brushes to free (on Windows,
// editor/win32/window_win32.cpp frees the ones its window made).
#include "editor/editor.hpp"

namespace palmtone {

void Editor::releaseResources() noexcept {}

} // namespace palmtone
