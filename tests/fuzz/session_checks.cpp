#include "session_checks.hpp"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fuzztest {

void fail(const char* what) {
    std::fprintf(stderr, "session check failed: %s\n", what);
    std::abort();
}

void checkBlockOutput(const float* left, const float* right, int32_t written, int32_t guard, float canary) {
    for (int32_t i = 0; i < written; ++i) {
        require(std::isfinite(left[i]) && std::isfinite(right[i]), "output not finite");
        require(std::fabs(left[i]) <= 1.0f && std::fabs(right[i]) <= 1.0f, "output outside -1..1");
    }
    for (int32_t i = written; i < written + guard; ++i)
        require(left[i] == canary && right[i] == canary, "output written past the block");
}

void MidiOutputCheck::beginBlock(int32_t frames) noexcept {
    inBlock_ = true;
    frames_ = frames;
    last_ = 0;
}

void MidiOutputCheck::endBlock() noexcept {
    inBlock_ = false;
}

void MidiOutputCheck::list(const vst2::HostEventList* list) {
    require(list != nullptr, "null output event list");
    require(list->numEvents >= 0 && list->numEvents <= 512, "output event count outside 0..512");
    // The list is longer than its declared type: the pointers are read by offset.
    const auto* events = reinterpret_cast<const vst2::MidiEvent* const*>(
        reinterpret_cast<const char*>(list) + offsetof(vst2::HostEventList, events));
    for (int32_t i = 0; i < list->numEvents; ++i) {
        const vst2::MidiEvent* e = events[i];
        require(e != nullptr, "null output event");
        require(e->type == vst2::midiEventType && e->byteSize == 24,
                "output event not a 24-byte MIDI record");
        const int kind = e->midiData[0] & 0xF0, channel = e->midiData[0] & 0x0F;
        const int note = e->midiData[1], velocity = e->midiData[2];
        require(kind == 0x80 || kind == 0x90, "output event neither note-on nor note-off");
        require(note <= 127 && velocity <= 127, "output data byte above 127");
        if (inBlock_) {
            require(e->deltaFrames >= 0 && e->deltaFrames < frames_, "output event outside its block");
            require(e->deltaFrames >= last_, "output events out of order");
            last_ = e->deltaFrames;
        } else {
            require(e->deltaFrames == 0, "output event outside a block at an offset");
        }
        if (kind == 0x90) {
            require(velocity >= 1, "output note-on with velocity 0");
            require(!on_[channel][note], "output note-on for a note already on");
            on_[channel][note] = true;
        } else {
            require(velocity == 0, "output note-off velocity not 0");
            require(on_[channel][note], "output note-off for a note not on");
            on_[channel][note] = false;
        }
    }
}

bool MidiOutputCheck::anyOn() const noexcept {
    for (const auto& channel : on_)
        for (bool n : channel)
            if (n) return true;
    return false;
}

void checkMidiFile(const std::vector<uint8_t>& f) {
    static const uint8_t header[] = {'M', 'T', 'h', 'd',  0,    0,   0,   6,   0,
                                     0,   0,   1,   0x03, 0xC0, 'M', 'T', 'r', 'k'};
    static const char name[] = "VELK - Acordes completos";
    require(f.size() >= 22 + 4 + 24 + 7 + 4, "MIDI file too short");
    require(std::memcmp(f.data(), header, sizeof header) == 0, "MIDI file header");
    const uint32_t length = uint32_t(f[18]) << 24 | uint32_t(f[19]) << 16 | uint32_t(f[20]) << 8 | f[21];
    require(length == f.size() - 22, "MIDI track length");
    size_t at = 22;
    require(f[at] == 0 && f[at + 1] == 0xFF && f[at + 2] == 0x03 && f[at + 3] == 24, "MIDI track name event");
    require(std::memcmp(&f[at + 4], name, 24) == 0, "MIDI track name");
    at += 28;
    require(f[at] == 0 && f[at + 1] == 0xFF && f[at + 2] == 0x51 && f[at + 3] == 3, "MIDI tempo event");
    const uint32_t micros = uint32_t(f[at + 4]) << 16 | uint32_t(f[at + 5]) << 8 | f[at + 6];
    require(micros >= 200000 && micros <= 2000000, "MIDI tempo outside 30..300 BPM");
    at += 7;

    int channelOf[128];
    bool on[128] = {};
    int noteOns = 0;
    for (;;) {
        // The delta: 1 to 4 bytes, bit 7 set on all but the last.
        int used = 0;
        while (true) {
            require(at < f.size(), "MIDI file ends inside a delta");
            require(++used <= 4, "MIDI delta longer than 4 bytes");
            if (!(f[at++] & 0x80)) break;
        }
        require(at < f.size(), "MIDI file ends before an event");
        if (f[at] == 0xFF) {
            require(at + 3 == f.size() && f[at + 1] == 0x2F && f[at + 2] == 0x00,
                    "MIDI file does not end with end of track");
            break;
        }
        require(at + 3 <= f.size(), "MIDI file ends inside an event");
        const int kind = f[at] & 0xF0, channel = f[at] & 0x0F, note = f[at + 1], velocity = f[at + 2];
        at += 3;
        require(kind == 0x80 || kind == 0x90, "MIDI event neither note-on nor note-off");
        require(note <= 127 && velocity <= 127, "MIDI data byte above 127");
        if (kind == 0x90) {
            require(velocity >= 1, "MIDI note-on with velocity 0");
            require(!on[note], "MIDI note-on for a note already on");
            on[note] = true;
            channelOf[note] = channel;
            ++noteOns;
        } else {
            require(velocity == 0, "MIDI note-off velocity not 0");
            require(on[note] && channelOf[note] == channel, "MIDI note-off for a note not on");
            on[note] = false;
        }
    }
    require(noteOns >= 1, "MIDI file without a note-on");
    for (bool n : on)
        require(!n, "MIDI note left on at the end of the take");
}

} // namespace fuzztest
