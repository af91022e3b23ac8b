#pragma once
// The editor's gestures on an instance in this process, as the editor performs
// them: the events it pushes into the UI event ring for a chord key or a pad,
// and what its transport buttons ask of the count-in, the take and the reset
// flag. The editor's own checks before a button acts (no count-in while a take
// runs, none during a count-in) are left out: a scenario presses what acts.
// Allocates nothing: the realtime proofs press the keys between counted blocks.
#include <cstdint>

#include "editor/key_tables.hpp"
#include "plugin/plugin.hpp"

namespace velktest {

class InstanceEditor {
  public:
    explicit InstanceEditor(palmtone::Plugin& plugin) noexcept : plugin_(plugin) {}

    // A chord key ('A' .. 'K') pressed or let go; a key already down or up is ignored.
    void key(int32_t virtualKey, bool down) noexcept;
    // Pad 0..7 pressed (letting go of the pad held before) or let go.
    void pad(int index, bool down) noexcept;
    void record() noexcept;        // "Grabar": the count-in starts
    void pauseOrResume() noexcept; // "Pausa": a recording take pauses, a paused one continues
    void stop() noexcept;          // "Detener": the count-in is cancelled, the take stops
    void releaseNotes() noexcept;  // "Soltar notas": keys and pad let go, a full reset

  private:
    palmtone::Plugin& plugin_;
    bool keyDown_[palmtone::padCount] = {};
    int padHeld_ = -1;
};

} // namespace velktest
