// Until the editor window exists, the plug-in reports that it has none.
#include "editor/editor.hpp"

namespace palmtone {

Editor* openEditor(Plugin&, void*) { return nullptr; }

void closeEditor(Editor*) noexcept {}

} // namespace palmtone
