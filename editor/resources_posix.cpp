// Natively the editor has no fonts or brushes to free.
#include "editor/editor_object.hpp"

namespace palmtone {

void Editor::releaseResources() noexcept {}

} // namespace palmtone
