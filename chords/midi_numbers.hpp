#pragma once
// The numbers of the MIDI channel messages that the plug-in reads and writes:
// a status byte is a message kind (high nibble) and a channel index (low nibble).
#include <cstdint>

namespace tamso::midi {

constexpr int32_t kindBits = 0xF0;
constexpr int32_t channelBits = 0x0F; // channel index 0..15, channel 1..16
constexpr int32_t noteOff = 0x80;
constexpr int32_t noteOn = 0x90; // with velocity 0 it ends the note
constexpr int32_t controlChange = 0xB0;

// Controllers (a control change's first data byte).
constexpr int32_t sustainPedal = 64;
constexpr int32_t pedalDownFrom = 64; // the sustain pedal's values from here on hold it down
constexpr int32_t allSoundOff = 120;
constexpr int32_t allNotesOff = 123;

} // namespace tamso::midi
