// Opcode 25, the intake of the host's event lists: what is read, what is skipped,
// the 1024-event capacity with its overflow reset, and the 4096-pointer limit.
#include "tests/host/plugin_fixture.hpp"

namespace hosttest {
namespace {

using vst2::MidiEvent;
using vsthost::EventListBuffer;
using vsthost::OutputMidi;

// Notes passed through unchanged, so each key shows as one output note.
class Intake : public PluginTest {
  protected:
    void SetUp() override {
        PluginTest::SetUp();
        host->setParameter(entrada, 1.0f);
    }
    // Note-ons that reached the host's output in the last block.
    std::vector<int> startedNotes() {
        std::vector<int> out;
        for (const auto& r : host->received())
            if (r.block == host->blocks() - 1 && (r.status() & 0xF0) == 0x90) out.push_back(r.data1());
        return out;
    }
    std::vector<int> stoppedNotes() {
        std::vector<int> out;
        for (const auto& r : host->received())
            if (r.block == host->blocks() - 1 && (r.status() & 0xF0) == 0x80) out.push_back(r.data1());
        return out;
    }
    intptr_t send(const std::vector<MidiEvent>& events) {
        list.assign(events);
        return host->sendList(list);
    }
    EventListBuffer list;
};

MidiEvent noteOn(uint8_t key) {
    return vsthost::midiEvent(0, 0x90, key, 100);
}
MidiEvent controller() {
    return vsthost::midiEvent(0, 0xB0, 1, 10);
}
MidiEvent typed(int32_t type, int32_t byteSize, uint8_t key) {
    MidiEvent e = noteOn(key);
    e.type = type;
    e.byteSize = byteSize;
    return e;
}

TEST_F(Intake, CountsOfZeroOrBelowReadNothing) {
    for (int32_t count : {0, -1, INT32_MIN}) {
        list.assign(std::vector<MidiEvent>{noteOn(60), noteOn(61)});
        list.setPointer(0, reinterpret_cast<void*>(0x10)); // would fault if read
        list.setPointer(1, reinterpret_cast<void*>(0x20));
        list.setCount(count);
        EXPECT_EQ(host->sendList(list), 1) << count;
        host->process(64);
        EXPECT_TRUE(startedNotes().empty()) << count;
    }
}

TEST_F(Intake, SkipsRecordsThatAreNotMidiEvents) {
    list.assign(std::vector<MidiEvent>{typed(6, 24, 60), typed(1, 20, 61), typed(1, 24, 62), noteOn(0),
                                       typed(1, 1000, 63), typed(0, 24, 64), typed(-1, 24, 65)});
    list.setPointer(3, nullptr);
    EXPECT_EQ(host->sendList(list), 1);
    host->process(64);
    EXPECT_EQ(startedNotes(), (std::vector<int>{62, 63}));
}

TEST_F(Intake, DataBytesAreMaskedTo7Bits) {
    EXPECT_EQ(send({vsthost::midiEvent(0, 0x90, 0xC5, 0xFF)}), 1);
    host->process(64);
    EXPECT_EQ(sentMidi(*host), (std::vector<OutputMidi>{{0, 0x90, 0x45, 0x7F}}));
}

TEST_F(Intake, KeepsExactly1024Events) {
    std::vector<MidiEvent> events(1023, controller());
    events.push_back(noteOn(60));
    EXPECT_EQ(send(events), 1);
    host->process(64);
    EXPECT_EQ(startedNotes(), (std::vector<int>{60}));
}

TEST_F(Intake, OneMoreCostsTheWholeBlockAndAFullReset) {
    send({noteOn(70)});
    host->process(64); // 70 sounds before the overflow
    std::vector<MidiEvent> events{noteOn(61)};
    events.insert(events.end(), 1023, controller());
    events.push_back(noteOn(60)); // the 1025th
    events.insert(events.end(), 75, noteOn(59));
    EXPECT_EQ(send(events), 1);
    host->process(64);
    EXPECT_TRUE(startedNotes().empty());
    EXPECT_EQ(stoppedNotes(), (std::vector<int>{70}));
    // The reset is taken once; the next block plays normally.
    send({noteOn(62)});
    host->process(64);
    EXPECT_EQ(startedNotes(), (std::vector<int>{62}));
}

TEST_F(Intake, ListsBeforeOneBlockAccumulate) {
    send({noteOn(60)});
    send({noteOn(61)});
    host->process(64);
    EXPECT_EQ(startedNotes(), (std::vector<int>{60, 61}));

    send(std::vector<MidiEvent>(600, noteOn(62)));
    send(std::vector<MidiEvent>(600, noteOn(63))); // 1200 together: overflow
    host->process(64);
    EXPECT_TRUE(startedNotes().empty());
    EXPECT_EQ(stoppedNotes(), (std::vector<int>{60, 61}));
}

TEST_F(Intake, LooksAtTheFirst4096PointersOnly) {
    std::vector<MidiEvent> events(4095, typed(6, 24, 1));
    events.push_back(noteOn(60));                 // pointer 4095: still read
    events.insert(events.end(), 904, noteOn(61)); // from 4096 on: never read
    EXPECT_EQ(send(events), 1);
    host->process(64);
    EXPECT_EQ(startedNotes(), (std::vector<int>{60}));
    // No overflow either: 60 keeps sounding in the next block.
    host->process(64);
    EXPECT_TRUE(stoppedNotes().empty());
}

} // namespace
} // namespace hosttest
