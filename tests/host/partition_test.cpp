// The same absolute schedule of MIDI events cut into different block partitions
// (all 1, 2, 3, 127, 512 or 4096 frames, random sizes, zero-frame blocks mixed in)
// gives the same MIDI output times and the same audio, bit for bit.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <random>
#include <sstream>
#include <string>

#include "tests/host/plugin_fixture.hpp"

namespace hosttest {
namespace {

using vsthost::TimedMidi;

constexpr int64_t total = 60000;

// Chords on four channels with overlaps, the pedal, all-notes-off, events at equal
// times, at the very first and the very last frame.
std::vector<TimedMidi> richSchedule() {
    std::mt19937 random(31337);
    std::uniform_int_distribution<int> key(36, 96), velocity(1, 127), channel(0, 3), length(300, 20000);
    std::vector<TimedMidi> s;
    for (int64_t t = 0; t < total - 2000; t += 1500 + key(random) * 17) {
        const auto c = static_cast<uint8_t>(channel(random));
        const auto k = static_cast<uint8_t>(key(random));
        s.push_back({t, static_cast<uint8_t>(0x90 | c), k, static_cast<uint8_t>(velocity(random))});
        s.push_back({std::min<int64_t>(t + length(random), total - 1), static_cast<uint8_t>(0x80 | c), k, 0});
    }
    s.push_back({7001, 0xB0, 64, 127});
    s.push_back({23456, 0xB0, 64, 0});
    s.push_back({30000, 0x90, 72, 64});
    s.push_back({30000, 0x90, 74, 65});
    s.push_back({30000, 0x80, 72, 0});
    s.push_back({41000, 0xB1, 123, 0});
    s.push_back({44444, 0xB0, 64, 100});
    s.push_back({52000, 0xB0, 64, 10});
    s.push_back({total - 1, 0x90, 60, 99});
    return s;
}

struct Config {
    const char* name;
    std::vector<std::pair<int32_t, float>> settings;
};

const Config configs[] = {
    {"Defaults", {}},
    {"RootsTriadsInverted", {{entrada, 0.5f}, {acordes, 0.0f}, {invers, 0.5f}, {canal, 4.0f / 15}}},
    {"PassThroughLoud", {{entrada, 1.0f}, {volumen, 1.0f}, {escala, 0.5f}}},
};

struct Partition {
    const char* name;
    std::vector<int32_t> (*make)();
};

const Partition partitions[] = {
    {"All512", [] { return vsthost::uniformBlocks(total, 512); }},
    {"All1", [] { return vsthost::uniformBlocks(total, 1); }},
    {"All2", [] { return vsthost::uniformBlocks(total, 2); }},
    {"All3", [] { return vsthost::uniformBlocks(total, 3); }},
    {"All127", [] { return vsthost::uniformBlocks(total, 127); }},
    {"All4096", [] { return vsthost::uniformBlocks(total, 4096); }},
    {"RandomWithEmpty",
     [] {
         std::mt19937 random(5);
         return vsthost::randomBlocks(total, 1000, random, true);
     }},
    {"RandomLarge",
     [] {
         std::mt19937 random(6);
         return vsthost::randomBlocks(total, 9000, random, false);
     }},
};

struct Rendered {
    std::vector<float> left, right;
    std::vector<vsthost::OutputMidi> midi;
    int64_t overruns;
};

Rendered render(const Config& config, const std::vector<int32_t>& blocks) {
    vsthost::Host h(library());
    h.start();
    for (const auto& [index, value] : config.settings)
        h.setParameter(index, value);
    vsthost::play(h, richSchedule(), blocks);
    h.suspend();
    return {h.left(), h.right(), sentMidi(h), h.overruns()};
}

const Rendered& reference(size_t config) {
    static std::map<size_t, Rendered> cache;
    auto it = cache.find(config);
    if (it == cache.end()) it = cache.emplace(config, render(configs[config], partitions[0].make())).first;
    return it->second;
}

// How many samples differ, and by how much at most.
std::string differences(const std::vector<float>& a, const std::vector<float>& b) {
    size_t count = 0;
    double largest = 0.0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        if (std::memcmp(&a[i], &b[i], sizeof(float)) == 0) continue;
        ++count;
        largest = std::max(largest, std::fabs(static_cast<double>(a[i]) - b[i]));
    }
    std::ostringstream out;
    out << count << " samples differ, by at most " << std::scientific << largest;
    return out.str();
}

size_t firstDifference(const std::vector<float>& a, const std::vector<float>& b) {
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0) return i;
    return std::min(a.size(), b.size());
}

class BlockPartition : public ::testing::TestWithParam<std::tuple<size_t, size_t>> {};

TEST_P(BlockPartition, SameMidiAndAudioAsAll512) {
    const auto [config, partition] = GetParam();
    const Rendered& expected = reference(config);
    const Rendered actual = render(configs[config], partitions[partition].make());

    ASSERT_GT(expected.midi.size(), 20u);
    ASSERT_GT(peak(expected.left), 0.01f);
    EXPECT_TRUE(audioSane(actual.left));
    EXPECT_TRUE(audioSane(actual.right));
    EXPECT_EQ(actual.overruns, 0);
    EXPECT_EQ(actual.midi, expected.midi)
        << "actual:" << describe(actual.midi) << "\nexpected:" << describe(expected.midi);
    ASSERT_EQ(actual.left.size(), static_cast<size_t>(total));
    const size_t l = firstDifference(actual.left, expected.left);
    const size_t r = firstDifference(actual.right, expected.right);
    EXPECT_EQ(l, actual.left.size()) << "left differs from frame " << l << ": " << actual.left[l] << " vs "
                                     << expected.left[l] << "; " << differences(actual.left, expected.left);
    EXPECT_EQ(r, actual.right.size()) << "right differs from frame " << r;
}

INSTANTIATE_TEST_SUITE_P(Schedules, BlockPartition,
                         ::testing::Combine(::testing::Range<size_t>(0, std::size(configs)),
                                            ::testing::Range<size_t>(1, std::size(partitions))),
                         [](const auto& info) {
                             return std::string(configs[std::get<0>(info.param)].name) + "_" +
                                    partitions[std::get<1>(info.param)].name;
                         });

} // namespace
} // namespace hosttest
