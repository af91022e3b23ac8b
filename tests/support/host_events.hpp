#pragma once
// A host event list of up to Capacity MIDI events in fixed storage, as a host
// hands it to opcode 25; filling it allocates nothing.
#include <cstdint>

#include "plugin/host/vst2.hpp"

namespace velktest {

template <int Capacity> struct HostEvents {
    vst2::MidiEvent events[Capacity];
    vst2::EventList<Capacity> list{};

    void clear() { list.numEvents = 0; }
    void add(int32_t frame, int status, int data1, int data2) {
        vst2::MidiEvent& e = events[list.numEvents];
        e = vst2::MidiEvent{};
        e.type = vst2::midiEventType;
        e.byteSize = 24;
        e.deltaFrames = frame;
        e.midiData[0] = static_cast<uint8_t>(status);
        e.midiData[1] = static_cast<uint8_t>(data1);
        e.midiData[2] = static_cast<uint8_t>(data2);
        list.events[list.numEvents++] = &e;
    }
    void* pointer() { return &list; }
};

} // namespace velktest
