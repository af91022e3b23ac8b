#include "plugin/media/wave_kernels.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "plugin/cpu/cpu_features.hpp"

#ifdef VELK_CPU_DISPATCH
#include <immintrin.h>
#endif

namespace palmtone::wavekernel {

namespace {

// --- scalar: one stored value at a time ---

// Integer samples are converted in single precision: every 8, 16 and 24-bit
// value and its quotient are exact there, and a 32-bit value is rounded once
// either way (scaling by a power of two is exact), so the result equals the
// double-precision rule. Floats can be non-finite or out of range and are
// clamped in double precision.
struct Pcm8 {
    static constexpr size_t bytes = 1;
    static float value(const uint8_t* p, bool&) noexcept { return (float(p[0]) - 128.0f) * (1.0f / 128.0f); }
};
struct Pcm16 {
    static constexpr size_t bytes = 2;
    static float value(const uint8_t* p, bool&) noexcept {
        return float(int16_t(uint16_t(p[0] | p[1] << 8))) * (1.0f / 32768.0f);
    }
};
struct Pcm24 {
    static constexpr size_t bytes = 3;
    static float value(const uint8_t* p, bool&) noexcept {
        const int32_t v = int32_t((uint32_t(p[0]) << 8) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 24)) >>
                          8; // sign from bit 23
        return float(v) * (1.0f / 8388608.0f);
    }
};
struct Pcm32 {
    static constexpr size_t bytes = 4;
    static float value(const uint8_t* p, bool&) noexcept {
        const uint32_t u = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
        return float(int32_t(u)) * (1.0f / 2147483648.0f);
    }
};
inline float clamped(double v, bool& finite) noexcept {
    if (!std::isfinite(v)) finite = false;
    return float(std::min(1.0, std::max(-1.0, v)));
}
struct Float32 {
    static constexpr size_t bytes = 4;
    static float value(const uint8_t* p, bool& finite) noexcept {
        float f;
        std::memcpy(&f, p, 4);
        return clamped(double(f), finite);
    }
};
struct Float64 {
    static constexpr size_t bytes = 8;
    static float value(const uint8_t* p, bool& finite) noexcept {
        double d;
        std::memcpy(&d, p, 8);
        return clamped(d, finite);
    }
};

template <class F, int channels>
Run scalarRun(const uint8_t* src, size_t frames, float* left, float* right) noexcept {
    constexpr size_t stride = channels * F::bytes;
    bool finite = true;
    // Two frames per step into four running maxima, so that no frame waits on
    // the one before.
    float peak[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    size_t i = 0;
    for (; i + 2 <= frames; i += 2, src += 2 * stride) {
        const float l0 = F::value(src, finite);
        const float l1 = F::value(src + stride, finite);
        left[i] = l0;
        left[i + 1] = l1;
        peak[0] = std::max(peak[0], std::fabs(l0));
        peak[1] = std::max(peak[1], std::fabs(l1));
        if constexpr (channels == 2) {
            const float r0 = F::value(src + F::bytes, finite);
            const float r1 = F::value(src + stride + F::bytes, finite);
            right[i] = r0;
            right[i + 1] = r1;
            peak[2] = std::max(peak[2], std::fabs(r0));
            peak[3] = std::max(peak[3], std::fabs(r1));
        }
    }
    if (i < frames) {
        const float l = F::value(src, finite);
        left[i] = l;
        peak[0] = std::max(peak[0], std::fabs(l));
        if constexpr (channels == 2) {
            const float r = F::value(src + F::bytes, finite);
            right[i] = r;
            peak[2] = std::max(peak[2], std::fabs(r));
        }
    }
    return {std::max(std::max(peak[0], peak[1]), std::max(peak[2], peak[3])), finite};
}

template <class F> constexpr Convert scalarPair[2] = {&scalarRun<F, 1>, &scalarRun<F, 2>};

struct Set {
    Convert run[6][2]; // [format][channels - 1]
};

const Set scalar = {{{scalarPair<Pcm8>[0], scalarPair<Pcm8>[1]},
                     {scalarPair<Pcm16>[0], scalarPair<Pcm16>[1]},
                     {scalarPair<Pcm24>[0], scalarPair<Pcm24>[1]},
                     {scalarPair<Pcm32>[0], scalarPair<Pcm32>[1]},
                     {scalarPair<Float32>[0], scalarPair<Float32>[1]},
                     {scalarPair<Float64>[0], scalarPair<Float64>[1]}}};

// --- AVX2: eight frames at a time ---
//
// Each loader turns the eight frames at p into eight left and eight right
// floats (or eight mono ones) with the scalar rule's exact result: integers
// are converted exactly (24-bit samples sit in the top of a 32-bit lane and
// are scaled by 2^-31 instead of 2^-23), 32-bit integers and doubles round to
// nearest like the scalar conversions, and 32-bit floats are clamped on their
// bits. extent1 and extent2 are how many bytes the loads of eight mono or
// stereo frames touch.
#ifdef VELK_CPU_DISPATCH
#define VELK_WAVE_WIDE 1
#define VELK_AVX2 __attribute__((target("avx2"), always_inline)) inline

VELK_AVX2 __m256 scaled(__m256i v, float scale) {
    return _mm256_mul_ps(_mm256_cvtepi32_ps(v), _mm256_set1_ps(scale));
}

// [a0 a1 a2 a3 | b0 b1 b2 b3] from two 128-bit loads.
VELK_AVX2 __m256i load2x128(const uint8_t* a, const uint8_t* b) {
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(b)), 1);
}

// Pairs x = [L0 R0 L1 R1 | L4 R4 L5 R5] and y = [L2 R2 L3 R3 | L6 R6 L7 R7] to
// eight lefts and eight rights, in one in-lane shuffle each.
VELK_AVX2 void split(__m256i x, __m256i y, __m256i& l, __m256i& r) {
    const __m256 a = _mm256_castsi256_ps(x), b = _mm256_castsi256_ps(y);
    l = _mm256_castps_si256(_mm256_shuffle_ps(a, b, 0x88));
    r = _mm256_castps_si256(_mm256_shuffle_ps(a, b, 0xDD));
}

struct WidePcm8 {
    static constexpr size_t bytes = 1;
    static constexpr size_t extent1 = 8, extent2 = 16;
    VELK_AVX2 static __m256 mono(const uint8_t* p, __m256i&) {
        const __m256i v = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
        return scaled(_mm256_sub_epi32(v, _mm256_set1_epi32(128)), 1.0f / 128.0f);
    }
    VELK_AVX2 static void stereo(const uint8_t* p, __m256& l, __m256& r, __m256i&) {
        // Each frame as one 16-bit lane (left low byte, right high byte).
        const __m256i v = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
        const __m256i offset = _mm256_set1_epi32(128);
        l = scaled(_mm256_sub_epi32(_mm256_and_si256(v, _mm256_set1_epi32(0xFF)), offset), 1.0f / 128.0f);
        r = scaled(_mm256_sub_epi32(_mm256_srli_epi32(v, 8), offset), 1.0f / 128.0f);
    }
};

struct WidePcm16 {
    static constexpr size_t bytes = 2;
    static constexpr size_t extent1 = 16, extent2 = 32;
    VELK_AVX2 static __m256 mono(const uint8_t* p, __m256i&) {
        return scaled(_mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
                      1.0f / 32768.0f);
    }
    VELK_AVX2 static void stereo(const uint8_t* p, __m256& l, __m256& r, __m256i&) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        l = scaled(_mm256_srai_epi32(_mm256_slli_epi32(v, 16), 16), 1.0f / 32768.0f);
        r = scaled(_mm256_srai_epi32(v, 16), 1.0f / 32768.0f);
    }
};

struct WidePcm24 {
    static constexpr size_t bytes = 3;
    // The last 16-byte load starts 12 bytes before the end of the frames it uses.
    static constexpr size_t extent1 = 12 + 16, extent2 = 36 + 16;
    // Four 3-byte samples of each 16-byte lane into the top of four 32-bit lanes.
    VELK_AVX2 static __m256i spread(__m256i v) {
        return _mm256_shuffle_epi8(v, _mm256_setr_epi8(-1, 0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11,
                                                       -1, 0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11));
    }
    VELK_AVX2 static __m256 mono(const uint8_t* p, __m256i&) {
        return scaled(spread(load2x128(p, p + 12)), 1.0f / 2147483648.0f);
    }
    VELK_AVX2 static void stereo(const uint8_t* p, __m256& l, __m256& r, __m256i&) {
        // Frames 0-1 with 4-5, and 2-3 with 6-7, as two frames per 16-byte lane.
        __m256i li, ri;
        split(spread(load2x128(p, p + 24)), spread(load2x128(p + 12, p + 36)), li, ri);
        l = scaled(li, 1.0f / 2147483648.0f);
        r = scaled(ri, 1.0f / 2147483648.0f);
    }
};

struct WidePcm32 {
    static constexpr size_t bytes = 4;
    static constexpr size_t extent1 = 32, extent2 = 64;
    VELK_AVX2 static __m256 mono(const uint8_t* p, __m256i&) {
        return scaled(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), 1.0f / 2147483648.0f);
    }
    VELK_AVX2 static void stereo(const uint8_t* p, __m256& l, __m256& r, __m256i&) {
        __m256i li, ri;
        split(load2x128(p, p + 32), load2x128(p + 16, p + 48), li, ri);
        l = scaled(li, 1.0f / 2147483648.0f);
        r = scaled(ri, 1.0f / 2147483648.0f);
    }
};

struct WideFloat32 {
    static constexpr size_t bytes = 4;
    static constexpr size_t extent1 = 32, extent2 = 64;
    // On the bits: an all-ones exponent is not finite; a magnitude above 1.0
    // becomes 1.0 with its sign. Everything else passes unchanged.
    VELK_AVX2 static __m256 clamp(__m256i v, __m256i& bad) {
        const __m256i magnitude = _mm256_and_si256(v, _mm256_set1_epi32(0x7FFFFFFF));
        bad = _mm256_or_si256(bad, _mm256_cmpgt_epi32(magnitude, _mm256_set1_epi32(0x7F7FFFFF)));
        const __m256i over = _mm256_cmpgt_epi32(magnitude, _mm256_set1_epi32(0x3F800000));
        const __m256i one = _mm256_or_si256(_mm256_andnot_si256(magnitude, v), _mm256_set1_epi32(0x3F800000));
        return _mm256_castsi256_ps(_mm256_blendv_epi8(v, one, over));
    }
    VELK_AVX2 static __m256 mono(const uint8_t* p, __m256i& bad) {
        return clamp(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), bad);
    }
    VELK_AVX2 static void stereo(const uint8_t* p, __m256& l, __m256& r, __m256i& bad) {
        __m256i li, ri;
        split(load2x128(p, p + 32), load2x128(p + 16, p + 48), li, ri);
        l = clamp(li, bad);
        r = clamp(ri, bad);
    }
};

struct WideFloat64 {
    static constexpr size_t bytes = 8;
    static constexpr size_t extent1 = 64, extent2 = 128;
    // Four doubles: flagged when not finite, clamped, rounded to floats.
    VELK_AVX2 static __m128 four(const uint8_t* p, __m256i& bad) {
        const __m256d v = _mm256_loadu_pd(reinterpret_cast<const double*>(p));
        const __m256i exponent = _mm256_set1_epi64x(0x7FF0000000000000);
        bad = _mm256_or_si256(
            bad, _mm256_cmpeq_epi64(_mm256_and_si256(_mm256_castpd_si256(v), exponent), exponent));
        const __m256d c = _mm256_min_pd(_mm256_max_pd(v, _mm256_set1_pd(-1.0)), _mm256_set1_pd(1.0));
        return _mm256_cvtpd_ps(c);
    }
    // Eight doubles from a and b, as [a0-3 | b0-3].
    VELK_AVX2 static __m256i eight(const uint8_t* a, const uint8_t* b, __m256i& bad) {
        return _mm256_castps_si256(
            _mm256_insertf128_ps(_mm256_castps128_ps256(four(a, bad)), four(b, bad), 1));
    }
    VELK_AVX2 static __m256 mono(const uint8_t* p, __m256i& bad) {
        return _mm256_castsi256_ps(eight(p, p + 32, bad));
    }
    VELK_AVX2 static void stereo(const uint8_t* p, __m256& l, __m256& r, __m256i& bad) {
        __m256i li, ri;
        split(eight(p, p + 64, bad), eight(p + 32, p + 96, bad), li, ri);
        l = _mm256_castsi256_ps(li);
        r = _mm256_castsi256_ps(ri);
    }
};

// The largest of eight non-negative float bit patterns, as a float.
VELK_AVX2 float largest(__m256i bits) {
    __m128i m = _mm_max_epi32(_mm256_castsi256_si128(bits), _mm256_extracti128_si256(bits, 1));
    m = _mm_max_epi32(m, _mm_shuffle_epi32(m, 0x4E));
    m = _mm_max_epi32(m, _mm_shuffle_epi32(m, 0xB1));
    const int32_t top = _mm_cvtsi128_si32(m);
    float f;
    std::memcpy(&f, &top, 4);
    return f;
}

VELK_AVX2 __m256i magnitudeBits(__m256 v) {
    return _mm256_and_si256(_mm256_castps_si256(v), _mm256_set1_epi32(0x7FFFFFFF));
}

// Eight frames per step while a whole load fits in the frames given; the rest
// (fewer than eight frames, or the last few of a 24-bit run) frame by frame.
template <class W, class S, int channels>
__attribute__((target("avx2"))) Run wideRun(const uint8_t* src, size_t frames, float* left,
                                            float* right) noexcept {
    constexpr size_t stride = channels * W::bytes;
    constexpr size_t extent = channels == 2 ? W::extent2 : W::extent1;
    __m256i bad = _mm256_setzero_si256();
    __m256i peak = _mm256_setzero_si256();
    size_t i = 0;
    for (; i + 8 <= frames && (frames - i) * stride >= extent; i += 8, src += 8 * stride) {
        if constexpr (channels == 2) {
            __m256 l, r;
            W::stereo(src, l, r, bad);
            _mm256_storeu_ps(left + i, l);
            _mm256_storeu_ps(right + i, r);
            peak = _mm256_max_epi32(peak, _mm256_max_epi32(magnitudeBits(l), magnitudeBits(r)));
        } else {
            const __m256 l = W::mono(src, bad);
            _mm256_storeu_ps(left + i, l);
            peak = _mm256_max_epi32(peak, magnitudeBits(l));
        }
    }
    const bool finite = _mm256_testz_si256(bad, bad) != 0;
    const float widePeak = largest(peak);
    const Run rest = scalarRun<S, channels>(src, frames - i, left + i, channels == 2 ? right + i : nullptr);
    return {std::max(widePeak, rest.peak), finite && rest.finite};
}

template <class W, class S> constexpr Convert widePair[2] = {&wideRun<W, S, 1>, &wideRun<W, S, 2>};

const Set wideSet = {{{widePair<WidePcm8, Pcm8>[0], widePair<WidePcm8, Pcm8>[1]},
                      {widePair<WidePcm16, Pcm16>[0], widePair<WidePcm16, Pcm16>[1]},
                      {widePair<WidePcm24, Pcm24>[0], widePair<WidePcm24, Pcm24>[1]},
                      {widePair<WidePcm32, Pcm32>[0], widePair<WidePcm32, Pcm32>[1]},
                      {widePair<WideFloat32, Float32>[0], widePair<WideFloat32, Float32>[1]},
                      {widePair<WideFloat64, Float64>[0], widePair<WideFloat64, Float64>[1]}}};
#endif

bool detectWide() noexcept {
#ifdef VELK_WAVE_WIDE
    return cpu::features().avx2;
#else
    return false;
#endif
}

const bool wideOnThisCpu = detectWide();
// Chosen when the library loads; changed only by tests while nothing decodes.
#ifdef VELK_WAVE_WIDE
const Set* chosen = wideOnThisCpu ? &wideSet : &scalar;
#else
const Set* chosen = &scalar;
#endif

} // namespace

size_t sampleBytes(Format format) noexcept {
    switch (format) {
    case Format::pcm8: return 1;
    case Format::pcm16: return 2;
    case Format::pcm24: return 3;
    case Format::pcm32:
    case Format::float32: return 4;
    case Format::float64: return 8;
    }
    return 0;
}

Convert converter(Format format, int channels) noexcept {
    return chosen->run[static_cast<int>(format)][channels == 2 ? 1 : 0];
}

bool wideAvailable() noexcept {
    return wideOnThisCpu;
}

void useWide(bool wide) noexcept {
#ifdef VELK_WAVE_WIDE
    chosen = wide && wideOnThisCpu ? &wideSet : &scalar;
#else
    (void)wide;
#endif
}

} // namespace palmtone::wavekernel
