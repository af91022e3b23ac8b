#pragma once
// Client-area geometry of the editor window, free of any platform header: a
// point and a rectangle with exclusive right and bottom edges, as Windows has
// them. The window's size, editorWidth by editorHeight, is the one the core
// reports to the host.
#include <cstdint>

#include "plugin/host/editor_seam.hpp"

namespace palmtone {

struct Point {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const Point& o) const noexcept { return x == o.x && y == o.y; }
};

struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    constexpr int32_t width() const noexcept { return right - left; }
    constexpr int32_t height() const noexcept { return bottom - top; }
    bool contains(Point p) const noexcept { return left <= p.x && p.x < right && top <= p.y && p.y < bottom; }
    bool operator==(const Rect& o) const noexcept {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

// The rectangle of a box or button drawn at (x, y), width by height.
constexpr Rect sized(int32_t x, int32_t y, int32_t width, int32_t height) noexcept {
    return {x, y, x + width, y + height};
}

} // namespace palmtone
