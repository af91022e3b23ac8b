#include "tests/support/smf_reader.hpp"

#include <cstring>

namespace velktest {

namespace {

struct Cursor {
    const std::vector<uint8_t>& bytes;
    size_t at;
    size_t end;

    bool has(size_t n) const { return end - at >= n; }
    uint8_t next() { return bytes[at++]; }
    // A variable-length quantity of at most four bytes.
    bool vlq(uint32_t& value) {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            if (!has(1)) return false;
            const uint8_t b = next();
            value = (value << 7) | (b & 0x7F);
            if (!(b & 0x80)) return true;
        }
        return false;
    }
};

uint32_t big32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}

} // namespace

std::string readSmf(const std::vector<uint8_t>& bytes, Smf& out) {
    out = Smf{};
    static const uint8_t header[] = {'M', 'T', 'h', 'd',  0,    0,   0,   6,   0,
                                     0,   0,   1,   0x03, 0xC0, 'M', 'T', 'r', 'k'};
    if (bytes.size() < 22 || std::memcmp(bytes.data(), header, sizeof header) != 0)
        return "header is not format 0, one track, 960 ticks";
    if (big32(bytes, 18) != bytes.size() - 22) return "track length does not match the file";

    Cursor c{bytes, 22, bytes.size()};
    uint32_t delta = 0;
    // Track name and tempo, both at delta 0.
    if (!c.vlq(delta) || delta != 0 || !c.has(3) || c.next() != 0xFF || c.next() != 0x03)
        return "no track name first";
    uint32_t length = 0;
    if (!c.vlq(length) || !c.has(length)) return "bad track name length";
    out.name.assign(bytes.begin() + static_cast<long>(c.at),
                    bytes.begin() + static_cast<long>(c.at + length));
    c.at += length;
    if (!c.vlq(delta) || delta != 0 || !c.has(6) || c.next() != 0xFF || c.next() != 0x51 || c.next() != 0x03)
        return "no tempo after the name";
    out.tempo = uint32_t{c.next()} << 16;
    out.tempo |= uint32_t{c.next()} << 8;
    out.tempo |= c.next();

    uint32_t tick = 0;
    for (;;) {
        if (!c.vlq(delta)) return "bad delta time";
        if (!c.has(1)) return "track ends inside an event";
        const uint8_t status = c.next();
        if (status == 0xFF) {
            if (!c.has(2) || c.next() != 0x2F || c.next() != 0x00 || delta != 0)
                return "unexpected meta event";
            if (c.at != c.end) return "data after the end of track";
            return {};
        }
        if (status < 0x80) return "running status or stray data byte";
        const uint8_t kind = status & 0xF0;
        if (kind != 0x80 && kind != 0x90) return "event other than a note";
        if (!c.has(2)) return "note event cut short";
        const uint8_t note = c.next();
        const uint8_t velocity = c.next();
        if (note > 127 || velocity > 127) return "data byte above 127";
        tick += delta;
        out.deltas.push_back(delta);
        out.notes.push_back({tick, kind == 0x90, note, status & 0x0F, velocity});
    }
}

} // namespace velktest
