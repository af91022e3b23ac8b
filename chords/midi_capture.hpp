#pragma once
// The take recorder. The audio thread writes it block by block in fixed memory,
// without locks; the editor moves `state` by compare-and-swap only and reads the
// entries only while the take is Finished or Full.
#include <atomic>
#include <cstdint>
#include <vector>

namespace tamso {

enum TakeState : int32_t {
    Idle = 0,
    StartRequested = 1,
    Recording = 2,
    StopRequested = 3,
    Finished = 4,
    Full = 5,
    PauseRequested = 6,
    Paused = 7,
    ResumeRequested = 8,
};

// The state a stop request moves `from` to; states a stop does not affect map to themselves.
TakeState stopTransition(int32_t from) noexcept;

// Applies stopTransition to `state` by a compare-and-swap loop (editor and audio thread).
void applyStopTransition(std::atomic<int32_t>& state) noexcept;

// Audio thread, where the count-in ends: Idle, Finished or Full become StartRequested,
// by a compare-and-swap loop while the state is one of those three. True when it
// moved; the caller then starts the take with beginBlock at that sample.
bool applyStartTransition(std::atomic<int32_t>& state) noexcept;

// Editor: Recording becomes PauseRequested, by one compare-and-swap that is not
// retried (a failure means the audio thread moved the take first). True when it moved.
bool applyPauseTransition(std::atomic<int32_t>& state) noexcept;

// Editor: Paused becomes ResumeRequested, like the pause. True when it moved.
bool applyResumeTransition(std::atomic<int32_t>& state) noexcept;

struct CapturedNote {
    double beats = 0.0;   // quarter-note beats from the take's start
    uint8_t track = 0;    // 1 for every entry (the chord-notes track)
    uint8_t note = 0;     // 0..127
    uint8_t channel = 0;  // 0..15
    uint8_t velocity = 0; // 1..127 for a note-on, 0 for a note-off
    bool on = false;
};

struct MidiCapture {
    static constexpr int32_t capacity = 32768;
    static constexpr int32_t limit = capacity - 256; // room for the closing note-offs

    struct Held {
        uint8_t on = 0;
        uint8_t channel = 0;
    };

    // --- audio thread writes; the editor reads only in Finished or Full ---
    CapturedNote entries[capacity];
    Held held[128];

    // --- shared: the editor writes only by compare-and-swap; loads are acquire ---
    std::atomic<int32_t> state{Idle};
    std::atomic<int32_t> publishedNotes{0}; // note-ons in the take, for display
    std::atomic<double> endBeats{0.0};      // the take clock, for display

    // --- audio thread only ---
    int32_t entryCount = 0;
    int32_t noteCounter = 0;
    int32_t startOffset = 0;
    double blockBeats = 0.0;
    double beatsPerSample = 0.0;
    double takeTempo = 120.0;
    double lastBeats = 0.0;
    bool recording = false;

    // Audio thread, at every block start (offset 0) and where the count-in ends.
    // Returns true when this call started a new take or resumed a paused one: the
    // caller then enters every sounding note as a note-on at `offset`.
    bool beginBlock(double sampleRate, double tempo, int32_t offset) noexcept;
    // Audio thread, for every note whose sounding state changes; channel is 1..16.
    void add(int32_t offset, int32_t note, bool on, int32_t channel, int32_t velocity) noexcept;
    // Audio thread, once per block after all events.
    void endBlock(int32_t frames) noexcept;
    // The host's suspend, after the released notes were recorded.
    void suspend() noexcept;

    // UI thread: the take as a Standard MIDI File; empty when there is nothing to
    // export. Throws std::runtime_error("Toma MIDI demasiado larga").
    std::vector<uint8_t> midiFile() const;

  private:
    void closeOpen() noexcept;
};

} // namespace tamso
