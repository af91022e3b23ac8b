// Two instances in one process, side by side: independent parameters, sound and
// MIDI, each callback reaching its own host, and either one closed first.
#include <cstring>

#include "tests/dll/plugin_fixture.hpp"

namespace dlltest {
namespace {

using vsthost::TimedMidi;

const std::vector<TimedMidi> song = {{10, 0x90, 60, 100},
                                     {3000, 0x90, 65, 90},
                                     {7000, 0x80, 60, 0},
                                     {9000, 0x80, 65, 0},
                                     {9500, 0x90, 67, 120}};

std::vector<float> solo(int64_t frames) {
    vsthost::Host h(library());
    h.start();
    vsthost::play(h, song, vsthost::uniformBlocks(frames, 256));
    return h.left();
}

TEST(TwoInstances, ParametersAndOutputStaySeparate) {
    vsthost::Host a(library()), b(library());
    a.start();
    b.start();
    EXPECT_NE(a.effect(), b.effect());
    EXPECT_NE(a.effect()->object, b.effect()->object);
    a.setParameter(canal, normalised(canal, 3));
    b.setParameter(tonica, 0.5f);
    EXPECT_EQ(a.getParameter(tonica), 0.0f);
    EXPECT_EQ(b.getParameter(canal), 0.0f);
    for (int64_t t = 0; t < 12000; t += 256) {
        vsthost::play(a, song, {256});
        vsthost::play(b, song, {256});
    }
    for (const auto& r : a.received())
        EXPECT_EQ(r.status() & 0x0F, 2);
    for (const auto& r : b.received())
        EXPECT_EQ(r.status() & 0x0F, 0);
    EXPECT_FALSE(a.received().empty());
    EXPECT_FALSE(b.received().empty());
    EXPECT_NE(std::memcmp(a.left().data(), b.left().data(), a.left().size() * sizeof(float)), 0);
}

class CloseOrder : public ::testing::TestWithParam<bool> {};

TEST_P(CloseOrder, SurvivorPlaysOnAsIfAlone) {
    const bool closeFirstMadeFirst = GetParam();
    const int64_t frames = 12288;
    const std::vector<float> expected = solo(frames);

    auto a = std::make_unique<vsthost::Host>(library());
    auto b = std::make_unique<vsthost::Host>(library());
    a->start();
    b->start();
    vsthost::Host& survivor = closeFirstMadeFirst ? *b : *a;
    std::unique_ptr<vsthost::Host>& doomed = closeFirstMadeFirst ? a : b;
    for (int64_t t = 0; t < frames; t += 256) {
        if (t == frames / 2) {
            vsthost::play(*doomed, song, {256}); // closed while a note still sounds
            EXPECT_EQ(doomed->close(), 1);
            doomed.reset();
        }
        if (doomed) vsthost::play(*doomed, song, {256});
        vsthost::play(survivor, song, {256});
    }
    ASSERT_EQ(survivor.left().size(), expected.size());
    EXPECT_EQ(std::memcmp(survivor.left().data(), expected.data(), expected.size() * sizeof(float)), 0);
    EXPECT_EQ(vsthost::Host::strayCalls(), 0);
    EXPECT_EQ(survivor.close(), 1);
}

INSTANTIATE_TEST_SUITE_P(Either, CloseOrder, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "FirstMadeFirst" : "SecondMadeFirst"; });

TEST(TwoInstances, ManyOpenedAndClosed) {
    for (int round = 0; round < 20; ++round) {
        vsthost::Host h(library());
        h.start();
        vsthost::play(h, song, {1024});
        EXPECT_EQ(h.close(), 1);
    }
    EXPECT_EQ(vsthost::Host::strayCalls(), 0);
}

} // namespace
} // namespace dlltest
