#include "plugin/media/wave.hpp"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "plugin/media/file_read.hpp"
#include "plugin/media/wave_kernels.hpp"
#include "plugin/media/wave_layout.hpp"
#include "plugin/text/text.hpp"
#include "plugin/text/windows_path.hpp"

namespace palmtone {

namespace {

// A restore copies and converts this many bytes of frames at a time, so that
// each piece is converted while it is still in the cache.
constexpr size_t copyPiece = size_t(128) << 10;

// The sample without its frames: channels sized, not yet written.
std::unique_ptr<SampleData> emptySample(const WaveLayout& layout, std::wstring name) {
    auto sample = std::make_unique<SampleData>();
    sample->name = std::move(name);
    sample->sampleRate = double(layout.rate);
    sample->rootNote = layout.rootNote;
    sample->hasRoot = layout.hasRoot;
    sample->serial = 0;
    sample->left.resize(layout.frames);
    if (layout.channels == 2) sample->right.resize(layout.frames);
    return sample;
}

// Converts frames [first, first + count), whose bytes start at src, into the
// sample's channels and peak overview: bin k holds the frames i with
// i * 96 / frames == k, so a run is cut where a bin ends.
void convertFrames(const WaveLayout& layout, const uint8_t* src, size_t first, size_t count, SampleData& s) {
    const wavekernel::Convert convert = wavekernel::converter(layout.format, layout.channels);
    const uint64_t frames = layout.frames;
    float* right = layout.channels == 2 ? s.right.data() : nullptr;
    for (size_t i = first, end = first + count; i < end;) {
        const size_t k = size_t(uint64_t(i) * peakBins / frames);
        const size_t binEnd = size_t(((k + 1) * frames + peakBins - 1) / peakBins);
        const size_t n = std::min(end, binEnd) - i;
        const wavekernel::Run run = convert(src, n, s.left.data() + i, right ? right + i : nullptr);
        if (!run.finite) throw std::runtime_error("El WAV contiene muestras no validas");
        s.peaks[k] = std::max(s.peaks[k], run.peak);
        src += n * layout.frameBytes;
        i += n;
    }
}

} // namespace

std::unique_ptr<SampleData> loadWave(const std::wstring& path) {
    WaveImage bytes = readWaveFile(path);
    return decodeWave(std::move(bytes), winpath::stem(path));
}

std::unique_ptr<SampleData> decodeWave(WaveImage bytes, std::wstring name) {
    const WaveLayout layout = parseWave(bytes.data(), bytes.size());
    std::unique_ptr<SampleData> sample = emptySample(layout, std::move(name));
    convertFrames(layout, bytes.data() + layout.dataAt, 0, layout.frames, *sample);
    sample->file = std::move(bytes);
    return sample;
}

std::unique_ptr<SampleData> decodeWave(const uint8_t* data, size_t size, std::wstring name) {
    const WaveLayout layout = parseWave(data, size);
    std::unique_ptr<SampleData> sample = emptySample(layout, std::move(name));
    sample->file.resize(size);
    uint8_t* image = sample->file.data();
    std::memcpy(image, data, layout.dataAt);
    const size_t piece = std::max<size_t>(1, copyPiece / layout.frameBytes);
    size_t at = layout.dataAt;
    for (size_t i = 0; i < layout.frames;) {
        const size_t n = std::min(piece, layout.frames - i);
        std::memcpy(image + at, data + at, n * layout.frameBytes);
        convertFrames(layout, image + at, i, n, *sample);
        at += n * layout.frameBytes;
        i += n;
    }
    std::memcpy(image + at, data + at, size - at);
    return sample;
}

bool isWavePath(const std::wstring& path) {
    if (path.empty() || path.size() > 32767) return false;
    const size_t root = winpath::rootNameLength(path);
    const bool drive = root == 2 && path[1] == L':' && winpath::hasRootDirectory(path);
    const bool network = root >= 3; // two separators and a server name
    if (!drive && !network) return false;
    return compareNoCase(winpath::extension(path), L".wav") == 0;
}

} // namespace palmtone
