#include "editor/hit.hpp"

namespace palmtone {

const Hit* findHit(const std::vector<Hit>& hits, Point p) noexcept {
    for (const Hit& hit : hits)
        if (hit.enabled && hit.rect.contains(p)) return &hit;
    return nullptr;
}

} // namespace palmtone
