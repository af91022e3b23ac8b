// libFuzzer target: any bytes into the WAV decoder. A refusal is fine; an
// accepted image must give a sample that keeps every promise of SampleData.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "plugin/media/wave.hpp"

namespace {
void require(bool ok) {
    if (!ok) std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    std::unique_ptr<palmtone::SampleData> s;
    try {
        s = palmtone::decodeWave(bytes, L"fuzz");
    } catch (const std::runtime_error&) {
        return 0;
    }
    const size_t frames = s->left.size();
    require(frames >= 2 && double(frames) <= 30.0 * s->sampleRate);
    require(s->sampleRate >= 8000 && s->sampleRate <= 192000);
    require(s->right.empty() || s->right.size() == frames);
    require(std::equal(s->file.begin(), s->file.end(), bytes.begin(), bytes.end()));
    require(s->rootNote >= 0 && s->rootNote <= 127 && (s->hasRoot || s->rootNote == 60));
    float peaks[96] = {};
    for (size_t i = 0; i < frames; ++i) {
        const size_t k = i * 96 / frames;
        for (const palmtone::LargeVector<float>* channel : {&s->left, &s->right}) {
            if (channel->empty()) continue;
            const float v = (*channel)[i];
            require(std::isfinite(v) && v >= -1.0f && v <= 1.0f);
            peaks[k] = std::fmax(peaks[k], std::fabs(v));
        }
    }
    for (int k = 0; k < 96; ++k)
        require(s->peaks[k] == peaks[k]);
    return 0;
}
