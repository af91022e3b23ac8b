// Audio blocks as hosts send them: missing output buffers, every sample rate
// from 8000 to 384000 Hz, the loudest input, and suspend and resume again and
// again. Empty and negative blocks (tests/scenarios/block_events_scenario.cpp),
// the tempo query of every block and block partitions
// (tests/scenarios/block_scenario.cpp) run at both levels.
#include <cmath>
#include <cstring>

#include "tests/dll/plugin_fixture.hpp"

namespace dlltest {
namespace {

using vsthost::TimedMidi;

std::vector<TimedMidi> chordAndRelease(int64_t release) {
    return {{10, 0x90, 48, 100}, {200, 0x90, 64, 80}, {release, 0x80, 48, 0}, {release, 0x80, 64, 0}};
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0);
}

// The deprecated accumulating slot is the same function: it overwrites too.
TEST_F(PluginTest, AccumulatingSlotOverwrites) {
    play({{0, 0x90, 60, 100}}, 512);
    float left[256], right[256];
    for (float& v : left)
        v = 0.5f;
    for (float& v : right)
        v = 0.5f;
    float* outputs[2] = {left, right};
    host->effect()->process(host->effect(), nullptr, outputs, 256);
    host->process(256);
    vsthost::Host reference(library());
    reference.start();
    vsthost::play(reference, {{0, 0x90, 60, 100}}, {512, 256, 256});
    EXPECT_EQ(std::memcmp(left, reference.left().data() + 512, sizeof left), 0);
    EXPECT_EQ(std::memcmp(host->left().data() + 512, reference.left().data() + 768, 256 * sizeof(float)), 0);
}

TEST_F(PluginTest, NullOutputsOnlyAdvance) {
    const auto schedule = chordAndRelease(1500);
    vsthost::Host reference(library());
    reference.start();
    vsthost::play(reference, schedule, {512, 512, 512, 512});

    vsthost::play(*host, schedule, {512});
    host->processWithoutOutputs(512); // no events fall into this block
    vsthost::play(*host, schedule, {512, 512});
    EXPECT_EQ(sentMidi(*host), sentMidi(reference));
    ASSERT_EQ(host->left().size(), 1536u);
    // Blocks 2 and 3 continue exactly where the skipped block left the voices.
    EXPECT_TRUE(sameBits(std::vector<float>(host->left().begin() + 512, host->left().end()),
                         std::vector<float>(reference.left().begin() + 1024, reference.left().end())));
}

class SampleRate : public ::testing::TestWithParam<float> {};

TEST_P(SampleRate, PlaysCleanlyAndFadesOut) {
    const float rate = GetParam();
    vsthost::Host h(library());
    h.start(rate, 512);
    EXPECT_EQ(h.dispatch(52), static_cast<intptr_t>(static_cast<double>(rate) * 30.0));
    const auto quarter = static_cast<int64_t>(rate / 4);
    // Low and high notes, one far above the Nyquist limit of 8000 Hz, and a ninth chord.
    h.setParameter(entrada, 1.0f);
    vsthost::play(h,
                  {{0, 0x90, 24, 127},
                   {0, 0x90, 108, 127},
                   {0, 0x90, 127, 127},
                   {quarter, 0x80, 24, 0},
                   {quarter, 0x80, 108, 0},
                   {quarter, 0x80, 127, 0}},
                  vsthost::uniformBlocks(quarter * 2, 512));
    h.setParameter(entrada, 0.0f);
    vsthost::play(h, {{quarter * 2, 0x90, 60, 100}, {quarter * 3, 0x80, 60, 0}},
                  vsthost::uniformBlocks(quarter * 2 + static_cast<int64_t>(rate) * 3, 512));
    ASSERT_TRUE(audioSane(h.left()));
    ASSERT_TRUE(audioSane(h.right()));
    EXPECT_GT(peak(h.left(), 0, quarter), 0.01f);
    EXPECT_GT(peak(h.right(), quarter * 2, quarter * 3), 0.01f);
    // Three seconds after the last release the voices are silent.
    EXPECT_LT(peak(h.left(), h.left().size() - static_cast<size_t>(rate / 10)), 1e-4f);
    EXPECT_EQ(h.overruns(), 0);
}

INSTANTIATE_TEST_SUITE_P(Range, SampleRate,
                         ::testing::Values(8000.0f, 11025.0f, 16000.0f, 22050.0f, 32000.0f, 44100.0f,
                                           48000.0f, 88200.0f, 96000.0f, 176400.0f, 192000.0f, 352800.0f,
                                           384000.0f),
                         [](const auto& info) { return std::to_string(static_cast<int>(info.param)); });

// "Sonido" on the one-shot with no one-shot loaded: silence, MIDI as usual.
TEST_F(PluginTest, OneShotSoundWithoutSampleIsSilent) {
    host->setParameter(sonido, 1.0f);
    play({{0, 0x90, 60, 127}, {3000, 0x80, 60, 0}}, 6000);
    for (size_t i = 0; i < host->left().size(); ++i) {
        ASSERT_EQ(host->left()[i], 0.0f) << i;
        ASSERT_EQ(host->right()[i], 0.0f) << i;
    }
    EXPECT_EQ(sentMidi(*host).size(), 10u);
}

TEST_F(PluginTest, RateChangeWhileNotesSound) {
    host->setParameter(volumen, 1.0f);
    play({{0, 0x90, 60, 127}}, 4096);
    for (float rate : {96000.0f, 8000.0f, 384000.0f, 44100.0f}) {
        ASSERT_EQ(host->dispatch(10, 0, 0, nullptr, rate), 1);
        play({}, 2048);
    }
    EXPECT_GT(peak(host->left(), host->left().size() - 512), 0.01f);
}

TEST_F(PluginTest, LoudestInputStaysInRange) {
    host->setParameter(volumen, 1.0f);
    for (float mode : {1.0f, 0.0f}) {
        host->setParameter(entrada, mode);
        // Every key of every channel within 4096 frames, 64 events per block.
        std::vector<TimedMidi> all;
        for (int c = 0; c < 16; ++c)
            for (int n = 0; n < 128; ++n)
                all.push_back({host->position() + (c * 128 + n) * 2, static_cast<uint8_t>(0x90 | c),
                               static_cast<uint8_t>(n), 127});
        play(all, 8192, 128);
        EXPECT_GT(peak(host->left()), 0.5f);
        host->suspend();
        host->resume();
    }
}

TEST_F(PluginTest, RepeatedSuspendAndResume) {
    std::vector<int32_t> sizes;
    for (int cycle = 0; cycle < 30; ++cycle) {
        const int64_t t = host->position();
        const auto key = static_cast<uint8_t>(40 + cycle);
        vsthost::play(*host, {{t + 5, 0x90, key, 90}}, {256, 256});
        sizes.insert(sizes.end(), {256, 256});
        const size_t before = host->received().size();
        const size_t wants = host->calls(vst2::hostWantMidi).size();
        host->suspend();
        const auto after = host->received();
        ASSERT_GT(after.size(), before) << "cycle " << cycle << ": no note-offs in the suspend";
        for (size_t i = before; i < after.size(); ++i) {
            EXPECT_EQ(after[i].status(), 0x80);
            EXPECT_FALSE(after[i].inProcess);
        }
        host->resume();
        EXPECT_EQ(host->calls(vst2::hostWantMidi).size(), wants + 1);
        if (cycle % 3 == 0) host->suspend(); // suspended twice in a row, then resumed
        if (cycle % 3 == 0) host->resume();
        // The key that was down when suspended is free now.
        vsthost::play(*host, {{host->position(), 0x80, key, 0}}, {128});
        sizes.push_back(128);
    }
    EXPECT_TRUE(midiWellFormed(host->received(), sizes));
}

} // namespace
} // namespace dlltest
