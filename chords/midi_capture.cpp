// The take recorder's audio-thread side: no allocation, no lock, no system call.
#include "chords/midi_capture.hpp"

#include <algorithm>
#include <cmath>

namespace tamso {

static_assert(std::atomic<int32_t>::is_always_lock_free, "the take state must be lock-free");
static_assert(std::atomic<double>::is_always_lock_free, "the take clock must be lock-free");

namespace {

// Indexed by TakeState; a state a stop does not affect maps to itself.
constexpr TakeState stopTargets[] = {
    Idle,          // Idle
    Idle,          // StartRequested: the start is withdrawn
    StopRequested, // Recording
    StopRequested, // StopRequested
    Finished,      // Finished
    Full,          // Full
    StopRequested, // PauseRequested
    Finished,      // Paused: nothing left to close
    StopRequested, // ResumeRequested
};

// Never lets a NaN or infinite tempo into the beat arithmetic.
double clampTempo(double bpm) noexcept {
    if (!std::isfinite(bpm)) bpm = 120.0;
    return std::clamp(bpm, 30.0, 300.0);
}

// A rate that is not a positive finite number stops the clock instead of
// poisoning it with NaN or infinity.
double beatsPerSampleAt(double sampleRate, double bpm) noexcept {
    if (!std::isfinite(sampleRate) || !(sampleRate > 0.0)) return 0.0;
    const double perSample = clampTempo(bpm) / (60.0 * sampleRate);
    return std::isfinite(perSample) ? perSample : 0.0;
}

} // namespace

TakeState stopTransition(int32_t from) noexcept {
    if (from < 0 || from >= static_cast<int32_t>(sizeof stopTargets / sizeof stopTargets[0]))
        return static_cast<TakeState>(from);
    return stopTargets[from];
}

void applyStopTransition(std::atomic<int32_t>& state) noexcept {
    int32_t seen = state.load();
    for (;;) {
        const TakeState target = stopTransition(seen);
        if (target == seen) return;
        if (state.compare_exchange_weak(seen, target)) return;
    }
}

bool applyStartTransition(std::atomic<int32_t>& state) noexcept {
    int32_t seen = state.load();
    while (seen == Idle || seen == Finished || seen == Full) {
        if (state.compare_exchange_weak(seen, StartRequested)) return true;
    }
    return false;
}

bool applyPauseTransition(std::atomic<int32_t>& state) noexcept {
    int32_t expected = Recording;
    return state.compare_exchange_strong(expected, PauseRequested);
}

bool applyResumeTransition(std::atomic<int32_t>& state) noexcept {
    int32_t expected = Paused;
    return state.compare_exchange_strong(expected, ResumeRequested);
}

void MidiCapture::closeOpen() noexcept {
    const double t = std::max(lastBeats, blockBeats);
    blockBeats = t;
    for (int note = 0; note < 128; ++note) {
        if (!held[note].on) continue;
        // The limit keeps 256 entries free for these; the check only guards memory.
        if (entryCount < capacity) {
            CapturedNote& e = entries[entryCount++];
            e.beats = t;
            e.track = 1;
            e.note = static_cast<uint8_t>(note);
            e.channel = held[note].channel;
            e.velocity = 0;
            e.on = false;
        }
        lastBeats = std::max(lastBeats, t);
        held[note].on = 0;
    }
    recording = false;
    endBeats.store(t, std::memory_order_relaxed);
}

bool MidiCapture::beginBlock(double sampleRate, double tempo, int32_t offset) noexcept {
    startOffset = std::max(offset, int32_t{0});
    beatsPerSample = beatsPerSampleAt(sampleRate, tempo);

    int32_t seen = StartRequested;
    if (state.compare_exchange_strong(seen, Recording)) {
        entryCount = 0;
        noteCounter = 0;
        lastBeats = 0.0;
        blockBeats = 0.0;
        for (Held& h : held)
            h = Held{};
        publishedNotes.store(0);
        endBeats.store(0.0);
        takeTempo = clampTempo(tempo);
        recording = true;
        return true;
    }

    switch (seen) {
    case ResumeRequested:
        if (state.compare_exchange_strong(seen, Recording)) {
            recording = true; // same take: the clock goes on where the pause left it
            return true;
        }
        // Only a stop moves ResumeRequested, so the take ends here.
        state.store(Finished, std::memory_order_release);
        break;
    case PauseRequested:
        closeOpen();
        // A compare-and-swap, because a stop may have replaced the pause meanwhile;
        // a stop that won ends the take instead of being lost in Paused.
        if (!state.compare_exchange_strong(seen, Paused)) state.store(Finished, std::memory_order_release);
        break;
    case StopRequested:
        if (recording) closeOpen();
        state.store(Finished, std::memory_order_release);
        break;
    default: break;
    }
    return false;
}

void MidiCapture::add(int32_t offset, int32_t note, bool on, int32_t channel, int32_t velocity) noexcept {
    if (!recording || note < 0 || note > 127) return;
    const int64_t rel = int64_t{offset} - startOffset;
    if (rel < 0) return;
    if (entryCount >= limit) {
        closeOpen();
        state.store(Full, std::memory_order_release);
        return;
    }
    Held& h = held[note];
    if ((h.on != 0) == on) return;

    const double beats = static_cast<double>(rel) * beatsPerSample + blockBeats;
    const uint8_t ch = on ? static_cast<uint8_t>(std::clamp(channel, 1, 16) - 1) : h.channel;
    CapturedNote& e = entries[entryCount++];
    e.beats = beats;
    e.track = 1;
    e.note = static_cast<uint8_t>(note);
    e.channel = ch;
    e.velocity = on ? static_cast<uint8_t>(std::clamp(velocity, 1, 127)) : uint8_t{0};
    e.on = on;
    lastBeats = std::max(lastBeats, beats);
    if (on) {
        ++noteCounter;
        publishedNotes.store(noteCounter, std::memory_order_relaxed);
    }
    h.on = on ? 1 : 0;
    h.channel = ch;
}

void MidiCapture::endBlock(int32_t frames) noexcept {
    if (!recording) return; // a pause adds no time to the take
    const int64_t counted = std::max(int64_t{frames} - startOffset, int64_t{0});
    blockBeats += static_cast<double>(counted) * beatsPerSample;
    endBeats.store(blockBeats, std::memory_order_relaxed);
    if (state.load() == StopRequested) {
        closeOpen();
        state.store(Finished, std::memory_order_release);
    }
}

void MidiCapture::suspend() noexcept {
    if (recording) {
        closeOpen();
        state.store(Finished, std::memory_order_release);
        return;
    }
    // The editor may still move the state, hence the loop. A stop that waits for a
    // block (ResumeRequested stopped) would otherwise stay pending for ever.
    int32_t seen = state.load();
    for (;;) {
        int32_t target = seen;
        if (seen == StartRequested)
            target = Idle;
        else if (seen == Paused || seen == ResumeRequested || seen == StopRequested)
            target = Finished;
        if (target == seen) return;
        if (state.compare_exchange_weak(seen, target)) return;
    }
}

} // namespace tamso
