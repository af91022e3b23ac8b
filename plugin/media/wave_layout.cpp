#include "plugin/media/wave_layout.hpp"

#include <cstring>
#include <stdexcept>

#include "plugin/media/wave.hpp"

namespace palmtone {

namespace {

constexpr char noAudioData[] = "Faltan datos de audio en el WAV";

[[noreturn]] void refuse(const char* message) {
    throw std::runtime_error(message);
}

uint32_t le16(const uint8_t* p) noexcept {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}

uint32_t le32(const uint8_t* p) noexcept {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool isId(const uint8_t* p, const char* id) noexcept {
    return std::memcmp(p, id, 4) == 0;
}

// The tail shared by the standard PCM and IEEE-float sub-format GUIDs.
constexpr uint8_t guidTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

} // namespace

WaveLayout parseWave(const uint8_t* image, size_t size) {
    if (size < minWaveBytes || size > maxWaveBytes || !isId(image, "RIFF") || !isId(image + 8, "WAVE"))
        refuse("Elige un archivo WAV RIFF valido");

    // Sizes and offsets in 64 bits: a RIFF or chunk size near 2^32 must not wrap.
    const uint64_t riff = le32(image + 4);
    if (riff < 4 || riff + 8 > size) refuse("El archivo WAV esta incompleto");
    if (riff < 12) refuse(noAudioData);

    uint64_t fmtAt = 0, fmtSize = 0, dataAt = 0, dataSize = 0;
    bool haveFmt = false, haveData = false;
    WaveLayout layout{};
    layout.rootNote = 60;
    layout.hasRoot = false;
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
                layout.rootNote = int32_t(unity);
                layout.hasRoot = true;
            }
        }
        c += 8 + chunk + (chunk & 1);
    }
    if (!haveFmt || fmtSize < 16 || !haveData) refuse(noAudioData);

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

    using wavekernel::Format;
    if (pcm)
        layout.format = bits == 8    ? Format::pcm8
                        : bits == 16 ? Format::pcm16
                        : bits == 24 ? Format::pcm24
                                     : Format::pcm32;
    else
        layout.format = bits == 32 ? Format::float32 : Format::float64;
    layout.channels = int(channels);
    layout.rate = rate;
    layout.dataAt = size_t(dataAt);
    layout.frames = size_t(frames);
    layout.frameBytes = align;
    return layout;
}

} // namespace palmtone
