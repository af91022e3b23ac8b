#pragma once
#include <cstdint>

namespace palmtone {

// One MIDI-like input event from the host or from the editor.
struct InputEvent {
    int32_t frame;  // sample offset in the block (editor events: 0)
    int32_t status; // 0..255: kind in the high four bits, row (channel) in the low four
    int32_t data1;  // key or controller, 0..127
    int32_t data2;  // velocity or controller value, 0..127
    int32_t order;  // arrival index among the block's host events, set by process
};

} // namespace palmtone
