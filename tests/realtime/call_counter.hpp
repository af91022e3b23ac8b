#pragma once
// Counts, while armed, every call the audio path must never make: the global
// allocation functions, the C library's allocation functions, and the pthread
// mutex, condition variable and read-write lock calls. The counted functions
// replace the library's for the whole test program (allocation_counter.cpp,
// libc_counter.cpp), so a call from the core, from libstdc++ or from the C
// library itself is seen; counting is process-wide while armed.
#include <string>

namespace realtimetest {

enum Call : int {
    opNew,
    opDelete,
    cMalloc,
    cCalloc,
    cRealloc,
    cAlignedAlloc,
    cFree,
    mutexLock,
    mutexUnlock,
    condWait,
    condWake,
    rwLock,
    rwUnlock,
    callKinds
};

const char* callName(Call call) noexcept;

// Plain storage used through the __atomic builtins: libc_counter.cpp runs before
// the sanitizers start and must call no instrumented code, not even
// std::atomic's inline members.
struct CallCounter {
    static bool armed;
    static long calls[callKinds];
    static void arm(bool on) noexcept { __atomic_store_n(&armed, on, __ATOMIC_SEQ_CST); }
    static long read(Call call) noexcept { return __atomic_load_n(&calls[call], __ATOMIC_SEQ_CST); }
};

// Zeroes the counts; counts only inside during(). One counter at a time.
class CountCalls {
  public:
    CountCalls() {
        for (long& c : CallCounter::calls)
            __atomic_store_n(&c, 0, __ATOMIC_SEQ_CST);
    }
    ~CountCalls() { CallCounter::arm(false); }
    CountCalls(const CountCalls&) = delete;
    CountCalls& operator=(const CountCalls&) = delete;

    template <class Work> void during(Work&& work) {
        CallCounter::arm(true);
        work();
        CallCounter::arm(false);
    }

    long operator[](Call call) const { return CallCounter::read(call); }
    long total() const {
        long sum = 0;
        for (int k = 0; k < callKinds; ++k)
            sum += (*this)[Call(k)];
        return sum;
    }
    // "malloc 3, pthread_mutex_lock 1" for the kinds counted, "" when none.
    std::string describe() const {
        std::string out;
        for (int k = 0; k < callKinds; ++k) {
            if (const long n = (*this)[Call(k)]) {
                if (!out.empty()) out += ", ";
                out += std::string(callName(Call(k))) + " " + std::to_string(n);
            }
        }
        return out;
    }
};

} // namespace realtimetest
