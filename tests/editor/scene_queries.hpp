#pragma once
// What a laid-out surface holds at a place: the text in a rectangle and the
// boxes drawn from a region's corner, for the tests of the layout and of the
// paint pass.
#include <string>
#include <vector>

#include "editor/scene.hpp"

namespace editortest {

inline const palmtone::Element* textIn(const palmtone::Scene& s, palmtone::Rect r) {
    for (const palmtone::Element& e : s.elements)
        if (e.kind == palmtone::Element::text && e.rect == r) return &e;
    return nullptr;
}

inline std::wstring textAt(const palmtone::Scene& s, palmtone::Rect r) {
    const palmtone::Element* e = textIn(s, r);
    return e ? e->content : L"<nothing>";
}

// The boxes drawn from the region's top-left corner, whatever their size.
inline std::vector<const palmtone::Element*> boxesAt(const palmtone::Scene& s, const palmtone::Rect& region) {
    std::vector<const palmtone::Element*> out;
    for (const palmtone::Element& e : s.elements)
        if (e.kind == palmtone::Element::box && e.rect.left == region.left && e.rect.top == region.top)
            out.push_back(&e);
    return out;
}

} // namespace editortest
