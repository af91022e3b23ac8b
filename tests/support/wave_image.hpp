#pragma once
// WAV images built byte by byte, for the tests and fuzz targets that need files
// no tool writes: little-endian fields, "fmt " and "smpl" payloads, and the RIFF
// image of a list of chunks.
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

namespace velktest {

// --- little-endian byte building ---
using Bytes = std::vector<uint8_t>;

inline void put16(Bytes& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
inline void put32(Bytes& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
// Byte by byte: mingw's g++ 12 takes a four-byte range insert for an overflow.
inline void putId(Bytes& b, const char* id) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(id[i]));
}
inline void putF32(Bytes& b, float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    put32(b, u);
}
inline void putF64(Bytes& b, double d) {
    uint64_t u;
    std::memcpy(&u, &d, 8);
    put32(b, uint32_t(u));
    put32(b, uint32_t(u >> 32));
}

// A "fmt " payload of 16 bytes; align defaults to channels * bits / 8.
inline Bytes fmtData(uint32_t tag, uint32_t channels, uint32_t rate, uint32_t bits, int align = -1) {
    Bytes b;
    const uint32_t a = align < 0 ? channels * (bits / 8) : uint32_t(align);
    put16(b, tag);
    put16(b, channels);
    put32(b, rate);
    put32(b, rate * a);
    put16(b, a);
    put16(b, bits);
    return b;
}

constexpr uint8_t standardTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// The 40-byte extensible payload.
inline Bytes extensibleFmtData(uint32_t code, uint32_t channels, uint32_t rate, uint32_t bits,
                               uint32_t extension = 22, const uint8_t* tail = standardTail) {
    Bytes b = fmtData(0xFFFE, channels, rate, bits);
    put16(b, extension);
    put16(b, bits);
    put32(b, channels == 2 ? 3 : 4);
    put32(b, code);
    b.insert(b.end(), tail, tail + 12);
    return b;
}

inline Bytes smplData(uint32_t unity, size_t size = 36) {
    Bytes b(size, 0);
    if (size >= 16) {
        b[12] = uint8_t(unity);
        b[13] = uint8_t(unity >> 8);
        b[14] = uint8_t(unity >> 16);
        b[15] = uint8_t(unity >> 24);
    }
    return b;
}

struct Chunk {
    const char* id;
    Bytes data;
    bool pad = true; // write the pad byte after odd-sized data
};

// RIFF/WAVE image of the chunks; the RIFF size covers them exactly unless given.
inline Bytes riff(std::initializer_list<Chunk> chunks, int64_t riffSize = -1) {
    Bytes b;
    putId(b, "RIFF");
    put32(b, 0);
    putId(b, "WAVE");
    for (const Chunk& c : chunks) {
        putId(b, c.id);
        put32(b, uint32_t(c.data.size()));
        b.insert(b.end(), c.data.begin(), c.data.end());
        if (c.pad && (c.data.size() & 1)) b.push_back(0);
    }
    const uint32_t size = riffSize < 0 ? uint32_t(b.size() - 8) : uint32_t(riffSize);
    b[4] = uint8_t(size);
    b[5] = uint8_t(size >> 8);
    b[6] = uint8_t(size >> 16);
    b[7] = uint8_t(size >> 24);
    return b;
}

// 16-bit mono at 48000 Hz with the given samples.
inline Bytes pcm16Mono(std::initializer_list<int16_t> samples, uint32_t rate = 48000) {
    Bytes data;
    for (int16_t s : samples)
        put16(data, uint16_t(s));
    return riff({{"fmt ", fmtData(1, 1, rate, 16)}, {"data", data}});
}

} // namespace velktest
