#pragma once
// Converting runs of WAV frames into a one-shot's float channels, in the widest
// form the CPU runs: AVX2 where available, else plain scalar code. Chosen once
// when the library loads; both forms give the same bits. Never on the audio
// thread.
#include <cstddef>
#include <cstdint>

namespace palmtone::wavekernel {

// The stored sample formats: PCM 8/16/24/32-bit and IEEE float 32/64-bit.
enum class Format { pcm8, pcm16, pcm24, pcm32, float32, float64 };

size_t sampleBytes(Format format) noexcept;

struct Run {
    float peak;  // largest absolute value written, of either channel (0 for none)
    bool finite; // false when a float sample was infinite or NaN (what was written is then meaningless)
};

// Converts frames frames of interleaved samples at src (one or two channels)
// into left[0, frames) and, for two channels, right[0, frames): PCM scaled to
// -1..1, floats clamped to -1..1 and rounded to single precision. Reads no byte
// past the last frame.
using Convert = Run (*)(const uint8_t* src, size_t frames, float* left, float* right) noexcept;

// The active kernels' converter for a format and channel count (1 or 2).
Convert converter(Format format, int channels) noexcept;

// For tests: whether the wide kernels exist on this CPU, and a switch between
// the two sets (call only while nothing decodes).
bool wideAvailable() noexcept;
void useWide(bool wide) noexcept;

} // namespace palmtone::wavekernel
