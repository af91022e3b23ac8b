// Opcode 25, the intake of the host's event lists, at both levels
// (scenario_level.hpp): what is read and what is skipped, the masked data bytes,
// the 1024-event capacity with its overflow and full reset, lists that
// accumulate before a block, and the 4096-pointer limit.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

#include "tests/support/scenario_level.hpp"

namespace velktest {
namespace {

using coretest::EventList;
using coretest::midiEvent;

vst2::MidiEvent typed(int32_t frame, int32_t type, int32_t byteSize, int key) {
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
    int32_t taken() { return p().blockEventCount; }
    bool overflowed() { return p().overflow.load(); }
};

TEST_F(Intake, NullListIsRefusedAndCountsOfZeroOrBelowReadNothing) {
    EXPECT_EQ(send(static_cast<const vst2::HostEventList*>(nullptr)), 0);
    for (int32_t count : {0, -1, INT32_MIN}) {
        EventList list;
        // Would fault if read.
        list.pointers = {reinterpret_cast<void*>(uintptr_t{0x10}), reinterpret_cast<void*>(uintptr_t{0x20})};
        EXPECT_EQ(send(list.build(count)), 1) << count;
        EXPECT_EQ(taken(), 0) << count;
        EXPECT_FALSE(overflowed()) << count;
        EXPECT_EQ(block(64), Out{}) << count;
    }
}

TEST_F(Intake, SkipsWhatIsNotAWholeMidiEventAndMasksTheDataBytes) {
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

    EXPECT_EQ(send(list), 1);
    ASSERT_EQ(taken(), 4);
    const palmtone::InputEvent expected[4] = {{1, 0x90, 0x45, 0x7F, 0},
                                              {10000, 0xF0, 0x00, 0x01, 0},
                                              {3, 0x90, 63, 100, 0},
                                              {-7, 0x9F, 61, 0x40, 0}};
    for (int i = 0; i < 4; ++i) {
        const palmtone::InputEvent& e = p().blockEvents[i];
        EXPECT_EQ(e.frame, expected[i].frame) << i;
        EXPECT_EQ(e.status, expected[i].status) << i;
        EXPECT_EQ(e.data1, expected[i].data1) << i;
        EXPECT_EQ(e.data2, expected[i].data2) << i;
        EXPECT_EQ(e.order, 0) << i;
    }
    EXPECT_FALSE(overflowed());
    // In frame order, the early one clamped to frame 0; the system message plays nothing.
    block(64);
    EXPECT_EQ(started(), (std::vector<int>{61, 0x45, 63}));
}

TEST_F(Intake, DataBytesAreMaskedTo7Bits) {
    EXPECT_EQ(send({midiEvent(0, 0x90, 0xC5, 0xFF)}), 1);
    EXPECT_EQ(block(64), (Out{{0, 0x90, 0x45, 0x7F}}));
}

TEST_F(Intake, KeepsExactly1024Events) {
    std::vector<vst2::MidiEvent> events(1023, midiEvent(0, 0xB0, 1, 10));
    events.push_back(midiEvent(0, 0x90, 60, 100));
    events.push_back(typed(0, 2, 24, 61)); // skipped, so not an overflow
    EXPECT_EQ(send(events), 1);
    EXPECT_EQ(taken(), 1024);
    EXPECT_FALSE(overflowed());
    block(64);
    EXPECT_EQ(started(), (std::vector<int>{60}));
}

TEST_F(Intake, OneMoreCostsTheWholeBlockAndAFullReset) {
    send({midiEvent(0, 0x90, 70, 100)});
    block(64); // 70 sounds before the overflow
    std::vector<vst2::MidiEvent> events{midiEvent(0, 0x90, 61, 100)};
    for (int i = 1; i < 1024; ++i)
        events.push_back(midiEvent(i, 0xB0, 1, i % 128));
    events.push_back(midiEvent(1024, 0x90, 60, 100)); // the 1025th
    events.insert(events.end(), 75, midiEvent(0, 0x90, 59, 100));
    EXPECT_EQ(send(events), 1);
    EXPECT_EQ(taken(), 1024);
    EXPECT_TRUE(overflowed());
    EXPECT_EQ(p().blockEvents[0].data1, 61);
    EXPECT_EQ(p().blockEvents[1023].frame, 1023);
    EXPECT_EQ(p().blockEvents[1023].data2, 1023 % 128);
    // A later list adds nothing and flags again.
    p().overflow.store(false);
    EXPECT_EQ(send({midiEvent(0, 0x90, 1, 1)}), 1);
    EXPECT_EQ(taken(), 1024);
    EXPECT_TRUE(overflowed());

    // The next block resets: the kept events never sound, what sounded stops.
    block(64);
    EXPECT_TRUE(started().empty());
    EXPECT_EQ(stopped(), (std::vector<int>{70}));
    EXPECT_EQ(p().engine.soundingCount.load(), 0);
    EXPECT_FALSE(overflowed());
    EXPECT_EQ(taken(), 0);
    // The reset is taken once; the next block plays normally.
    send({midiEvent(0, 0x90, 62, 100)});
    block(64);
    EXPECT_EQ(started(), (std::vector<int>{62}));
}

TEST_F(Intake, ListsBeforeOneBlockAccumulate) {
    noteOn(20, 60);
    deliver();
    noteOn(10, 62);
    deliver();
    EXPECT_EQ(taken(), 2);
    EXPECT_EQ(block(64), ons(10, {62}, 100) + ons(20, {60}, 100));
    EXPECT_EQ(taken(), 0);

    send(std::vector<vst2::MidiEvent>(600, midiEvent(0, 0x90, 63, 100)));
    send(std::vector<vst2::MidiEvent>(600, midiEvent(0, 0x90, 64, 100))); // 1200 together: overflow
    EXPECT_TRUE(overflowed());
    block(64);
    EXPECT_TRUE(started().empty());
    EXPECT_EQ(stopped(), (std::vector<int>{60, 62}));
}

TEST_F(Intake, LooksAtTheFirst4096PointersOnly) {
    // The last pointer looked at is read; none after it, whatever they hold.
    for (int read : {0, 1}) {
        std::vector<vst2::MidiEvent> events(4096 - read, typed(0, 6, 24, 1));
        if (read) events.push_back(midiEvent(0, 0x90, 60, 100)); // pointer 4095
        events.insert(events.end(), 904, midiEvent(0, 0x90, 61, 100));
        EXPECT_EQ(send(events), 1) << read;
        EXPECT_EQ(taken(), read) << read;
        EXPECT_FALSE(overflowed()) << read;
        block(64);
        EXPECT_EQ(started(), read ? std::vector<int>{60} : std::vector<int>{}) << read;
        // No overflow either: 60 keeps sounding in the next block.
        block(64);
        EXPECT_TRUE(stopped().empty()) << read;
    }
}

} // namespace
} // namespace velktest
