#pragma once
// Driving an instance through a schedule of MIDI events at absolute sample times,
// cut into blocks of chosen sizes: each block's events go in with opcode 25 (offset
// = time - block start) right before the block is processed.
#include <cstdint>
#include <random>
#include <vector>

#include "tools/vst-host/block_sizes.hpp"
#include "tools/vst-host/host_instance.hpp"

namespace vsthost {

struct TimedMidi {
    int64_t time; // absolute sample
    uint8_t status;
    uint8_t data1;
    uint8_t data2;
};

// A MIDI message the plug-in sent, at its absolute sample time.
struct OutputMidi {
    int64_t time;
    uint8_t status;
    uint8_t data1;
    uint8_t data2;
    bool operator==(const OutputMidi& o) const noexcept {
        return time == o.time && status == o.status && data1 == o.data1 && data2 == o.data2;
    }
    bool operator!=(const OutputMidi& o) const noexcept { return !(*this == o); }
};

// The MIDI events the host received, as absolute-time messages, in arrival order.
std::vector<OutputMidi> outputMidi(const std::vector<ReceivedEvent>& received);

// Processes the blocks in `blocks` (sizes, zero allowed) in order, handing each
// block the schedule's events that fall into it, in schedule order (stable by time).
// Audio and MIDI accumulate in the host.
void play(Host& host, const std::vector<TimedMidi>& schedule, const std::vector<int32_t>& blocks);

} // namespace vsthost
