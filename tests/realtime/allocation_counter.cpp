// Replacements of the global allocation functions that count while armed.
#include <cstdlib>
#include <new>

#include "call_counter.hpp"

namespace realtimetest {

bool CallCounter::armed = false;
long CallCounter::calls[callKinds] = {};

const char* callName(Call call) noexcept {
    switch (call) {
    case opNew: return "operator new";
    case opDelete: return "operator delete";
    case cMalloc: return "malloc";
    case cCalloc: return "calloc";
    case cRealloc: return "realloc";
    case cAlignedAlloc: return "aligned_alloc/posix_memalign";
    case cFree: return "free";
    case mutexLock: return "pthread_mutex_lock/trylock/timedlock";
    case mutexUnlock: return "pthread_mutex_unlock";
    case condWait: return "pthread_cond_wait/timedwait/clockwait";
    case condWake: return "pthread_cond_signal/broadcast";
    case rwLock: return "pthread_rwlock_rdlock/wrlock/try";
    case rwUnlock: return "pthread_rwlock_unlock";
    case callKinds: break;
    }
    return "?";
}

} // namespace realtimetest

namespace {

void tally(realtimetest::Call call) noexcept {
    if (__atomic_load_n(&realtimetest::CallCounter::armed, __ATOMIC_RELAXED))
        __atomic_fetch_add(&realtimetest::CallCounter::calls[call], 1, __ATOMIC_RELAXED);
}

void* allocate(std::size_t size) {
    tally(realtimetest::opNew);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

void* allocateAligned(std::size_t size, std::align_val_t align) {
    tally(realtimetest::opNew);
    const std::size_t a = static_cast<std::size_t>(align);
    if (void* p = std::aligned_alloc(a, (size + a - 1) / a * a)) return p;
    throw std::bad_alloc();
}

void release(void* p) noexcept {
    if (!p) return;
    tally(realtimetest::opDelete);
    std::free(p);
}

} // namespace

void* operator new(std::size_t size) {
    return allocate(size);
}
void* operator new[](std::size_t size) {
    return allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new(std::size_t size, std::align_val_t a) {
    return allocateAligned(size, a);
}
void* operator new[](std::size_t size, std::align_val_t a) {
    return allocateAligned(size, a);
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
void operator delete(void* p, std::align_val_t) noexcept {
    release(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    release(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    release(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    release(p);
}
