#pragma once
// Where a WAV image keeps its frames and how they are stored: the RIFF chunk
// walk and every check of the accepted format, in the order of their messages.
#include <cstddef>
#include <cstdint>

#include "plugin/media/wave_kernels.hpp"

namespace palmtone {

struct WaveLayout {
    wavekernel::Format format;
    int channels;      // 1 or 2
    uint32_t rate;     // 8000..192000
    size_t dataAt;     // offset of the first frame
    size_t frames;     // 2 .. 30 s at the rate
    size_t frameBytes; // block align: channels x sample bytes
    int32_t rootNote;  // from a valid "smpl" chunk, else 60
    bool hasRoot;
};

// Checks an image of size bytes (any size) and tells where its frames are.
// Throws std::runtime_error with the user's message; reads nothing outside
// [image, image + size).
WaveLayout parseWave(const uint8_t* image, size_t size);

} // namespace palmtone
