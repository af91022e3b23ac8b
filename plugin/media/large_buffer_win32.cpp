#include <new>

#include "plugin/media/large_buffer.hpp"

namespace palmtone {

// Large pages need a privilege a plug-in does not have; ordinary pages from the
// C runtime's heap it is (which takes blocks this large straight from the system).
void* allocateLarge(size_t bytes) {
    return ::operator new(bytes);
}

void freeLarge(void* data, size_t) noexcept {
    ::operator delete(data);
}

void adviseLargePages(void*, size_t) noexcept {}

} // namespace palmtone
