#pragma once
// The fixture of opcode 25's intake (intake_scenario.cpp), which the checks of
// the instance's intake buffer and its overflow flag (tests/plugin/sound/intake_test.cpp) extend.
#include <cstdint>
#include <vector>

#include "tests/scenarios/scenario_level.hpp"

namespace velktest {

// A MIDI event record of the type and byte size given, a note-on of `key`.
inline vst2::MidiEvent typed(int32_t frame, int32_t type, int32_t byteSize, int key) {
    vst2::MidiEvent e = midiEvent(frame, 0x90, key, 100);
    e.type = type;
    e.byteSize = byteSize;
    return e;
}

// Notes passed through unchanged, so each key shows as one output note.
class Intake : public LevelTest {
  protected:
    void prepare() override { setUnit(palmtone::pInput, 2); }

    intptr_t send(const vst2::HostEventList* list) {
        return dispatch(vst2::op::midiEvents, 0, 0, const_cast<vst2::HostEventList*>(list));
    }
    intptr_t send(EventList& list) { return send(list.build()); }
    intptr_t send(const std::vector<vst2::MidiEvent>& events) {
        EventList list;
        list.events = events;
        return send(list);
    }
    // The keys of the note-ons (or note-offs) of the last block, in order.
    std::vector<int> notesOfLastBlock(int kind) {
        std::vector<int> keys;
        for (const Midi& m : outputOf(level().blocks() - 1))
            if ((m.status & 0xF0) == kind) keys.push_back(m.data1);
        return keys;
    }
    std::vector<int> started() { return notesOfLastBlock(0x90); }
    std::vector<int> stopped() { return notesOfLastBlock(0x80); }

    // A list whose count is `count`, with two pointers that would fault if read.
    intptr_t sendCounted(int32_t count) {
        EventList list;
        list.pointers = {reinterpret_cast<void*>(uintptr_t{0x10}), reinterpret_cast<void*>(uintptr_t{0x20})};
        return send(list.build(count));
    }
    // Records of every shape, kept and skipped, with a null pointer among them:
    // four are MIDI events to keep.
    intptr_t sendMixedRecords() {
        EventList list;
        list.add(midiEvent(1, 0x90, 0xC5, 0xFF)); // kept, data masked
        list.add(typed(2, 1, 20, 60));
        list.add(typed(3, 1, 23, 60)); // short by one byte
        list.add(typed(4, 6, 24, 60)); // not a MIDI event
        list.add(typed(5, 0, 24, 64));
        list.add(typed(6, -1, 24, 65));
        vst2::MidiEvent larger =
            midiEvent(10000, 0xF0, 0x80, 0x81); // kept: status not filtered, frame not clamped
        larger.byteSize = 32;
        list.add(larger);
        list.add(typed(3, 1, 1000, 63)); // kept: larger records are read as far as a MIDI event goes
        list.add(midiEvent(-7, 0x9F, 61, 0x40));
        for (vst2::MidiEvent& e : list.events)
            list.pointers.push_back(&e);
        list.pointers.insert(list.pointers.begin() + 1, nullptr);
        return send(list);
    }
    // Key 70 sounding, then one list of 1024 events to keep and one more, the 1025th.
    intptr_t sendOneTooMany() {
        send({midiEvent(0, 0x90, 70, 100)});
        block(64); // 70 sounds before the overflow
        std::vector<vst2::MidiEvent> events{midiEvent(0, 0x90, 61, 100)};
        for (int i = 1; i < 1024; ++i)
            events.push_back(midiEvent(i, 0xB0, 1, i % 128));
        events.push_back(midiEvent(1024, 0x90, 60, 100)); // the 1025th
        events.insert(events.end(), 75, midiEvent(0, 0x90, 59, 100));
        return send(events);
    }
    // 1023 controllers, a note-on, and a record that is skipped.
    std::vector<vst2::MidiEvent> exactly1024() {
        std::vector<vst2::MidiEvent> events(1023, midiEvent(0, 0xB0, 1, 10));
        events.push_back(midiEvent(0, 0x90, 60, 100));
        events.push_back(typed(0, 2, 24, 61)); // skipped, so not an overflow
        return events;
    }
    // 4096 pointers looked at, the last of them a note-on when `read` is set,
    // then 904 note-ons never looked at.
    std::vector<vst2::MidiEvent> past4096(bool read) {
        std::vector<vst2::MidiEvent> events(4096 - read, typed(0, 6, 24, 1));
        if (read) events.push_back(midiEvent(0, 0x90, 60, 100)); // pointer 4095
        events.insert(events.end(), 904, midiEvent(0, 0x90, 61, 100));
        return events;
    }
};

} // namespace velktest
