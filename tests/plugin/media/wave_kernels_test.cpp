// The frame converters: the AVX2 kernels give the scalar ones' bits for every
// format, length and alignment, integer samples follow the scaling rule for
// every stored value, and a non-finite float is reported wherever it sits.
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "plugin/media/wave_kernels.hpp"

namespace wk = palmtone::wavekernel;

namespace {

constexpr wk::Format formats[] = {wk::Format::pcm8,  wk::Format::pcm16,   wk::Format::pcm24,
                                  wk::Format::pcm32, wk::Format::float32, wk::Format::float64};

// Puts the kernels chosen at load back when a test ends.
struct KernelChoice {
    ~KernelChoice() { wk::useWide(wk::wideAvailable()); }
};

struct Output {
    std::vector<float> left, right;
    wk::Run run;
};

// Converts with one kernel set into channels one value longer than the frames,
// whose last value must stay untouched.
Output convert(bool wide, wk::Format format, int channels, const uint8_t* src, size_t frames) {
    wk::useWide(wide);
    const float guard = -7.0f;
    Output out;
    out.left.assign(frames + 1, guard);
    out.right.assign(frames + 1, guard);
    out.run = wk::converter(format, channels)(src, frames, out.left.data(),
                                              channels == 2 ? out.right.data() : nullptr);
    EXPECT_EQ(out.left[frames], guard);
    EXPECT_EQ(out.right[frames], guard);
    out.left.pop_back();
    out.right.pop_back();
    return out;
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// Stored samples: random bytes for integers; for floats mostly values near the
// clamp, with signed zeros, subnormals and out-of-range values among them.
void fillSamples(std::mt19937& random, wk::Format format, uint8_t* p, size_t samples) {
    std::uniform_real_distribution<double> near(-1.25, 1.25);
    const float singles[] = {
        -0.0f, 1e-40f, -1e-45f, 1.0f, -1.0f, std::nextafter(1.0f, 2.0f), std::numeric_limits<float>::max(),
        -2.5f};
    const double doubles[] = {-0.0, 1e-310, -4e-45, 1.0, -1.0, std::nextafter(1.0, 2.0), 1e300, -3e38};
    for (size_t i = 0; i < samples; ++i) {
        const bool special = random() % 4 == 0;
        const size_t which = random() % 8;
        const double v = near(random);
        if (format == wk::Format::float32) {
            const float f = special ? singles[which] : float(v);
            std::memcpy(p + 4 * i, &f, 4);
        } else if (format == wk::Format::float64) {
            const double d = special ? doubles[which] : v;
            std::memcpy(p + 8 * i, &d, 8);
        } else {
            for (size_t b = 0; b < wk::sampleBytes(format); ++b)
                p[wk::sampleBytes(format) * i + b] = uint8_t(random());
        }
    }
}

void putNonFinite(wk::Format format, uint8_t* sample, bool nan) {
    if (format == wk::Format::float32) {
        const float f =
            nan ? std::numeric_limits<float>::quiet_NaN() : -std::numeric_limits<float>::infinity();
        std::memcpy(sample, &f, 4);
    } else {
        const double d =
            nan ? std::numeric_limits<double>::quiet_NaN() : std::numeric_limits<double>::infinity();
        std::memcpy(sample, &d, 8);
    }
}

} // namespace

TEST(WaveKernels, WideGivesTheScalarBitsForEveryFormatLengthAndAlignment) {
    if (!wk::wideAvailable()) GTEST_SKIP() << "this CPU has no AVX2: only the scalar kernels exist here";
    KernelChoice restore;
    std::mt19937 random(2024);
    std::vector<size_t> lengths;
    for (size_t n = 0; n <= 41; ++n)
        lengths.push_back(n);
    lengths.insert(lengths.end(), {1000, 4099});
    for (wk::Format format : formats)
        for (int channels : {1, 2})
            for (size_t frames : lengths)
                for (size_t offset : {0, 1, 3}) {
                    SCOPED_TRACE(testing::Message()
                                 << "format " << int(format) << ", " << channels << " channels, " << frames
                                 << " frames, offset " << offset);
                    const size_t stride = channels * wk::sampleBytes(format);
                    // Exactly as long as the frames: a read past them is an overflow.
                    std::vector<uint8_t> bytes(offset + frames * stride);
                    uint8_t* src = bytes.data() + offset;
                    fillSamples(random, format, src, frames * channels);
                    const Output scalar = convert(false, format, channels, src, frames);
                    const Output wide = convert(true, format, channels, src, frames);
                    ASSERT_TRUE(scalar.run.finite);
                    ASSERT_TRUE(wide.run.finite);
                    EXPECT_TRUE(sameBits(wide.left, scalar.left));
                    EXPECT_TRUE(sameBits(wide.right, scalar.right));
                    EXPECT_EQ(wide.run.peak, scalar.run.peak);
                }
}

TEST(WaveKernels, EveryStoredIntegerFollowsTheScaleRule) {
    KernelChoice restore;
    const struct {
        wk::Format format;
        int bits;
    } cases[] = {{wk::Format::pcm8, 8}, {wk::Format::pcm16, 16}, {wk::Format::pcm24, 24}};
    for (bool wide : {false, true}) {
        if (wide && !wk::wideAvailable()) continue;
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << c.bits << " bits, wide " << wide);
            const size_t bytes = size_t(c.bits / 8);
            const uint32_t count = uint32_t(1) << c.bits;
            // Every stored value once, in runs of 2^16 (mono and, in pairs, stereo).
            for (uint32_t first = 0; first < count; first += 65536) {
                const uint32_t n = std::min<uint32_t>(65536, count - first);
                std::vector<uint8_t> src(size_t(n) * bytes);
                for (uint32_t i = 0; i < n; ++i)
                    for (size_t b = 0; b < bytes; ++b)
                        src[i * bytes + b] = uint8_t((first + i) >> (8 * b));
                const Output mono = convert(wide, c.format, 1, src.data(), n);
                const Output stereo = convert(wide, c.format, 2, src.data(), n / 2);
                float peak = 0.0f;
                for (uint32_t i = 0; i < n; ++i) {
                    const uint32_t stored = first + i;
                    const int64_t v =
                        c.bits == 8 ? int64_t(stored) - 128
                                    : int64_t(stored ^ (1u << (c.bits - 1))) - (int64_t(1) << (c.bits - 1));
                    const float expected = float(double(v) / double(int64_t(1) << (c.bits - 1)));
                    peak = std::max(peak, std::fabs(expected));
                    ASSERT_EQ(mono.left[i], expected) << "stored " << stored;
                    ASSERT_EQ(i % 2 ? stereo.right[i / 2] : stereo.left[i / 2], expected)
                        << "stored " << stored;
                }
                EXPECT_EQ(mono.run.peak, peak);
                EXPECT_EQ(stereo.run.peak, peak);
            }
        }
    }
}

TEST(WaveKernels, ANonFiniteFloatIsReportedWhereverItSits) {
    KernelChoice restore;
    std::mt19937 random(7);
    for (bool wide : {false, true}) {
        if (wide && !wk::wideAvailable()) continue;
        for (wk::Format format : {wk::Format::float32, wk::Format::float64})
            for (int channels : {1, 2}) {
                const size_t frames = 19, samples = frames * channels, size = wk::sampleBytes(format);
                for (size_t at = 0; at < samples; ++at) {
                    std::vector<uint8_t> src(samples * size);
                    fillSamples(random, format, src.data(), samples);
                    putNonFinite(format, src.data() + at * size, at % 2 == 0);
                    EXPECT_FALSE(convert(wide, format, channels, src.data(), frames).run.finite)
                        << "format " << int(format) << ", " << channels << " channels, sample " << at
                        << ", wide " << wide;
                }
            }
    }
}
