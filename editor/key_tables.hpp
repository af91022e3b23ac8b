#pragma once
// The eight chord keys: the computer key of each, the note that key and its pad
// send (the white keys C4 to C5), and the degree drawn on the pad.
#include <cstdint>

namespace palmtone {

constexpr int padCount = 8;
extern const int32_t keys[padCount];           // virtual-key codes 'A' 'S' 'D' 'F' 'G' 'H' 'J' 'K'
extern const int32_t notes[padCount];          // 60 62 64 65 67 69 71 72
extern const wchar_t* const degrees[padCount]; // "I" .. "VII", "I"

// The index 0..7 of a chord key's virtual-key code, -1 for any other key.
int keyIndex(int32_t virtualKey) noexcept;

// The statuses they enter the UI event ring with: computer keys on channel
// index 15, pads on 14.
constexpr int32_t keyOn = 0x9F, keyOff = 0x8F;
constexpr int32_t padOn = 0x9E, padOff = 0x8E;

} // namespace palmtone
