// Native builds have no window system: there the plug-in reports no editor.
#include "editor/editor.hpp"

namespace palmtone {

Editor* openEditor(Plugin&, void*) {
    return nullptr;
}

void closeEditor(Editor*) noexcept {}

} // namespace palmtone
