#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "plugin/media/large_buffer.hpp"

namespace palmtone {

// The bins of a one-shot's overview: the editor draws one line per bin.
constexpr size_t peakBins = 96;

// A WAV file's bytes as read (or restored), kept whole with its one-shot.
using WaveImage = LargeVector<uint8_t>;

// One decoded WAV one-shot. Never changed once published; always held through a
// unique pointer and freed only off the audio thread (see SampleBank).
struct SampleData {
    std::wstring name;
    LargeVector<float> left;    // one value per frame, finite, in -1..1
    LargeVector<float> right;   // empty for a mono file
    WaveImage file;             // the decoded image, byte for byte
    float peaks[peakBins] = {}; // largest absolute value of either channel per bin
    double sampleRate = 0.0;    // 8000..192000
    int32_t rootNote = 60;      // unity note from a "smpl" chunk, else 60
    bool hasRoot = false;
    int64_t serial = 0; // publication number, given by SampleBank::publish
};

} // namespace palmtone
