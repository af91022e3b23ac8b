#include "tests/support/midi_messages.hpp"

#include <cstring>

namespace velktest {

std::ostream& operator<<(std::ostream& os, const Midi& m) {
    return os << "{" << m.frame << ", 0x" << std::hex << m.status << std::dec << ", " << m.data1 << ", "
              << m.data2 << "}";
}

vst2::MidiEvent midiEvent(int32_t frame, int status, int data1, int data2) {
    vst2::MidiEvent e{};
    e.type = vst2::midiEventType;
    e.byteSize = 24;
    e.deltaFrames = frame;
    e.flags = 1;
    e.midiData[0] = static_cast<uint8_t>(status);
    e.midiData[1] = static_cast<uint8_t>(data1);
    e.midiData[2] = static_cast<uint8_t>(data2);
    return e;
}

const vst2::HostEventList* EventList::build(int32_t count) {
    if (pointers.empty())
        for (vst2::MidiEvent& e : events)
            pointers.push_back(&e);
    raw_.assign(2 + pointers.size(), nullptr);
    std::memcpy(raw_.data(), &count, sizeof count);
    if (!pointers.empty()) std::memcpy(raw_.data() + 2, pointers.data(), pointers.size() * sizeof(void*));
    return reinterpret_cast<const vst2::HostEventList*>(raw_.data());
}

} // namespace velktest
