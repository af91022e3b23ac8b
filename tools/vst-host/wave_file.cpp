#include "tools/vst-host/wave_file.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace vsthost {

namespace {

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void putTag(std::vector<uint8_t>& out, const char* tag) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(tag[i]));
}

} // namespace

std::vector<uint8_t> encodeWave(const std::vector<float>& left, const std::vector<float>& right,
                                uint32_t sampleRate, WaveFormat format) {
    if (!right.empty() && right.size() != left.size())
        throw std::invalid_argument("channels of different length");
    const uint32_t channels = right.empty() ? 1 : 2;
    const uint32_t bytes = format == WaveFormat::pcm16 ? 2 : 4;
    const uint32_t dataSize = static_cast<uint32_t>(left.size()) * channels * bytes;

    // Float files carry the extension size field and a "fact" chunk, as the
    // format requires for anything but integer PCM.
    const bool pcm = format == WaveFormat::pcm16;
    const uint32_t fmtSize = pcm ? 16 : 18;
    const uint32_t header = 12 + 8 + fmtSize + (pcm ? 0 : 12) + 8;

    std::vector<uint8_t> out;
    out.reserve(header + dataSize);
    putTag(out, "RIFF");
    put32(out, header - 8 + dataSize);
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    put32(out, fmtSize);
    put16(out, pcm ? 1 : 3);
    put16(out, channels);
    put32(out, sampleRate);
    put32(out, sampleRate * channels * bytes);
    put16(out, channels * bytes);
    put16(out, bytes * 8);
    if (!pcm) {
        put16(out, 0);
        putTag(out, "fact");
        put32(out, 4);
        put32(out, static_cast<uint32_t>(left.size()));
    }
    putTag(out, "data");
    put32(out, dataSize);
    for (size_t i = 0; i < left.size(); ++i) {
        for (uint32_t c = 0; c < channels; ++c) {
            const float v = c == 0 ? left[i] : right[i];
            if (format == WaveFormat::pcm16) {
                const double x = std::isfinite(v) ? std::clamp(static_cast<double>(v), -1.0, 1.0) : 0.0;
                put16(out, static_cast<uint16_t>(static_cast<int16_t>(std::lrint(x * 32767.0))));
            } else {
                uint32_t word;
                std::memcpy(&word, &v, sizeof word);
                put32(out, word);
            }
        }
    }
    return out;
}

void writeFile(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (!file) throw std::runtime_error("cannot create the output file");
    const size_t written = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), file);
    const bool closed = std::fclose(file) == 0;
    if (written != bytes.size() || !closed) throw std::runtime_error("cannot write the output file");
}

} // namespace vsthost
