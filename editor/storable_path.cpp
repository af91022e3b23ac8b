// Until the state chunk exposes its own test: a library path the chunk can
// store is valid UTF-16 and at most maxStringBytes of UTF-8.
#include "plugin/state_chunk.hpp"
#include "plugin/text.hpp"

namespace palmtone {

bool isStorablePath(const std::wstring& path) noexcept {
    try {
        return utf8(path).size() <= maxStringBytes;
    } catch (...) {
        return false;
    }
}

} // namespace palmtone
