// Opcode 25: which of the host's events are taken for the next block, and how.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "tests/support/test_host.hpp"

namespace {

using coretest::EventList;
using coretest::midiEvent;
using coretest::TestHost;

intptr_t deliver(TestHost& host, const vst2::HostEventList* list) {
    return host.dispatch(25, 0, 0, const_cast<vst2::HostEventList*>(list));
}

TEST(Intake, NullListIsRefusedAndEmptyOrNegativeCountsAccepted) {
    TestHost host;
    EXPECT_EQ(deliver(host, nullptr), 0);
    EventList list;
    EXPECT_EQ(deliver(host, list.build(0)), 1);
    // The pointers behind a negative count are never read.
    list.pointers = {reinterpret_cast<void*>(uintptr_t{0x10}), reinterpret_cast<void*>(uintptr_t{0x20})};
    EXPECT_EQ(deliver(host, list.build(-1)), 1);
    EXPECT_EQ(deliver(host, list.build(std::numeric_limits<int32_t>::min())), 1);
    EXPECT_EQ(host.plugin().blockEventCount, 0);
    EXPECT_FALSE(host.plugin().overflow.load());
}

TEST(Intake, OnlyTheFirst4096PointersAreLookedAt) {
    TestHost host;
    EventList list;
    for (int i = 0; i < 5000; ++i) {
        vst2::MidiEvent e = midiEvent(i, 0x90, 60, 100);
        if (i < 4096) e.type = 6; // not a MIDI event
        list.add(e);
    }
    EXPECT_EQ(deliver(host, list.build()), 1);
    EXPECT_EQ(host.plugin().blockEventCount, 0);
    EXPECT_FALSE(host.plugin().overflow.load());
}

TEST(Intake, MoreThan1024EventsKeepTheFirstAndFlagAnOverflow) {
    TestHost host;
    EventList list;
    for (int i = 0; i < 1100; ++i)
        list.add(midiEvent(i, 0x90, i % 128, 1 + i % 127));
    EXPECT_EQ(deliver(host, list.build()), 1);
    palmtone::Plugin& p = host.plugin();
    EXPECT_EQ(p.blockEventCount, 1024);
    EXPECT_TRUE(p.overflow.load());
    EXPECT_EQ(p.blockEvents[1023].frame, 1023);
    EXPECT_EQ(p.blockEvents[1023].data1, 1023 % 128);
    // A later call adds nothing and flags again.
    p.overflow.store(false);
    EventList more;
    more.add(midiEvent(0, 0x90, 1, 1));
    EXPECT_EQ(deliver(host, more.build()), 1);
    EXPECT_EQ(p.blockEventCount, 1024);
    EXPECT_TRUE(p.overflow.load());

    // The next block resets: the kept events never sound.
    host.run(2048);
    EXPECT_TRUE(host.out.empty());
    EXPECT_EQ(p.engine.soundingCount.load(), 0);
    EXPECT_FALSE(p.overflow.load());
    EXPECT_EQ(p.blockEventCount, 0);
}

TEST(Intake, Exactly1024EventsFitWithoutOverflow) {
    TestHost host;
    EventList list;
    for (int i = 0; i < 1024; ++i)
        list.add(midiEvent(i, 0x80, 60, 0));
    list.add(midiEvent(0, 0x90, 60, 0));
    list.events.back().type = 2; // skipped, so not an overflow
    EXPECT_EQ(deliver(host, list.build()), 1);
    EXPECT_EQ(host.plugin().blockEventCount, 1024);
    EXPECT_FALSE(host.plugin().overflow.load());
}

TEST(Intake, SkipsWhatIsNotAWholeMidiEventAndMasksTheDataBytes) {
    TestHost host;
    EventList list;
    list.add(midiEvent(1, 0x90, 0xC5, 0xFF)); // kept, data masked
    vst2::MidiEvent small = midiEvent(2, 0x90, 60, 100);
    small.byteSize = 20;
    list.add(small);
    vst2::MidiEvent shortByOne = midiEvent(3, 0x90, 60, 100);
    shortByOne.byteSize = 23;
    list.add(shortByOne);
    vst2::MidiEvent sysex = midiEvent(4, 0x90, 60, 100);
    sysex.type = 6;
    list.add(sysex);
    vst2::MidiEvent larger =
        midiEvent(10000, 0xF0, 0x80, 0x81); // kept: status not filtered, frame not clamped
    larger.byteSize = 32;
    list.add(larger);
    list.add(midiEvent(-7, 0x9F, 61, 0x40));
    for (vst2::MidiEvent& e : list.events)
        list.pointers.push_back(&e);
    list.pointers.insert(list.pointers.begin() + 1, nullptr);

    EXPECT_EQ(deliver(host, list.build()), 1);
    palmtone::Plugin& p = host.plugin();
    ASSERT_EQ(p.blockEventCount, 3);
    const palmtone::InputEvent expected[3] = {
        {1, 0x90, 0x45, 0x7F, 0}, {10000, 0xF0, 0x00, 0x01, 0}, {-7, 0x9F, 61, 0x40, 0}};
    for (int i = 0; i < 3; ++i) {
        const palmtone::InputEvent& e = p.blockEvents[i];
        EXPECT_EQ(e.frame, expected[i].frame) << i;
        EXPECT_EQ(e.status, expected[i].status) << i;
        EXPECT_EQ(e.data1, expected[i].data1) << i;
        EXPECT_EQ(e.data2, expected[i].data2) << i;
        EXPECT_EQ(e.order, 0) << i;
    }
    EXPECT_FALSE(p.overflow.load());
}

TEST(Intake, SeveralCallsBeforeABlockAccumulate) {
    TestHost host;
    host.setUnit(palmtone::pInput, 2);
    host.noteOn(20, 60);
    host.deliver();
    host.noteOn(10, 62);
    host.deliver();
    EXPECT_EQ(host.plugin().blockEventCount, 2);
    host.run(64);
    EXPECT_EQ(host.output(),
              (std::vector<coretest::Midi>{coretest::on(10, 62, 100), coretest::on(20, 60, 100)}));
    EXPECT_EQ(host.plugin().blockEventCount, 0);
}

} // namespace
