#pragma once
// MIDI as the tests write it for a host and read it back from one, at either
// level: a message at a frame of a block as the tests compare it, the event
// record a host hands over, and a host event list of any length. Nothing here
// knows the instance: the scenarios of the DLL use it too.
#include <cstdint>
#include <ostream>
#include <vector>

#include "plugin/host/vst2.hpp"

namespace velktest {

// The comparable part of an output event: (frame, status, data1, data2).
struct Midi {
    int32_t frame;
    int32_t status;
    int32_t data1;
    int32_t data2;
    bool operator==(const Midi& o) const {
        return frame == o.frame && status == o.status && data1 == o.data1 && data2 == o.data2;
    }
};
std::ostream& operator<<(std::ostream& os, const Midi& m);
inline Midi on(int32_t frame, int note, int velocity, int channel = 1) {
    return {frame, 0x90 | (channel - 1), note, velocity};
}
inline Midi off(int32_t frame, int note, int channel = 1) {
    return {frame, 0x80 | (channel - 1), note, 0};
}

// A MIDI event record as a host hands it over (type 1, byte size 24).
vst2::MidiEvent midiEvent(int32_t frame, int status, int data1, int data2);

// A host event list of any length in the 64-bit layout: count, reserved, pointers.
class EventList {
  public:
    void add(const vst2::MidiEvent& event) { events.push_back(event); }
    // Builds the list; `count` overrides the number written into it. Pointers
    // come from `events` unless `pointers` was filled by hand.
    const vst2::HostEventList* build(int32_t count);
    const vst2::HostEventList* build() {
        return build(static_cast<int32_t>(pointers.empty() ? events.size() : pointers.size()));
    }

    std::vector<vst2::MidiEvent> events;
    std::vector<void*> pointers;

  private:
    std::vector<void*> raw_;
};

} // namespace velktest
