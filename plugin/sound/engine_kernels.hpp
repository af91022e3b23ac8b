#pragma once
// The rendering kernels the engine calls, in the widest form the CPU runs:
// AVX2 with FMA where available, else SSE2. Chosen once when the library loads.
#include "plugin/sound/synth_kernel.hpp"

namespace palmtone::kernel {

struct Kernels {
    int lanes; // voices per vector
    void (*synthBatch)(SynthLane* lanes, int groups, bool masked, const SynthConstants& k, int frames,
                       double (*laneL)[maxLanes], double (*laneR)[maxLanes]) noexcept;
    float (*outputStage)(const double* accL, const double* accR, const double* gains, int frames, float* left,
                         float* right) noexcept;
};

const Kernels& active() noexcept;

// For tests: whether the wide kernels exist on this CPU, and a switch between
// the two sets (call only while nothing renders).
bool wideAvailable() noexcept;
void useWide(bool wide) noexcept;

} // namespace palmtone::kernel
