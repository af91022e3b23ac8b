#pragma once
// The editor's whole 980 x 740 surface as elements and hits, from one View.
// Pure: the same view always gives the same scene.
#include "editor/scene.hpp"
#include "editor/view.hpp"

namespace palmtone {

// Replaces scene's contents (keeping its storage) with the pass for view.
void layout(const View& view, Scene& scene);

// The library rows shown: at most five, the built-in sound as row 0.
constexpr int32_t libraryRows = 5;

// The first row allowed for n library entries: 0..max(n - 4, 0).
int32_t clampScroll(int32_t scroll, size_t entries) noexcept;

} // namespace palmtone
