#pragma once
// The one file layout of the installer's one-shots: RIFF/WAVE, PCM 16-bit
// mono 48000 Hz, chunks "fmt " (16 bytes), "smpl" (36 bytes, unity note 60,
// no loops) and "data"; 88 header bytes before the samples.
#include <cstdint>
#include <vector>

namespace payload {

constexpr int sampleRate = 48000;
constexpr int unityNote = 60;

std::vector<uint8_t> waveFile(const std::vector<int16_t>& samples);

} // namespace payload
