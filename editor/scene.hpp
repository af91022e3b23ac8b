#pragma once
// One paint pass as data: what to draw, in drawing order, and the clickable
// regions registered on the way. The layout builds it; the window draws it.
#include <cstdint>
#include <string>
#include <vector>

#include "editor/geometry.hpp"
#include "editor/hit.hpp"
#include "editor/palette.hpp"

namespace palmtone {

// The editor's five fonts, by pixel height.
enum class Font : uint8_t { font12, font14, font17, font22, font30 };

enum class Align : uint8_t { left, centre, right };

struct Element {
    enum Kind : uint8_t {
        background, // rect filled with the window background
        box,        // rounded rectangle: rect, fill, outline, radius; 1-pixel outline
        text,       // single line in rect, vertically centred, cut with an ellipsis
        line,       // from (rect.left, rect.top) to (rect.right, rect.bottom), end point not drawn
        logo,       // the small mark left of the wordmark (its shapes in regions.hpp)
    };
    Kind kind = background;
    Rect rect;
    Colour fill = 0;    // box fill
    Colour colour = 0;  // box outline, text colour, line colour
    int32_t radius = 0; // box corner; line width
    Font font = Font::font12;
    Align align = Align::left;
    std::wstring content; // text
};

struct Scene {
    std::vector<Element> elements;
    std::vector<Hit> hits;
    void clear() noexcept {
        elements.clear();
        hits.clear();
    }
};

} // namespace palmtone
