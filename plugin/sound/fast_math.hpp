#pragma once
// Branch-free maths on generic vectors of doubles (two lanes for SSE2, four for
// AVX2), so rendering needs no C runtime call per sample. Accurate to better
// than 1e-9, far below the 32-bit floats the results are stored as.
#include <cstdint>
#include <cstring>

// Every helper is folded into its caller, so that the same code compiles for
// whichever instruction set the calling kernel was built for.
#define VELK_ALWAYS_INLINE inline __attribute__((always_inline))

namespace palmtone::fastmath {

typedef double V2 __attribute__((vector_size(16)));
typedef double V4 __attribute__((vector_size(32)));

template <typename Vec> struct Lanes;
template <> struct Lanes<V2> {
    static constexpr int count = 2;
    typedef int64_t Int __attribute__((vector_size(16)));
};
template <> struct Lanes<V4> {
    static constexpr int count = 4;
    typedef int64_t Int __attribute__((vector_size(32)));
};

template <typename Vec> using IntOf = typename Lanes<Vec>::Int;

template <typename Vec> VELK_ALWAYS_INLINE Vec splat(double x) noexcept {
    Vec v;
    for (int i = 0; i < Lanes<Vec>::count; ++i)
        v[i] = x;
    return v;
}

template <typename Vec> VELK_ALWAYS_INLINE Vec load(const double* p) noexcept {
    Vec v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename Vec> VELK_ALWAYS_INLINE void store(double* p, Vec v) noexcept {
    std::memcpy(p, &v, sizeof v);
}

template <typename To, typename From> VELK_ALWAYS_INLINE To bitCast(From from) noexcept {
    static_assert(sizeof(To) == sizeof(From));
    To to;
    std::memcpy(&to, &from, sizeof to);
    return to;
}

template <typename Vec> VELK_ALWAYS_INLINE Vec absLanes(Vec x) noexcept {
    const IntOf<Vec> sign = bitCast<IntOf<Vec>>(splat<Vec>(-0.0));
    return bitCast<Vec>(bitCast<IntOf<Vec>>(x) & ~sign);
}

template <typename Vec> VELK_ALWAYS_INLINE Vec maxLanes(Vec a, Vec b) noexcept {
    const IntOf<Vec> greater = (IntOf<Vec>)(a > b);
    return bitCast<Vec>((bitCast<IntOf<Vec>>(a) & greater) | (bitCast<IntOf<Vec>>(b) & ~greater));
}

template <typename Vec> VELK_ALWAYS_INLINE Vec minLanes(Vec a, Vec b) noexcept {
    const IntOf<Vec> less = (IntOf<Vec>)(a < b);
    return bitCast<Vec>((bitCast<IntOf<Vec>>(a) & less) | (bitCast<IntOf<Vec>>(b) & ~less));
}

// exp(y) for 0 <= y <= 40.
template <typename Vec> VELK_ALWAYS_INLINE Vec expLanes(Vec y) noexcept {
    using Int = IntOf<Vec>;
    const double log2e = 1.4426950408889634074;
    const double ln2Hi = 0.693145751953125;
    const double ln2Lo = 1.42860682030941723212e-6;
    const double shifter = 6755399441055744.0; // 1.5 * 2^52: rounds to an integer in the low bits
    const Vec t = y * log2e + shifter;
    const Int k = bitCast<Int>(t) - bitCast<Int>(splat<Vec>(shifter));
    const Vec kd = t - shifter;
    const Vec r = (y - kd * ln2Hi) - kd * ln2Lo; // |r| <= ln2 / 2
    // Taylor series of exp(r) to degree 8 (error below 3e-10 relative, far
    // below float resolution), in Estrin's form so the terms do not wait on
    // each other.
    const Vec r2 = r * r;
    const Vec r4 = r2 * r2;
    const Vec a01 = 1.0 + r;
    const Vec a23 = 1.0 / 2.0 + r * (1.0 / 6.0);
    const Vec a45 = 1.0 / 24.0 + r * (1.0 / 120.0);
    const Vec a67 = 1.0 / 720.0 + r * (1.0 / 5040.0);
    const Vec a03 = a01 + r2 * a23;
    const Vec a47 = a45 + r2 * a67;
    const Vec p = a03 + r4 * (a47 + r4 * (1.0 / 40320.0));
    return bitCast<Vec>(bitCast<Int>(p) + (k << 52));
}

// tanh of two vectors at once, sharing one division; exact sign, no NaN for
// finite input.
template <typename Vec> VELK_ALWAYS_INLINE void tanhPair(Vec& x, Vec& y) noexcept {
    using Int = IntOf<Vec>;
    const Int sign = bitCast<Int>(splat<Vec>(-0.0));
    const Int sx = bitCast<Int>(x) & sign;
    const Int sy = bitCast<Int>(y) & sign;
    // tanh(20) rounds to 1 in double precision; the clamp keeps exp in range.
    const Vec limit = splat<Vec>(20.0);
    const Vec ax = minLanes(absLanes(x), limit);
    const Vec ay = minLanes(absLanes(y), limit);
    const Vec ex = expLanes(ax + ax) + 1.0;
    const Vec ey = expLanes(ay + ay) + 1.0;
    // tanh = (e - 1) / (e + 1) = 1 - 2 / (e + 1); one reciprocal serves both.
    const Vec inv = 2.0 / (ex * ey);
    x = bitCast<Vec>(bitCast<Int>(1.0 - ey * inv) | sx);
    y = bitCast<Vec>(bitCast<Int>(1.0 - ex * inv) | sy);
}

} // namespace palmtone::fastmath
