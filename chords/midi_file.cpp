// A finished take as a Standard MIDI File: format 0, one track, 960 ticks per
// quarter note. UI thread only; allocates freely.
#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "chords/midi_capture.hpp"
#include "chords/midi_numbers.hpp"

namespace tamso {

namespace {

constexpr double ticksPerBeat = 960.0;
constexpr double maxTick = 268435455.0; // the largest four-byte variable-length quantity
constexpr char trackName[] = "VELK - Acordes completos";
constexpr char tooLong[] = "Toma MIDI demasiado larga";

void putVlq(std::vector<uint8_t>& out, uint32_t value) {
    uint8_t groups[5];
    int n = 0;
    do {
        groups[n++] = static_cast<uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (n > 1)
        out.push_back(static_cast<uint8_t>(groups[--n] | 0x80));
    out.push_back(groups[0]);
}

void putBig32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

// Sort key with NaN last, so the comparison stays a strict weak order; such an
// entry is refused as too long when it is written.
double sortKey(double beats) {
    return std::isnan(beats) ? std::numeric_limits<double>::infinity() : beats;
}

// 60000000 / tempo microseconds per quarter note, for a tempo kept in 30..300 BPM.
uint32_t microsPerQuarter(double bpm) {
    if (!std::isfinite(bpm)) bpm = 120.0;
    bpm = std::clamp(bpm, 30.0, 300.0);
    return static_cast<uint32_t>(std::llround(60000000.0 / bpm));
}

} // namespace

std::vector<uint8_t> MidiCapture::midiFile() const {
    const int32_t taken = state.load(std::memory_order_acquire);
    if (taken != Finished && taken != Full) return {};
    const int32_t count = std::clamp(entryCount, int32_t{0}, capacity);
    if (count == 0) return {};

    double origin = 1e30;
    std::vector<CapturedNote> list;
    list.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        const CapturedNote& e = entries[i];
        if (e.on && e.beats < origin) origin = e.beats;
        if (e.track == 1) list.push_back(e);
    }
    if (list.empty() || origin == 1e30) return {};

    // Stable: at one position a note-on captured before a note-off stays first.
    std::stable_sort(list.begin(), list.end(), [](const CapturedNote& a, const CapturedNote& b) {
        return sortKey(a.beats) < sortKey(b.beats);
    });

    std::vector<uint8_t> track;
    track.reserve(list.size() * 5 + 48);
    track.insert(track.end(), {0x00, 0xFF, 0x03});
    putVlq(track, sizeof trackName - 1);
    track.insert(track.end(), trackName, trackName + sizeof trackName - 1);
    const uint32_t tempo = microsPerQuarter(takeTempo);
    track.insert(track.end(), {0x00, 0xFF, 0x51, 0x03, static_cast<uint8_t>(tempo >> 16),
                               static_cast<uint8_t>(tempo >> 8), static_cast<uint8_t>(tempo)});

    std::vector<uint32_t> onTicks(16 * 128, 0);
    uint32_t previous = 0;
    for (const CapturedNote& e : list) {
        const double x = std::max(e.beats - origin, 0.0) * ticksPerBeat;
        if (!(x <= maxTick)) // NaN fails too
            throw std::runtime_error(tooLong);
        uint32_t tick = std::max(static_cast<uint32_t>(std::round(x)), previous);
        const uint8_t channel = e.channel & midi::channelBits;
        const uint8_t note = e.note & 0x7F;
        uint32_t& onTick = onTicks[channel * 128u + note];
        if (e.on)
            onTick = tick;
        else
            tick = std::max(tick, onTick + 1); // a note-off never lands on its note-on
        putVlq(track, tick - previous);
        track.push_back(static_cast<uint8_t>((e.on ? midi::noteOn : midi::noteOff) | channel));
        track.push_back(note);
        track.push_back(e.velocity & 0x7F);
        previous = tick;
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});

    std::vector<uint8_t> file{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x03, 0xC0, 'M', 'T', 'r', 'k'};
    file.reserve(file.size() + 4 + track.size());
    putBig32(file, static_cast<uint32_t>(track.size()));
    file.insert(file.end(), track.begin(), track.end());
    return file;
}

} // namespace tamso
