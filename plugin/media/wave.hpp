#pragma once
// Reading and decoding WAV one-shots. Never called on the audio thread; callers
// decode before taking any lock. Failures are std::runtime_error with a Spanish
// message for the user.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "plugin/media/sample_data.hpp"

namespace palmtone {

constexpr size_t minWaveBytes = 44;
constexpr size_t maxWaveBytes = 67108864; // 64 MiB

// Reads the file at path and decodes it; the sample is named after the file's stem.
std::unique_ptr<SampleData> loadWave(const std::wstring& path);

// Checks and converts a WAV image; the bytes move into SampleData::file.
std::unique_ptr<SampleData> decodeWave(WaveImage bytes, std::wstring name);

// The same for bytes the caller keeps (a state chunk): they are copied into
// SampleData::file piece by piece, each piece converted while it is at hand.
std::unique_ptr<SampleData> decodeWave(const uint8_t* data, size_t size, std::wstring name);

inline std::unique_ptr<SampleData> decodeWave(const std::vector<uint8_t>& bytes, std::wstring name) {
    return decodeWave(bytes.data(), bytes.size(), std::move(name));
}

// An absolute drive or network path of 1..32767 characters ending in ".wav" (any case).
bool isWavePath(const std::wstring& path);

} // namespace palmtone
