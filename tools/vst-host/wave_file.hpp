#pragma once
// RIFF/WAVE images: 16-bit PCM or 32-bit float, mono or stereo.
#include <cstdint>
#include <string>
#include <vector>

namespace vsthost {

enum class WaveFormat { pcm16, float32 };

// The complete file image (header "fmt " and "data" chunks). `right` empty: mono;
// otherwise it must be as long as `left`. PCM samples are clamped to -1..1.
std::vector<uint8_t> encodeWave(const std::vector<float>& left, const std::vector<float>& right,
                                uint32_t sampleRate, WaveFormat format);

// Writes bytes to a file (Windows path); throws std::runtime_error on failure.
void writeFile(const std::wstring& path, const std::vector<uint8_t>& bytes);

} // namespace vsthost
