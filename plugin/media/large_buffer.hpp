#pragma once
// Room for the large one-off buffers of a one-shot (its file image and channels,
// a state chunk). They are written once, right after they are allocated, so:
// - a LargeVector leaves new elements uninitialised (resize does not zero-fill
//   what is about to be overwritten);
// - a buffer of largeBufferBytes or more is, where the system supports it, a
//   region of whole 2 MiB pages marked for large pages, so that filling tens of
//   megabytes of fresh memory costs a few dozen page faults instead of thousands.
// Never on the audio thread.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace palmtone {

constexpr size_t largeBufferBytes = size_t(4) << 20;

// Memory for bytes bytes: the platform's large-page region from largeBufferBytes
// on, the ordinary heap below. Throws std::bad_alloc; free with the same size.
void* allocateLarge(size_t bytes);
void freeLarge(void* data, size_t bytes) noexcept;

// Advises the system that [data, data + bytes) is filled at once (may do
// nothing). Only the whole 2 MiB pages inside the range can be covered.
void adviseLargePages(void* data, size_t bytes) noexcept;

template <typename T> void reserveLarge(std::vector<T>& buffer, size_t count) {
    buffer.reserve(count);
    adviseLargePages(buffer.data(), buffer.capacity() * sizeof(T));
}

// Allocates through allocateLarge; value-less construction default-initialises.
template <typename T> struct LargeAllocator {
    using value_type = T;

    LargeAllocator() noexcept = default;
    template <typename U> LargeAllocator(const LargeAllocator<U>&) noexcept {}

    T* allocate(size_t n) {
        if (n > std::numeric_limits<size_t>::max() / sizeof(T)) throw std::bad_array_new_length();
        return static_cast<T*>(allocateLarge(n * sizeof(T)));
    }
    void deallocate(T* p, size_t n) noexcept { freeLarge(p, n * sizeof(T)); }

    template <typename U> void construct(U* p) noexcept(std::is_nothrow_default_constructible<U>::value) {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args> void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }

    friend bool operator==(const LargeAllocator&, const LargeAllocator&) noexcept { return true; }
    friend bool operator!=(const LargeAllocator&, const LargeAllocator&) noexcept { return false; }
};

template <typename T> using LargeVector = std::vector<T, LargeAllocator<T>>;

} // namespace palmtone
