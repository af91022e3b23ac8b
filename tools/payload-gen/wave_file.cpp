#include "tools/payload-gen/wave_file.hpp"

namespace payload {

namespace {
void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void putId(std::vector<uint8_t>& out, const char (&id)[5]) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(id[i]));
}
} // namespace

std::vector<uint8_t> waveFile(const std::vector<int16_t>& samples) {
    const uint32_t dataBytes = static_cast<uint32_t>(2 * samples.size());
    std::vector<uint8_t> out;
    out.reserve(88 + dataBytes);
    putId(out, "RIFF");
    put32(out, 80 + dataBytes); // file size minus 8
    putId(out, "WAVE");

    putId(out, "fmt ");
    put32(out, 16);
    put16(out, 1); // PCM
    put16(out, 1); // mono
    put32(out, sampleRate);
    put32(out, sampleRate * 2);
    put16(out, 2);
    put16(out, 16);

    putId(out, "smpl");
    put32(out, 36);
    put32(out, 0);                       // manufacturer
    put32(out, 0);                       // product
    put32(out, 1000000000 / sampleRate); // sample period in ns: 20833
    put32(out, unityNote);
    put32(out, 0); // pitch fraction
    put32(out, 0); // SMPTE format
    put32(out, 0); // SMPTE offset
    put32(out, 0); // loops
    put32(out, 0); // sampler data

    putId(out, "data");
    put32(out, dataBytes);
    for (int16_t s : samples)
        put16(out, static_cast<uint16_t>(s));
    return out;
}

} // namespace payload
