// Replacements of the global allocation functions that count while armed.
#include "allocation_counter.hpp"

#include <cstdlib>
#include <new>

namespace velktest {
std::atomic<bool> AllocationCounter::armed{false};
std::atomic<long> AllocationCounter::allocations{0};
std::atomic<long> AllocationCounter::frees{0};
} // namespace velktest

namespace {

void* allocate(std::size_t size) {
    if (velktest::AllocationCounter::armed) ++velktest::AllocationCounter::allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

void* allocateAligned(std::size_t size, std::align_val_t align) {
    if (velktest::AllocationCounter::armed) ++velktest::AllocationCounter::allocations;
    const std::size_t a = static_cast<std::size_t>(align);
    if (void* p = std::aligned_alloc(a, (size + a - 1) / a * a)) return p;
    throw std::bad_alloc();
}

void release(void* p) noexcept {
    if (!p) return;
    if (velktest::AllocationCounter::armed) ++velktest::AllocationCounter::frees;
    std::free(p);
}

} // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try { return allocate(size); } catch (...) { return nullptr; }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try { return allocate(size); } catch (...) { return nullptr; }
}
void* operator new(std::size_t size, std::align_val_t a) { return allocateAligned(size, a); }
void* operator new[](std::size_t size, std::align_val_t a) { return allocateAligned(size, a); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, std::align_val_t) noexcept { release(p); }
void operator delete[](void* p, std::align_val_t) noexcept { release(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { release(p); }
