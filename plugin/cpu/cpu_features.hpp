#pragma once
// What the running CPU offers beyond the x86-64 baseline (SSE2), for the kernels
// that choose their widest form once, when the library loads.
//
// VELK_CPU_DISPATCH is defined where the compiler can build AVX2 code beside the
// baseline and ask the CPU at run time (x86-64 with GCC or clang); elsewhere
// every feature reads as absent and only the baseline kernels exist.

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VELK_CPU_DISPATCH 1
#endif

namespace palmtone::cpu {

struct Features {
    bool avx2 = false;
    bool fma = false;
};

// Any thread; the answer never changes while the process runs.
inline Features features() noexcept {
    Features f;
#ifdef VELK_CPU_DISPATCH
    __builtin_cpu_init();
    f.avx2 = __builtin_cpu_supports("avx2") != 0;
    f.fma = __builtin_cpu_supports("fma") != 0;
#endif
    return f;
}

} // namespace palmtone::cpu
