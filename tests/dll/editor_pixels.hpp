#pragma once
// What the built plug-in's editor window shows, read back in the test program:
// its client pixels copied from the window's own device context, and the
// places the editor's layout gives its parts (the layout's scene), so a pixel
// can be checked against the palette without restating the layout's numbers.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <vector>

#include "editor/layout.hpp"

namespace dlltest {

// The client area of a window as painted now, as palette colours.
class WindowPixels {
  public:
    explicit WindowPixels(HWND window);
    palmtone::Colour at(palmtone::Point p) const;
    // Pixels of r that have colour c.
    int count(const palmtone::Rect& r, palmtone::Colour c) const;
    // Columns of r whose every pixel, bar the outermost two rows, has colour c.
    int solidColumns(const palmtone::Rect& r, palmtone::Colour c) const;

  private:
    int width_ = 0;
    int height_ = 0;
    std::vector<uint32_t> bits_; // 0x00RRGGBB, top row first
};

// For EXPECT_PRED_FORMAT2: two colours are equal; printed as rgb(r, g, b).
::testing::AssertionResult sameColour(const char* actualText, const char* expectedText,
                                      palmtone::Colour actual, palmtone::Colour expected);

// The scene the layout draws for a view.
palmtone::Scene sceneOf(const palmtone::View& view);

// The box drawn for the clickable region of a type (and value); fails the test
// when the scene has none.
const palmtone::Element& boxOf(const palmtone::Scene& scene, palmtone::HitType type, int32_t value = -1);

// A point of a box's fill, off its outline and rounded corners, that nothing
// drawn after it in the scene covers.
palmtone::Point fillPoint(const palmtone::Scene& scene, const palmtone::Element& box);

// A point of a box's outline: its left edge half-way down.
palmtone::Point outlinePoint(const palmtone::Element& box);

// The take's timeline: the one box filled with the window's background.
const palmtone::Element& timelineOf(const palmtone::Scene& scene);

// The boxes drawn inside the timeline, after it.
std::vector<const palmtone::Element*> boxesOnTimeline(const palmtone::Scene& scene);

// The pad of a computer key ('A' .. 'K').
int32_t padOf(int32_t virtualKey);

} // namespace dlltest
