// The C library's allocation functions and the pthread lock calls, defined in
// the test program so that every caller in the process reaches these first
// (the program's definitions come before any shared library's). Each counts
// while armed and passes the call on to the next definition: the sanitizer's
// when one is linked, else the C library's.
//
// The sanitizers' start-up calls malloc before their shadow memory exists, so
// this file is compiled without instrumentation and calls nothing that is
// compiled with it (no std::atomic members, only the __atomic builtins).
#include <dlfcn.h>
#include <pthread.h>

#include <cstddef>
#include <cstdlib>
#include <ctime>

#include "call_counter.hpp"

namespace {

void tally(realtimetest::Call call) noexcept {
    if (__atomic_load_n(&realtimetest::CallCounter::armed, __ATOMIC_RELAXED))
        __atomic_fetch_add(&realtimetest::CallCounter::calls[call], 1, __ATOMIC_RELAXED);
}

struct Next {
    void* (*malloc)(size_t);
    void* (*calloc)(size_t, size_t);
    void* (*realloc)(void*, size_t);
    void* (*alignedAlloc)(size_t, size_t);
    int (*posixMemalign)(void**, size_t, size_t);
    void (*free)(void*);
    int (*mutexLock)(pthread_mutex_t*);
    int (*mutexTryLock)(pthread_mutex_t*);
    int (*mutexTimedLock)(pthread_mutex_t*, const timespec*);
    int (*mutexClockLock)(pthread_mutex_t*, clockid_t, const timespec*);
    int (*mutexUnlock)(pthread_mutex_t*);
    int (*condWait)(pthread_cond_t*, pthread_mutex_t*);
    int (*condTimedWait)(pthread_cond_t*, pthread_mutex_t*, const timespec*);
    int (*condClockWait)(pthread_cond_t*, pthread_mutex_t*, clockid_t, const timespec*);
    int (*condSignal)(pthread_cond_t*);
    int (*condBroadcast)(pthread_cond_t*);
    int (*rwRead)(pthread_rwlock_t*);
    int (*rwWrite)(pthread_rwlock_t*);
    int (*rwTryRead)(pthread_rwlock_t*);
    int (*rwTryWrite)(pthread_rwlock_t*);
    int (*rwUnlock)(pthread_rwlock_t*);
};

Next next{};
bool resolved = false; // through the __atomic builtins
// Set while dlsym runs on this thread: an allocation it makes comes from the
// arena below, since the next malloc is not known yet.
thread_local bool resolving = false;

alignas(std::max_align_t) char arena[8192];
size_t arenaUsed = 0;

void* fromArena(size_t size) noexcept {
    const size_t rounded =
        (size + alignof(std::max_align_t) - 1) / alignof(std::max_align_t) * alignof(std::max_align_t);
    const size_t at = __atomic_fetch_add(&arenaUsed, rounded, __ATOMIC_RELAXED);
    if (at + rounded > sizeof arena) std::abort();
    return arena + at;
}

bool inArena(const void* p) noexcept {
    return p >= static_cast<const void*>(arena) && p < static_cast<const void*>(arena + sizeof arena);
}

template <class F> void find(F& slot, const char* name) noexcept {
    slot = reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

const Next& real() noexcept {
    if (!__atomic_load_n(&resolved, __ATOMIC_ACQUIRE)) {
        resolving = true;
        find(next.malloc, "malloc");
        find(next.calloc, "calloc");
        find(next.realloc, "realloc");
        find(next.alignedAlloc, "aligned_alloc");
        find(next.posixMemalign, "posix_memalign");
        find(next.free, "free");
        find(next.mutexLock, "pthread_mutex_lock");
        find(next.mutexTryLock, "pthread_mutex_trylock");
        find(next.mutexTimedLock, "pthread_mutex_timedlock");
        find(next.mutexClockLock, "pthread_mutex_clocklock");
        find(next.mutexUnlock, "pthread_mutex_unlock");
        find(next.condWait, "pthread_cond_wait");
        find(next.condTimedWait, "pthread_cond_timedwait");
        find(next.condClockWait, "pthread_cond_clockwait");
        find(next.condSignal, "pthread_cond_signal");
        find(next.condBroadcast, "pthread_cond_broadcast");
        find(next.rwRead, "pthread_rwlock_rdlock");
        find(next.rwWrite, "pthread_rwlock_wrlock");
        find(next.rwTryRead, "pthread_rwlock_tryrdlock");
        find(next.rwTryWrite, "pthread_rwlock_trywrlock");
        find(next.rwUnlock, "pthread_rwlock_unlock");
        resolving = false;
        __atomic_store_n(&resolved, true, __ATOMIC_RELEASE);
    }
    return next;
}

// A function that a sanitizer or C library lacks is a fault of the test set-up.
template <class F> F need(F f) noexcept {
    if (!f) std::abort();
    return f;
}

} // namespace

extern "C" {

void* malloc(size_t size) noexcept {
    tally(realtimetest::cMalloc);
    if (resolving) return fromArena(size);
    return need(real().malloc)(size);
}

void* calloc(size_t count, size_t size) noexcept {
    tally(realtimetest::cCalloc);
    if (resolving) return fromArena(count * size); // the arena is zero and never reused
    return need(real().calloc)(count, size);
}

void* realloc(void* p, size_t size) noexcept {
    tally(realtimetest::cRealloc);
    if (inArena(p) || resolving) std::abort(); // dlsym does not resize
    return need(real().realloc)(p, size);
}

void* aligned_alloc(size_t alignment, size_t size) noexcept {
    tally(realtimetest::cAlignedAlloc);
    return need(real().alignedAlloc)(alignment, size);
}

int posix_memalign(void** p, size_t alignment, size_t size) noexcept {
    tally(realtimetest::cAlignedAlloc);
    return need(real().posixMemalign)(p, alignment, size);
}

void free(void* p) noexcept {
    tally(realtimetest::cFree);
    if (!p || inArena(p)) return;
    need(real().free)(p);
}

int pthread_mutex_lock(pthread_mutex_t* m) noexcept {
    tally(realtimetest::mutexLock);
    return need(real().mutexLock)(m);
}

int pthread_mutex_trylock(pthread_mutex_t* m) noexcept {
    tally(realtimetest::mutexLock);
    return need(real().mutexTryLock)(m);
}

int pthread_mutex_timedlock(pthread_mutex_t* m, const timespec* t) noexcept {
    tally(realtimetest::mutexLock);
    return need(real().mutexTimedLock)(m, t);
}

int pthread_mutex_clocklock(pthread_mutex_t* m, clockid_t clock, const timespec* t) noexcept {
    tally(realtimetest::mutexLock);
    return need(real().mutexClockLock)(m, clock, t);
}

int pthread_mutex_unlock(pthread_mutex_t* m) noexcept {
    tally(realtimetest::mutexUnlock);
    return need(real().mutexUnlock)(m);
}

int pthread_cond_wait(pthread_cond_t* c, pthread_mutex_t* m) {
    tally(realtimetest::condWait);
    return need(real().condWait)(c, m);
}

int pthread_cond_timedwait(pthread_cond_t* c, pthread_mutex_t* m, const timespec* t) {
    tally(realtimetest::condWait);
    return need(real().condTimedWait)(c, m, t);
}

int pthread_cond_clockwait(pthread_cond_t* c, pthread_mutex_t* m, clockid_t clock, const timespec* t) {
    tally(realtimetest::condWait);
    return need(real().condClockWait)(c, m, clock, t);
}

int pthread_cond_signal(pthread_cond_t* c) noexcept {
    tally(realtimetest::condWake);
    return need(real().condSignal)(c);
}

int pthread_cond_broadcast(pthread_cond_t* c) noexcept {
    tally(realtimetest::condWake);
    return need(real().condBroadcast)(c);
}

int pthread_rwlock_rdlock(pthread_rwlock_t* l) noexcept {
    tally(realtimetest::rwLock);
    return need(real().rwRead)(l);
}

int pthread_rwlock_wrlock(pthread_rwlock_t* l) noexcept {
    tally(realtimetest::rwLock);
    return need(real().rwWrite)(l);
}

int pthread_rwlock_tryrdlock(pthread_rwlock_t* l) noexcept {
    tally(realtimetest::rwLock);
    return need(real().rwTryRead)(l);
}

int pthread_rwlock_trywrlock(pthread_rwlock_t* l) noexcept {
    tally(realtimetest::rwLock);
    return need(real().rwTryWrite)(l);
}

int pthread_rwlock_unlock(pthread_rwlock_t* l) noexcept {
    tally(realtimetest::rwUnlock);
    return need(real().rwUnlock)(l);
}

} // extern "C"
