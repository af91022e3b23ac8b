// The popup menus of the parameter fields and of the WAV root button.
#include "editor/editor.hpp"
#include "plugin/plugin.hpp"

namespace palmtone {

void Editor::menu(int parameter, Point at) {
    if (!plugin) return;
    const Menu items = parameterMenu(parameter, plugin->snapshot());
    const int32_t id = modal([&] { return ui->popupMenu(items, at); });
    if (closed) return;
    // The custom-scale toggles apply to the mask as it is now, not as it was shown.
    if (const auto edit = parameterChoice(parameter, id, plugin->snapshot()))
        plugin->edit(edit->parameter, edit->value);
}

void Editor::rootMenu(Point at) {
    if (!plugin) return;
    const Menu items = rootNoteMenu(plugin->snapshot());
    const int32_t id = modal([&] { return ui->popupMenu(items, at); });
    if (closed) return;
    if (const auto edit = rootNoteChoice(id)) plugin->edit(edit->parameter, edit->value);
}

} // namespace palmtone
