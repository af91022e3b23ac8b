// Replacements of the global allocation functions that fail while told to.
#include "tests/chords/failing_allocations.hpp"

#include <cstdlib>
#include <new>

namespace chordstest {
std::atomic<bool> failThrowing{false};
std::atomic<bool> failNothrow{false};
std::atomic<int> nothrowCalls{0};
} // namespace chordstest

namespace {

void* allocate(std::size_t size) noexcept {
    return std::malloc(size ? size : 1);
}

void release(void* p) noexcept {
    std::free(p);
}

} // namespace

void* operator new(std::size_t size) {
    void* p = chordstest::failThrowing ? nullptr : allocate(size);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    ++chordstest::nothrowCalls;
    return chordstest::failNothrow ? nullptr : allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return chordstest::failNothrow ? nullptr : allocate(size);
}
void operator delete(void* p) noexcept {
    release(p);
}
void operator delete[](void* p) noexcept {
    release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    release(p);
}
