#pragma once
// Drives a take the way block processing and the editor do, at 10240 Hz and
// 150 BPM: 1/4096 beat per sample, so every position is an exact binary value.
// In a namespace of its own: its on() and off() write take entries, where
// velktest's write MIDI messages.
#include <memory>
#include <ostream>
#include <vector>

#include "chords/midi_capture.hpp"

namespace velktest::script {

constexpr double rate = 10240.0;
constexpr double bpm = 150.0;

// The position of sample `n` of the take, in beats.
constexpr double at(double n) {
    return n / 4096.0;
}

struct Entry {
    double beats;
    int note;
    int channel;
    int velocity;
    bool on;
    bool operator==(const Entry& o) const {
        return beats == o.beats && note == o.note && channel == o.channel && velocity == o.velocity &&
               on == o.on;
    }
};

inline void PrintTo(const Entry& e, std::ostream* os) {
    *os << (e.on ? "on " : "off ") << e.note << " @" << e.beats * 4096.0 << "/4096 ch " << e.channel
        << " vel " << e.velocity;
}

inline Entry on(double samples, int note, int channel = 0, int velocity = 100) {
    return {at(samples), note, channel, velocity, true};
}
inline Entry off(double samples, int note, int channel = 0) {
    return {at(samples), note, channel, 0, false};
}

struct Take {
    // About 530 KB: never on the stack.
    std::unique_ptr<tamso::MidiCapture> cap = std::make_unique<tamso::MidiCapture>();
    double sampleRate = rate;
    double tempo = bpm;

    // Block start (offset 0) of block processing.
    bool begin() { return cap->beginBlock(sampleRate, tempo, 0); }
    // The count-in ends at `offset`: Idle, Finished or Full become StartRequested.
    bool startAt(int32_t offset) {
        return tamso::applyStartTransition(cap->state) && cap->beginBlock(sampleRate, tempo, offset);
    }
    void noteOn(int32_t offset, int note, int channel = 1, int velocity = 100) {
        cap->add(offset, note, true, channel, velocity);
    }
    void noteOff(int32_t offset, int note) { cap->add(offset, note, false, 1, 0); }
    void end(int32_t frames = 512) { cap->endBlock(frames); }

    // The editor's moves.
    bool pause() { return tamso::applyPauseTransition(cap->state); }
    bool resume() { return tamso::applyResumeTransition(cap->state); }
    void stop() { tamso::applyStopTransition(cap->state); }

    int32_t state() const { return cap->state.load(std::memory_order_acquire); }
    std::vector<Entry> entries() const {
        std::vector<Entry> list;
        for (int32_t i = 0; i < cap->entryCount; ++i) {
            const tamso::CapturedNote& e = cap->entries[i];
            list.push_back({e.beats, e.note, e.channel, e.velocity, e.on});
        }
        return list;
    }
};

} // namespace velktest::script
