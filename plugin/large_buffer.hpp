#pragma once
// Room for the large one-off buffers of a one-shot (its file image and channels,
// a state chunk) before they are filled. Where the system supports it, the
// memory is marked for large pages first, so that filling tens of megabytes of
// fresh memory costs a few dozen page faults instead of thousands. Never on the
// audio thread.
#include <cstddef>
#include <vector>

namespace palmtone {

// Advises the system that [data, data + bytes) is filled at once (may do nothing).
void adviseLargePages(void* data, size_t bytes) noexcept;

template <typename T>
void reserveLarge(std::vector<T>& buffer, size_t count) {
    buffer.reserve(count);
    adviseLargePages(buffer.data(), buffer.capacity() * sizeof(T));
}

} // namespace palmtone
