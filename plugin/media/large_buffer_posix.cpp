#include <sys/mman.h>

#include <cstdint>
#include <new>

#include "plugin/media/large_buffer.hpp"

namespace palmtone {

namespace {

constexpr uintptr_t hugePage = uintptr_t(1) << 21;

uintptr_t roundUp(uintptr_t v) noexcept {
    return (v + hugePage - 1) & ~(hugePage - 1);
}

} // namespace

void* allocateLarge(size_t bytes) {
    if (bytes < largeBufferBytes) return ::operator new(bytes);
    if (bytes > SIZE_MAX - 2 * hugePage) throw std::bad_alloc();
    // One huge page more than needed, then the unaligned ends go back: the
    // region is whole 2 MiB pages, all of which the advice below can cover.
    const size_t length = roundUp(bytes);
    void* raw =
        ::mmap(nullptr, length + hugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    const uintptr_t first = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t begin = roundUp(first);
    if (begin > first) ::munmap(raw, begin - first);
    ::munmap(reinterpret_cast<void*>(begin + length), first + hugePage - begin);
    void* data = reinterpret_cast<void*>(begin);
#ifdef MADV_HUGEPAGE
    ::madvise(data, length, MADV_HUGEPAGE);
#endif
    return data;
}

void freeLarge(void* data, size_t bytes) noexcept {
    if (!data) return;
    if (bytes < largeBufferBytes)
        ::operator delete(data);
    else
        ::munmap(data, roundUp(bytes));
}

void adviseLargePages(void* data, size_t bytes) noexcept {
#ifdef MADV_HUGEPAGE
    if (bytes < 4 * hugePage) return;
    const uintptr_t begin = roundUp(reinterpret_cast<uintptr_t>(data));
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(hugePage - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

} // namespace palmtone
