#pragma once
// The voice engine: held keys, 128 per-note voices and the display fields the
// editor reads. Audio thread only, except the display fields (relaxed atomics,
// read by the editor at every repaint) and `sampleRate` (set by the host's
// sample-rate call).
#include <atomic>
#include <cstdint>

#include "chords/chord.hpp"
#include "plugin/host/parameters.hpp"
#include "plugin/media/sample_data.hpp"

namespace palmtone {

struct HeldKey {
    bool down = false;   // a note-on was taken and no note-off since
    bool active = false; // the chord counts in noteRefCount (also while sustained)
    int32_t velocity = 100;
    tamso::Chord chord = tamso::emptyChord();

    void free() noexcept { *this = HeldKey{}; }
};

struct Engine {
    static constexpr int voices = 128;

    HeldKey heldKeys[16][128];
    bool sustain[16] = {};
    int32_t noteRefCount[voices] = {};
    int32_t velocity[voices] = {};
    bool gate[voices] = {};
    double phase[voices] = {};
    double envelope[voices] = {};
    double age[voices] = {};
    double frequency[voices] = {};
    std::atomic<double> sampleRate{48000.0};
    double gain = 0.65;
    Settings lastSettings{};
    bool lastSettingsValid = false;
    const SampleData* sample = nullptr; // borrowed for the block; compared only between blocks
    int64_t sampleSerial = 0;
    bool lastUseWave = false;
    double position[voices] = {};
    bool sampleActive[voices] = {};

    // --- the renderer's own state, carried from call to call so that a block
    // rendered in any partition gives the same samples ---
    double oscSin[voices] = {};   // sin(phase), advanced by rotation each audible frame
    double oscCos[voices] = {};   // cos(phase)
    double oscFade2[voices] = {}; // 0.5 exp(-2 age): the second partial's level
    double oscLevel[voices] = {}; // 0.55 exp(-1.2 age): the level's fall
    double stepCos[voices] = {};  // the rotation per frame at renderRate
    double stepSin[voices] = {};
    double renderRate = 0.0; // the rate the steps were made for; 0 before the first call
    double glideFrom = 0.65; // the volume glide: gain = glideTo + (glideFrom - glideTo) 0.999^glideSteps
    double glideTo = 0.65;
    int64_t glideSteps = 0;
    // The renderer's working buffers for one chunk of frames (here rather than
    // on the audio thread's stack); the last whole vector may run past the chunk.
    static constexpr int chunkFrames = 512;
    static constexpr int maxLanes = 4;
    double laneLeft[chunkFrames + maxLanes][maxLanes] = {}; // per-lane sums of the synth voices
    double laneRight[chunkFrames + maxLanes][maxLanes] = {};
    double mixLeft[chunkFrames + maxLanes] = {}; // every voice, before the gain
    double mixRight[chunkFrames + maxLanes] = {};
    double mixGain[chunkFrames + maxLanes] = {};

    // --- display fields: written by the audio thread, read by the editor ---
    std::atomic<bool> soundingNotes[voices] = {};
    std::atomic<int32_t> soundingCount{0};
    std::atomic<int32_t> lastChordRoot{-1};
    std::atomic<float> peak{0.0f};

    // Overwrites `frames` samples of each non-null buffer and advances every voice.
    void render(float* left, float* right, int32_t frames, const Settings& settings) noexcept;

    // A note starts sounding (note evaluation): its age and one-shot restart.
    void startNote(int note) noexcept;
};

// Equal-tempered frequency of MIDI note n (69 = 440 Hz).
double noteFrequency(int note) noexcept;

} // namespace palmtone
