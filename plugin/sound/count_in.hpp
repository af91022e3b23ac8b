#pragma once
// The three-second count-in before a take, with its clicks. The editor and the
// audio thread meet through `request`, `active` and `secondsLeft` only.
#include <atomic>
#include <cstdint>

namespace palmtone {

// The count-in's click: a sine at its pitch, decaying from its level, cut off
// after its length.
namespace countInClick {
constexpr double lengthSeconds = 0.018;
constexpr double decaySeconds = 0.0035; // the decay's time constant
constexpr double level = 0.12;
constexpr double lowPitch = 1000.0;  // Hz: the click two seconds before the end
constexpr double highPitch = 1400.0; // Hz: the clicks three seconds and one second before it
} // namespace countInClick

struct CountIn {
    // What the editor asks of the audio thread through `request`.
    enum class Command : int32_t {
        none = 0,
        start = 1,
        cancel = 2,
    };

    // --- shared ---
    std::atomic<Command> request{Command::none}; // editor stores; audio thread takes by exchange
    // --- audio thread (and suspend) ---
    int64_t remaining = 0; // samples until the count-in ends
    double rate = 48000.0; // the rate `remaining` counts in
    int32_t mask = 0;      // clicks already scheduled
    struct Click {
        int32_t offset;
        int32_t kind; // 0, 1, 2 for the clicks three, two and one seconds before the end
    };
    Click events[3]{};
    int32_t eventCount = 0;
    int32_t clickRemaining = 0;
    double phase = 0.0;
    double clickAge = 0.0;
    double clickFrequency = countInClick::highPitch;
    // --- shared ---
    std::atomic<bool> active{false};     // a count-in runs (editor loads)
    std::atomic<int32_t> secondsLeft{0}; // 3, 2, 1 while counting; changed by exchange only

    struct Step {
        int32_t endOffset; // 1..frames where the count-in ends in this block, else -1
        bool cancelled;    // a cancel was taken
    };

    // Audio thread: the count-in step of one block.
    Step beginBlock(double sampleRate, int32_t frames) noexcept;
    // Audio thread, where the count-in ends (the step's endOffset): whether a
    // cancel the editor posted after this block's step waits in `request`.
    bool cancelWaiting() const noexcept;
    // Audio thread, where the count-in ends, after the take was started: the
    // seconds go to 0 and the count-in stops running.
    void end() noexcept;
    // Audio thread: adds this block's clicks and clamps both channels to -1..1.
    // Returns at once when no click sounds: the rendered block is in range.
    void mix(float* left, float* right, int32_t frames, double sampleRate) noexcept;
    // Suspend: clears the count-in from the dispatcher's thread.
    void clear() noexcept;

    // Editor side of the handshake. A start is refused (false) while a count-in runs.
    bool requestStart() noexcept;
    void requestCancel() noexcept;

  private:
    // A start taken: three seconds from now at `sampleRate`, no click scheduled yet.
    void begin(double sampleRate) noexcept;
    // Keeps the time left in seconds across a change of sample rate.
    void followRate(double sampleRate) noexcept;
    // A cancel taken, or suspend: nothing remains, no click sounds, not active.
    void stop() noexcept;
};
static_assert(std::atomic<CountIn::Command>::is_always_lock_free, "the editor and the audio thread share it");

} // namespace palmtone
