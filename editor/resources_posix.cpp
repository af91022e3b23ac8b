// Natively the editor has no fonts or brushes to free.
#include "editor/editor.hpp"

namespace palmtone {

void Editor::releaseResources() noexcept {}

} // namespace palmtone
