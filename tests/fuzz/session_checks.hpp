#pragma once
// What a strict host and a strict MIDI file reader demand of the plug-in's
// audio and MIDI, for the session fuzz target. Each check aborts with a
// message on the first fault, so libFuzzer keeps the input. Built without
// comparison tracing: these loops compare the plug-in's output, not input bytes.
#include <cstdint>
#include <vector>

#include "plugin/host/vst2.hpp"

namespace fuzztest {

[[noreturn]] void fail(const char* what);
inline void require(bool ok, const char* what) {
    if (!ok) fail(what);
}

// One block's output: `written` frames finite and within -1..1, and the
// `guard` frames after them still holding `canary`.
void checkBlockOutput(const float* left, const float* right, int32_t written, int32_t guard, float canary);

// The MIDI output stream: only 24-byte note-on and note-off records, data
// within 0..127, note-on velocity 1..127 and note-off velocity 0, offsets
// inside the block (0 outside one) and never going back within a block, no
// note-on for a note already on and no note-off for a note not on.
class MidiOutputCheck {
  public:
    void beginBlock(int32_t frames) noexcept;
    void endBlock() noexcept;
    void list(const vst2::HostEventList* list);
    bool anyOn() const noexcept;

  private:
    bool on_[16][128] = {};
    bool inBlock_ = false;
    int32_t frames_ = 0;
    int32_t last_ = 0;
};

// A take's Standard MIDI File: format 0, one track, 960 ticks per quarter, the
// track name and tempo first, then note events each with its own status and a
// delta of 1 to 4 bytes, each note switched on and off in turn on one channel
// and off at the end, the end-of-track event last and the lengths exact.
void checkMidiFile(const std::vector<uint8_t>& file);

} // namespace fuzztest
