#pragma once
// The parameter menus as data: what each popup lists, which item carries the
// check mark, and what a choice sets. Pure; the window shows them (Ui::popupMenu).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "plugin/host/parameters.hpp"

namespace palmtone {

struct MenuItem {
    std::wstring text;
    int32_t id = 0; // the command a choice returns; 0 for a separator or a submenu
    bool checked = false;
    bool separator = false;
    std::vector<MenuItem> submenu; // non-empty: this item opens a submenu captioned text
};

using Menu = std::vector<MenuItem>;

// A parameter's value in its own unit, as the menus read it: non-finite counts
// as 0, clamped to 0..1, scaled and rounded half away from zero.
int32_t unitValue(int parameter, double normalised) noexcept;

// The popup of a parameter field (0, 1, 3, 4, 6, 11 or 12); with the custom
// scale chosen, the scale menu also lists the twelve note toggles (ids 101..112).
Menu parameterMenu(int parameter, const ParamValues& values);

// The WAV root note menu: eleven octave submenus of notes, ids note + 1.
Menu rootNoteMenu(const ParamValues& values);

// One parameter change the editor makes (value in the parameter's own unit).
struct Edit {
    int32_t parameter;
    double value;
    bool operator==(const Edit& o) const noexcept { return parameter == o.parameter && value == o.value; }
};

// What choosing `id` in the menu of `parameter` sets, given the values now; none
// for a dismissed menu or a toggle that would empty the custom scale.
std::optional<Edit> parameterChoice(int parameter, int32_t id, const ParamValues& values) noexcept;

// What choosing `id` in the root note menu sets.
std::optional<Edit> rootNoteChoice(int32_t id) noexcept;

// Every byte of an ASCII table text as one wide character.
std::wstring widen(const std::string& text);
std::wstring widen(const char* text);

} // namespace palmtone
