#include <sys/mman.h>

#include <cstdint>

#include "plugin/large_buffer.hpp"

namespace palmtone {

void adviseLargePages(void* data, size_t bytes) noexcept {
#ifdef MADV_HUGEPAGE
    constexpr uintptr_t page = uintptr_t(1) << 21;
    if (bytes < 4 * page) return;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + page - 1) & ~(page - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(page - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

} // namespace palmtone
