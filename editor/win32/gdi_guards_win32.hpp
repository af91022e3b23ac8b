#pragma once
// Owning guards for GDI: a drawing object deleted at the end of its scope, an
// object selected into a DC with the previous one selected back, a memory DC,
// and BeginPaint/EndPaint. They release also when drawing is cut short.
#include <windows.h>

namespace palmtone {

template <typename Handle> class GdiObject {
  public:
    explicit GdiObject(Handle h) noexcept : h_(h) {}
    ~GdiObject() {
        if (h_) DeleteObject(h_);
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    Handle get() const noexcept { return h_; }

  private:
    Handle h_;
};

class Selected {
  public:
    Selected(HDC dc, HGDIOBJ object) noexcept
        : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
    ~Selected() {
        if (previous_) SelectObject(dc_, previous_);
    }
    Selected(const Selected&) = delete;
    Selected& operator=(const Selected&) = delete;

  private:
    HDC dc_;
    HGDIOBJ previous_;
};

class MemoryDc {
  public:
    explicit MemoryDc(HDC compatible) noexcept : dc(CreateCompatibleDC(compatible)) {}
    ~MemoryDc() {
        if (dc) DeleteDC(dc);
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC dc;
};

class PaintScope {
  public:
    explicit PaintScope(HWND window) noexcept : window_(window) { dc = BeginPaint(window, &ps_); }
    ~PaintScope() { EndPaint(window_, &ps_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    HDC dc;

  private:
    HWND window_;
    PAINTSTRUCT ps_;
};

} // namespace palmtone
