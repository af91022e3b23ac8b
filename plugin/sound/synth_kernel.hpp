#pragma once
// The inner loops of rendering, written once for any vector width. The engine
// instantiates them for SSE2 (every x86-64 CPU) and again for AVX2 with FMA,
// chosen when the library loads.
#include <cstring>

#include "plugin/sound/fast_math.hpp"

namespace palmtone::kernel {

constexpr int maxLanes = 4;         // voices per vector, at the widest
constexpr double levelFloor = 0.45; // the synth voice's level once its fall (lvl) has passed

// One synth voice as a lane of the kernel. Every frame:
//   env <- env * mul + add; below the silence level the voice is silent: its
//          envelope drops to 0 and its oscillator stands still
//   (s, c) rotates by (cw, sw)          (sin and cos of the phase)
//   p2  <- p2 * decay2                  (0.5 exp(-2 age))
//   lvl <- lvl * decay12                (0.55 exp(-1.2 age))
//   out  = s (u - c4 s^2 + h2 p2 c) env (levelFloor + lvl)
// which is sin + 0.25 e^(-2 age) sin 2x + h3 sin 3x, with sin 2x = 2 s c,
// sin 3x = s (3 - 4 s^2), u = 1 + 3 h3, c4 = 4 h3, and h2, h3 the band limits.
// The level factors run on while the voice is silent: they are set afresh when
// its note starts again, the only way a silent synth voice sounds again.
struct SynthLane {
    double env, mul, add;
    double s, c, cw, sw;
    double p2, lvl;
    double h2, u, c4;
    double ampL, ampR; // velocity, voice scale and pan
};

struct SynthConstants {
    double silence; // a voice below this level is silent
    double decay2;  // exp(-2 / sr)
    double decay12; // exp(-1.2 / sr)
};

// Renders Groups * lanes voices over `frames`, adding each lane's voices into
// that lane's running sum laneL[i][lane] / laneR[i][lane] (rows of maxLanes
// doubles), and writes their state back into the lanes. A lane's voices are
// added group after group, batch after batch, in the order of their notes, and
// a silent voice adds exactly nothing: the sums do not depend on which silent
// voices take part. Unless Masked, no voice may fall silent within `frames`;
// both forms give the same result where none does.
template <typename Vec, int Groups, bool Masked>
VELK_ALWAYS_INLINE void synthGroups(SynthLane* v, const SynthConstants& k, int frames,
                                    double (*laneL)[maxLanes], double (*laneR)[maxLanes]) noexcept {
    using fastmath::splat;
    using Int = fastmath::IntOf<Vec>;
    constexpr int lanes = fastmath::Lanes<Vec>::count;
    Vec env[Groups], mul[Groups], add[Groups], s[Groups], c[Groups], cw[Groups], sw[Groups];
    Vec p2[Groups], lvl[Groups], h2[Groups], u[Groups], c4[Groups], ampL[Groups], ampR[Groups];
    for (int g = 0; g < Groups; ++g) {
        for (int l = 0; l < lanes; ++l) {
            const SynthLane& x = v[g * lanes + l];
            env[g][l] = x.env;
            mul[g][l] = x.mul;
            add[g][l] = x.add;
            s[g][l] = x.s;
            c[g][l] = x.c;
            cw[g][l] = x.cw;
            sw[g][l] = x.sw;
            p2[g][l] = x.p2;
            lvl[g][l] = x.lvl;
            h2[g][l] = x.h2;
            u[g][l] = x.u;
            c4[g][l] = x.c4;
            ampL[g][l] = x.ampL;
            ampR[g][l] = x.ampR;
        }
    }
    const Vec d2 = splat<Vec>(k.decay2), d12 = splat<Vec>(k.decay12), base = splat<Vec>(levelFloor);
    const Vec silence = splat<Vec>(k.silence);
    for (int i = 0; i < frames; ++i) {
        Vec sumL = fastmath::load<Vec>(laneL[i]), sumR = fastmath::load<Vec>(laneR[i]);
        // Unrolled, so that every group's state stays in registers.
#pragma GCC unroll 8
        for (int g = 0; g < Groups; ++g) {
            const Vec e = env[g] * mul[g] + add[g];
            const Vec ns = s[g] * cw[g] + c[g] * sw[g];
            const Vec nc = c[g] * cw[g] - s[g] * sw[g];
            if constexpr (Masked) {
                const Int audible = (Int)(e >= silence);
                env[g] = fastmath::bitCast<Vec>(fastmath::bitCast<Int>(e) & audible);
                s[g] = fastmath::bitCast<Vec>((fastmath::bitCast<Int>(ns) & audible) |
                                              (fastmath::bitCast<Int>(s[g]) & ~audible));
                c[g] = fastmath::bitCast<Vec>((fastmath::bitCast<Int>(nc) & audible) |
                                              (fastmath::bitCast<Int>(c[g]) & ~audible));
            } else {
                env[g] = e;
                s[g] = ns;
                c[g] = nc;
            }
            p2[g] = p2[g] * d2;
            lvl[g] = lvl[g] * d12;
            const Vec sig = s[g] * (u[g] - c4[g] * (s[g] * s[g]) + h2[g] * p2[g] * c[g]);
            const Vec x = sig * env[g] * (base + lvl[g]);
            sumL += x * ampL[g];
            sumR += x * ampR[g];
        }
        fastmath::store(laneL[i], sumL);
        fastmath::store(laneR[i], sumR);
    }
    for (int g = 0; g < Groups; ++g) {
        for (int l = 0; l < lanes; ++l) {
            SynthLane& x = v[g * lanes + l];
            x.env = env[g][l];
            x.s = s[g][l];
            x.c = c[g][l];
            x.p2 = p2[g][l];
            x.lvl = lvl[g][l];
        }
    }
}

// Renders 1..4 groups of lanes; `masked` when a voice may fall silent.
template <typename Vec, bool Masked>
VELK_ALWAYS_INLINE void synthBatchOf(SynthLane* v, int groups, const SynthConstants& k, int frames,
                                     double (*laneL)[maxLanes], double (*laneR)[maxLanes]) noexcept {
    switch (groups) {
    case 1: synthGroups<Vec, 1, Masked>(v, k, frames, laneL, laneR); break;
    case 2: synthGroups<Vec, 2, Masked>(v, k, frames, laneL, laneR); break;
    case 3: synthGroups<Vec, 3, Masked>(v, k, frames, laneL, laneR); break;
    default: synthGroups<Vec, 4, Masked>(v, k, frames, laneL, laneR); break;
    }
}

template <typename Vec>
VELK_ALWAYS_INLINE void synthBatch(SynthLane* v, int groups, bool masked, const SynthConstants& k, int frames,
                                   double (*laneL)[maxLanes], double (*laneR)[maxLanes]) noexcept {
    if (masked)
        synthBatchOf<Vec, true>(v, groups, k, frames, laneL, laneR);
    else
        synthBatchOf<Vec, false>(v, groups, k, frames, laneL, laneR);
}

// The output stage of a chunk: out_i = tanh(gain_i * acc_i), stored as float
// (within -1..1, never -0), and the chunk's peak of the values as stored. accL, accR and gains must be
// readable up to `frames` rounded up to a whole vector.
template <typename Vec>
VELK_ALWAYS_INLINE float outputStage(const double* accL, const double* accR, const double* gains, int frames,
                                     float* left, float* right) noexcept {
    using fastmath::splat;
    constexpr int lanes = fastmath::Lanes<Vec>::count;
    typedef float Floats __attribute__((vector_size(lanes * sizeof(float))));
    Vec peaks = splat<Vec>(0.0);
    for (int i = 0; i < frames; i += lanes) {
        const Vec g = fastmath::load<Vec>(gains + i);
        Vec yl = g * fastmath::load<Vec>(accL + i);
        Vec yr = g * fastmath::load<Vec>(accR + i);
        fastmath::tanhPair(yl, yr);
        // tanh keeps the sign of a vanishing negative sum, giving -0; +0 in its
        // place leaves the output exactly as the count-in's mix would (it adds
        // 0 to every sample), so the mix may skip blocks without a click.
        yl += 0.0;
        yr += 0.0;
        const int n = frames - i < lanes ? frames - i : lanes;
        if (n < lanes) { // the values past the chunk's end take no part in the peak
            for (int j = n; j < lanes; ++j)
                yl[j] = yr[j] = 0.0;
        }
        peaks = fastmath::maxLanes(peaks, fastmath::maxLanes(fastmath::absLanes(yl), fastmath::absLanes(yr)));
        const Floats fl = __builtin_convertvector(yl, Floats);
        const Floats fr = __builtin_convertvector(yr, Floats);
        if (left) std::memcpy(left + i, &fl, n * sizeof(float));
        if (right) std::memcpy(right + i, &fr, n * sizeof(float));
    }
    double peak = 0.0;
    for (int j = 0; j < lanes; ++j)
        peak = peaks[j] > peak ? peaks[j] : peak;
    // Rounding to float is monotonic: the peak of the stored floats is the
    // rounded peak of the doubles.
    return static_cast<float>(peak);
}

} // namespace palmtone::kernel
