#include "plugin/sound/engine_kernels.hpp"

#include "plugin/cpu/cpu_features.hpp"

namespace palmtone::kernel {

namespace {

using fastmath::V2;
using fastmath::V4;

void synthBatchSse2(SynthLane* v, int groups, bool masked, const SynthConstants& k, int frames,
                    double (*laneL)[maxLanes], double (*laneR)[maxLanes]) noexcept {
    synthBatch<V2>(v, groups, masked, k, frames, laneL, laneR);
}

float outputSse2(const double* accL, const double* accR, const double* gains, int frames, float* left,
                 float* right) noexcept {
    return outputStage<V2>(accL, accR, gains, frames, left, right);
}

// The wide kernels spill 256-bit values to the stack, which Windows aligns to
// only 16 bytes: this relies on the compiler using unaligned moves for them, as
// Debian's mingw-w64 GCC and clang do (an unpatched mingw GCC may not);
// tests/dll/aligned_wide_moves.sh holds the built DLL to it.
#ifdef VELK_CPU_DISPATCH
#define VELK_WIDE_KERNELS 1
#define VELK_WIDE __attribute__((target("avx2,fma")))

VELK_WIDE void synthBatchAvx2(SynthLane* v, int groups, bool masked, const SynthConstants& k, int frames,
                              double (*laneL)[maxLanes], double (*laneR)[maxLanes]) noexcept {
    synthBatch<V4>(v, groups, masked, k, frames, laneL, laneR);
}

VELK_WIDE float outputAvx2(const double* accL, const double* accR, const double* gains, int frames,
                           float* left, float* right) noexcept {
    return outputStage<V4>(accL, accR, gains, frames, left, right);
}
#endif

const Kernels sse2 = {2, &synthBatchSse2, &outputSse2};
#ifdef VELK_WIDE_KERNELS
const Kernels avx2 = {4, &synthBatchAvx2, &outputAvx2};
#endif

bool detectWide() noexcept {
#ifdef VELK_WIDE_KERNELS
    const cpu::Features f = cpu::features();
    return f.avx2 && f.fma;
#else
    return false;
#endif
}

const bool wideOnThisCpu = detectWide();
// Chosen when the library loads; read by the audio thread, changed only by tests
// while nothing renders.
#ifdef VELK_WIDE_KERNELS
const Kernels* chosen = wideOnThisCpu ? &avx2 : &sse2;
#else
const Kernels* chosen = &sse2;
#endif

} // namespace

bool wideAvailable() noexcept {
    return wideOnThisCpu;
}

void useWide(bool wide) noexcept {
#ifdef VELK_WIDE_KERNELS
    chosen = wide && wideOnThisCpu ? &avx2 : &sse2;
#else
    (void)wide;
    chosen = &sse2;
#endif
}

const Kernels& active() noexcept {
    return *chosen;
}

} // namespace palmtone::kernel
