#pragma once
// The editor's colours, as Windows COLORREF values (0x00BBGGRR). Every colour
// drawn is one of these or, in editor/layout.cpp, a blend of two of them: the
// pads' glow and hover and the record button's pulse.
#include <cstdint>

namespace palmtone {

using Colour = uint32_t;

constexpr Colour rgb(int r, int g, int b) noexcept {
    return static_cast<Colour>(r) | static_cast<Colour>(g) << 8 | static_cast<Colour>(b) << 16;
}
constexpr int red(Colour c) noexcept {
    return static_cast<int>(c & 0xFF);
}
constexpr int green(Colour c) noexcept {
    return static_cast<int>(c >> 8 & 0xFF);
}
constexpr int blue(Colour c) noexcept {
    return static_cast<int>(c >> 16 & 0xFF);
}

namespace colours {
constexpr Colour windowBackground = rgb(10, 10, 10);
constexpr Colour panelFill = rgb(16, 22, 19);
constexpr Colour buttonFace = rgb(24, 35, 29);
constexpr Colour gridLine = rgb(25, 35, 29);
constexpr Colour border = rgb(38, 55, 45);
constexpr Colour buttonHover = rgb(26, 79, 56);
constexpr Colour accent = rgb(28, 124, 84);
constexpr Colour accentHover = rgb(43, 158, 109);
constexpr Colour mutedText = rgb(186, 197, 190);
constexpr Colour white = rgb(255, 255, 255);
} // namespace colours

} // namespace palmtone
