#include "plugin/wave.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "plugin/file_read.hpp"
#include "plugin/large_buffer.hpp"
#include "plugin/text.hpp"
#include "plugin/windows_path.hpp"

namespace palmtone {

namespace {

constexpr int peakBins = 96;

[[noreturn]] void refuse(const char* message) { throw std::runtime_error(message); }

uint32_t le16(const uint8_t* p) noexcept { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }

uint32_t le32(const uint8_t* p) noexcept {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool isId(const uint8_t* p, const char* id) noexcept { return std::memcmp(p, id, 4) == 0; }

// The tail shared by the standard PCM and IEEE-float sub-format GUIDs.
constexpr uint8_t guidTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                  0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// One stored value, per format. Integer samples are converted in single
// precision: every 8, 16 and 24-bit value and its quotient are exact there, and
// a 32-bit value is rounded once either way (scaling by a power of two is
// exact), so the result equals the double-precision rule. The float formats can
// be non-finite or out of range and are clamped in double precision.
struct Pcm8 {
    static constexpr size_t bytes = 1;
    static constexpr bool isFloat = false;
    static float read(const uint8_t* p) noexcept { return (float(p[0]) - 128.0f) * (1.0f / 128.0f); }
};
struct Pcm16 {
    static constexpr size_t bytes = 2;
    static constexpr bool isFloat = false;
    static float read(const uint8_t* p) noexcept {
        return float(int16_t(uint16_t(p[0] | p[1] << 8))) * (1.0f / 32768.0f);
    }
};
struct Pcm24 {
    static constexpr size_t bytes = 3;
    static constexpr bool isFloat = false;
    static float read(const uint8_t* p) noexcept {
        const int32_t v = int32_t((uint32_t(p[0]) << 8) | (uint32_t(p[1]) << 16) |
                                  (uint32_t(p[2]) << 24)) >> 8; // sign from bit 23
        return float(v) * (1.0f / 8388608.0f);
    }
};
struct Pcm32 {
    static constexpr size_t bytes = 4;
    static constexpr bool isFloat = false;
    static float read(const uint8_t* p) noexcept {
        return float(int32_t(le32(p))) * (1.0f / 2147483648.0f);
    }
};
struct Float32 {
    static constexpr size_t bytes = 4;
    static constexpr bool isFloat = true;
    static double read(const uint8_t* p) noexcept {
        float f;
        std::memcpy(&f, p, 4);
        return double(f);
    }
};
struct Float64 {
    static constexpr size_t bytes = 8;
    static constexpr bool isFloat = true;
    static double read(const uint8_t* p) noexcept {
        double d;
        std::memcpy(&d, p, 8);
        return d;
    }
};

template <class Format>
float sampleValue(const uint8_t* p) {
    if constexpr (Format::isFloat) {
        const double v = Format::read(p);
        if (!std::isfinite(v)) refuse("El WAV contiene muestras no validas");
        return float(std::min(1.0, std::max(-1.0, v)));
    } else {
        return Format::read(p);
    }
}

// Conversion, validation and the peak overview in one pass, bin by bin: bin k
// holds the frames i with i * 96 / frames == k.
template <class Format, size_t channels>
void convert(const uint8_t* data, size_t frames, SampleData& s) {
    constexpr size_t stride = channels * Format::bytes;
    float* left = s.left.data();
    float* right = channels == 2 ? s.right.data() : nullptr;
    for (int k = 0; k < peakBins; ++k) {
        const size_t begin = (uint64_t(k) * frames + peakBins - 1) / peakBins;
        const size_t end = (uint64_t(k + 1) * frames + peakBins - 1) / peakBins;
        // Four running maxima, so that no frame waits on the one before.
        float peak[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        const uint8_t* p = data + begin * stride;
        size_t i = begin;
        for (; i + 2 <= end; i += 2, p += 2 * stride) {
            const float l0 = sampleValue<Format>(p);
            const float l1 = sampleValue<Format>(p + stride);
            left[i] = l0;
            left[i + 1] = l1;
            peak[0] = std::max(peak[0], std::fabs(l0));
            peak[1] = std::max(peak[1], std::fabs(l1));
            if constexpr (channels == 2) {
                const float r0 = sampleValue<Format>(p + Format::bytes);
                const float r1 = sampleValue<Format>(p + stride + Format::bytes);
                right[i] = r0;
                right[i + 1] = r1;
                peak[2] = std::max(peak[2], std::fabs(r0));
                peak[3] = std::max(peak[3], std::fabs(r1));
            }
        }
        if (i < end) {
            const float l = sampleValue<Format>(p);
            left[i] = l;
            peak[0] = std::max(peak[0], std::fabs(l));
            if constexpr (channels == 2) {
                const float r = sampleValue<Format>(p + Format::bytes);
                right[i] = r;
                peak[2] = std::max(peak[2], std::fabs(r));
            }
        }
        s.peaks[k] = std::max(std::max(peak[0], peak[1]), std::max(peak[2], peak[3]));
    }
}

template <class Format>
void convertChannels(const uint8_t* data, size_t frames, bool stereo, SampleData& s) {
    if (stereo)
        convert<Format, 2>(data, frames, s);
    else
        convert<Format, 1>(data, frames, s);
}

} // namespace

std::unique_ptr<SampleData> loadWave(const std::wstring& path) {
    std::vector<uint8_t> bytes = readWaveFile(path);
    return decodeWave(std::move(bytes), winpath::stem(path));
}

std::unique_ptr<SampleData> decodeWave(std::vector<uint8_t> bytes, std::wstring name) {
    const uint64_t size = bytes.size();
    const uint8_t* image = bytes.data();
    if (size < minWaveBytes || size > maxWaveBytes || !isId(image, "RIFF") ||
        !isId(image + 8, "WAVE"))
        refuse("Elige un archivo WAV RIFF valido");

    // Sizes and offsets in 64 bits: a RIFF or chunk size near 2^32 must not wrap.
    const uint64_t riff = le32(image + 4);
    if (riff < 4 || riff + 8 > size) refuse("El archivo WAV esta incompleto");
    if (riff < 12) refuse("Faltan datos de audio en el WAV");

    uint64_t fmtAt = 0, fmtSize = 0, dataAt = 0, dataSize = 0;
    bool haveFmt = false, haveData = false;
    int32_t rootNote = 60;
    bool hasRoot = false;
    for (uint64_t c = 12; c <= riff;) {
        const uint8_t* header = image + c;
        const uint64_t chunk = le32(header + 4);
        if (chunk > riff - c) refuse("El archivo WAV tiene un bloque incompleto");
        if (isId(header, "fmt ")) {
            fmtAt = c + 8;
            fmtSize = chunk;
            haveFmt = true;
        } else if (isId(header, "data")) {
            if (!haveData) {
                dataAt = c + 8;
                dataSize = chunk;
                haveData = true;
            }
        } else if (isId(header, "smpl") && chunk >= 36) {
            const uint32_t unity = le32(header + 8 + 12);
            if (unity < 128) {
                rootNote = int32_t(unity);
                hasRoot = true;
            }
        }
        c += 8 + chunk + (chunk & 1);
    }
    if (!haveFmt || fmtSize < 16 || !haveData) refuse("Faltan datos de audio en el WAV");

    const uint8_t* fmt = image + fmtAt;
    uint32_t tag = le16(fmt);
    const uint32_t channels = le16(fmt + 2);
    const uint32_t rate = le32(fmt + 4);
    const uint32_t align = le16(fmt + 12);
    const uint32_t bits = le16(fmt + 14);
    if (tag == 0xFFFE) {
        if (fmtSize < 40 || le16(fmt + 16) < 22 || std::memcmp(fmt + 28, guidTail, 12) != 0)
            refuse("Formato WAV extensible no compatible");
        tag = le32(fmt + 24);
    }

    const bool pcm = tag == 1 && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
    const bool ieee = tag == 3 && (bits == 32 || bits == 64);
    if (rate < 8000 || rate > 192000 || (channels != 1 && channels != 2) || !(pcm || ieee) ||
        align != channels * (bits / 8) || dataSize % align != 0)
        refuse("Usa WAV mono o estereo PCM de 8/16/24/32 bits, o float de 32/64 bits");

    const uint64_t frames = dataSize / align;
    if (frames < 2 || frames > 30 * uint64_t(rate))
        refuse("El one shot debe durar entre 2 muestras y 30 segundos");

    auto sample = std::make_unique<SampleData>();
    sample->name = std::move(name);
    sample->sampleRate = double(rate);
    sample->rootNote = rootNote;
    sample->hasRoot = hasRoot;
    sample->serial = 0;
    const bool stereo = channels == 2;
    reserveLarge(sample->left, frames);
    sample->left.resize(frames);
    if (stereo) {
        reserveLarge(sample->right, frames);
        sample->right.resize(frames);
    }

    const uint8_t* data = image + dataAt;
    if (pcm) {
        switch (bits) {
        case 8: convertChannels<Pcm8>(data, frames, stereo, *sample); break;
        case 16: convertChannels<Pcm16>(data, frames, stereo, *sample); break;
        case 24: convertChannels<Pcm24>(data, frames, stereo, *sample); break;
        default: convertChannels<Pcm32>(data, frames, stereo, *sample); break;
        }
    } else if (bits == 32) {
        convertChannels<Float32>(data, frames, stereo, *sample);
    } else {
        convertChannels<Float64>(data, frames, stereo, *sample);
    }

    sample->file = std::move(bytes);
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
