#include "tests/dll/editor_pixels.hpp"

#include <algorithm>
#include <sstream>
#include <stdexcept>

#include "editor/key_tables.hpp"

namespace dlltest {

using palmtone::Element;
using palmtone::Point;
using palmtone::Rect;

WindowPixels::WindowPixels(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    width_ = client.right;
    height_ = client.bottom;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC source = GetDC(window);
    HDC copy = CreateCompatibleDC(source);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(copy, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(copy, bitmap);
    const bool copied = bits && BitBlt(copy, 0, 0, width_, height_, source, 0, 0, SRCCOPY);
    GdiFlush();
    if (copied) {
        const auto* bgra = static_cast<const uint32_t*>(bits);
        bits_.assign(bgra, bgra + static_cast<size_t>(width_) * static_cast<size_t>(height_));
    }
    SelectObject(copy, previous);
    DeleteObject(bitmap);
    DeleteDC(copy);
    ReleaseDC(window, source);
    if (!copied) throw std::runtime_error("the window's pixels could not be copied");
}

palmtone::Colour WindowPixels::at(Point p) const {
    if (p.x < 0 || p.y < 0 || p.x >= width_ || p.y >= height_) throw std::out_of_range("outside the window");
    const uint32_t bgra =
        bits_[static_cast<size_t>(p.y) * static_cast<size_t>(width_) + static_cast<size_t>(p.x)];
    return palmtone::rgb(static_cast<int>(bgra >> 16 & 0xFF), static_cast<int>(bgra >> 8 & 0xFF),
                         static_cast<int>(bgra & 0xFF));
}

int WindowPixels::count(const Rect& r, palmtone::Colour c) const {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            n += at({x, y}) == c;
    return n;
}

int WindowPixels::solidColumns(const Rect& r, palmtone::Colour c) const {
    int n = 0;
    for (int x = r.left; x < r.right; ++x) {
        bool solid = true;
        for (int y = r.top + 2; y < r.bottom - 2 && solid; ++y)
            solid = at({x, y}) == c;
        n += solid;
    }
    return n;
}

namespace {

std::string rgbText(palmtone::Colour c) {
    std::ostringstream out;
    out << "rgb(" << palmtone::red(c) << ", " << palmtone::green(c) << ", " << palmtone::blue(c) << ")";
    return out.str();
}

} // namespace

::testing::AssertionResult sameColour(const char* actualText, const char* expectedText,
                                      palmtone::Colour actual, palmtone::Colour expected) {
    if (actual == expected) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << actualText << " is " << rgbText(actual) << ", not " << expectedText << " " << rgbText(expected);
}

palmtone::Scene sceneOf(const palmtone::View& view) {
    palmtone::Scene scene;
    palmtone::layout(view, scene);
    return scene;
}

const Element& boxOf(const palmtone::Scene& scene, palmtone::HitType type, int32_t value) {
    for (const palmtone::Hit& hit : scene.hits) {
        if (hit.type != type || (value >= 0 && hit.value != value)) continue;
        for (const Element& e : scene.elements)
            if (e.kind == Element::box && e.rect == hit.rect) return e;
    }
    ADD_FAILURE() << "no box for the region of type " << type << " and value " << value;
    throw std::runtime_error("no such box");
}

namespace {

// What an element may paint: its rectangle, a line's with its width around it.
Rect reach(const Element& e) {
    if (e.kind != Element::line) return e.rect;
    const int w = e.radius;
    return {std::min(e.rect.left, e.rect.right) - w, std::min(e.rect.top, e.rect.bottom) - w,
            std::max(e.rect.left, e.rect.right) + w + 1, std::max(e.rect.top, e.rect.bottom) + w + 1};
}

} // namespace

Point fillPoint(const palmtone::Scene& scene, const Element& box) {
    const auto self = std::find_if(scene.elements.begin(), scene.elements.end(),
                                   [&](const Element& e) { return &e == &box; });
    if (self == scene.elements.end()) throw std::invalid_argument("the box is not of this scene");
    const Rect& r = box.rect;
    const int corner = box.radius / 2 + 1;
    auto free = [&](Point p) {
        const bool nearSide = p.x < r.left + corner || p.x >= r.right - corner;
        const bool nearEnd = p.y < r.top + corner || p.y >= r.bottom - corner;
        if (nearSide && nearEnd) return false;
        return std::none_of(self + 1, scene.elements.end(),
                            [&](const Element& e) { return reach(e).contains(p); });
    };
    // The middle row first, then the rows above and below it.
    const int middle = (r.top + r.bottom) / 2;
    for (int d = 0; middle - d >= r.top + 2 || middle + d < r.bottom - 2; ++d)
        for (int y : {middle - d, middle + d})
            for (int x = r.left + 2; x < r.right - 2; ++x)
                if (y >= r.top + 2 && y < r.bottom - 2 && free({x, y})) return {x, y};
    ADD_FAILURE() << "no free point in the box at " << r.left << ", " << r.top;
    throw std::runtime_error("no free point");
}

Point outlinePoint(const Element& box) {
    return {box.rect.left, (box.rect.top + box.rect.bottom) / 2};
}

const Element& timelineOf(const palmtone::Scene& scene) {
    for (const Element& e : scene.elements)
        if (e.kind == Element::box && e.fill == palmtone::colours::windowBackground) return e;
    ADD_FAILURE() << "no timeline in the scene";
    throw std::runtime_error("no timeline");
}

std::vector<const Element*> boxesOnTimeline(const palmtone::Scene& scene) {
    const Element& timeline = timelineOf(scene);
    const Rect& t = timeline.rect;
    std::vector<const Element*> inside;
    bool after = false;
    for (const Element& e : scene.elements) {
        if (&e == &timeline) after = true;
        const Rect& r = e.rect;
        if (after && &e != &timeline && e.kind == Element::box && t.left <= r.left && r.right <= t.right &&
            t.top <= r.top && r.bottom <= t.bottom)
            inside.push_back(&e);
    }
    return inside;
}

int32_t padOf(int32_t virtualKey) {
    const int l = palmtone::keyIndex(virtualKey);
    if (l < 0) throw std::invalid_argument("not a chord key");
    return l;
}

} // namespace dlltest
