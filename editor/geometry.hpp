#pragma once
// Client-area geometry of the editor window, free of any platform header: a
// point and a rectangle with exclusive right and bottom edges, as Windows has them.
#include <cstdint>

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
    bool contains(Point p) const noexcept { return left <= p.x && p.x < right && top <= p.y && p.y < bottom; }
    bool operator==(const Rect& o) const noexcept {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

constexpr int32_t editorWidth = 980;
constexpr int32_t editorHeight = 740;

} // namespace palmtone
