// Drawing one pass of the layout with GDI. Every brush and pen is made for one
// shape and deleted after it, with the previous object selected back first,
// also when a pass is cut short.
#include <windows.h>

#include <iterator>

#include "editor/editor.hpp"
#include "editor/regions.hpp"
#include "editor/win32/gdi_guards_win32.hpp"

namespace palmtone {

namespace {

HFONT fontOf(const Editor& e, Font f) noexcept {
    switch (f) {
    case Font::font12: return e.font12;
    case Font::font14: return e.font14;
    case Font::font17: return e.font17;
    case Font::font22: return e.font22;
    case Font::font30: return e.font30;
    }
    return e.font12;
}

void drawBox(HDC dc, const Element& e) {
    GdiObject<HBRUSH> brush(CreateSolidBrush(e.fill));
    GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, e.colour));
    Selected b(dc, brush.get());
    Selected p(dc, pen.get());
    RoundRect(dc, e.rect.left, e.rect.top, e.rect.right, e.rect.bottom, e.radius, e.radius);
}

void drawText(HDC dc, const Editor& editor, const Element& e) {
    Selected font(dc, fontOf(editor, e.font));
    SetTextColor(dc, e.colour);
    SetBkMode(dc, TRANSPARENT);
    RECT r{e.rect.left, e.rect.top, e.rect.right, e.rect.bottom};
    UINT format = DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS;
    if (e.align == Align::centre) format |= DT_CENTER;
    if (e.align == Align::right) format |= DT_RIGHT;
    DrawTextW(dc, e.content.c_str(), static_cast<int>(e.content.size()), &r, format);
}

void drawLine(HDC dc, const Element& e) {
    GdiObject<HPEN> pen(CreatePen(PS_SOLID, e.radius, e.colour));
    Selected p(dc, pen.get());
    MoveToEx(dc, e.rect.left, e.rect.top, nullptr);
    LineTo(dc, e.rect.right, e.rect.bottom);
}

void drawLogo(HDC dc, const Element& e) {
    GdiObject<HBRUSH> brush(CreateSolidBrush(e.fill));
    GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, e.colour));
    Selected b(dc, brush.get());
    Selected p(dc, pen.get());
    const Rect& ellipse = regions::logoEllipse;
    Ellipse(dc, ellipse.left, ellipse.top, ellipse.right, ellipse.bottom);
    POINT band[std::size(regions::logoBand)];
    for (size_t i = 0; i < std::size(band); ++i)
        band[i] = POINT{regions::logoBand[i].x, regions::logoBand[i].y};
    Polygon(dc, band, static_cast<int>(std::size(band)));
    const Rect& dot = regions::logoDot;
    Ellipse(dc, dot.left, dot.top, dot.right, dot.bottom);
}

} // namespace

void Editor::paint(HDC dc) {
    const Scene& scene = frame(static_cast<double>(GetTickCount64()));
    for (const Element& e : scene.elements) {
        switch (e.kind) {
        case Element::background: {
            RECT r{e.rect.left, e.rect.top, e.rect.right, e.rect.bottom};
            FillRect(dc, &r, backgroundBrush);
            break;
        }
        case Element::box: drawBox(dc, e); break;
        case Element::text: drawText(dc, *this, e); break;
        case Element::line: drawLine(dc, e); break;
        case Element::logo: drawLogo(dc, e); break;
        }
    }
}

} // namespace palmtone
