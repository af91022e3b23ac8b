// Audio blocks at both levels (scenario_level.hpp): the tempo the host answers
// each block, and the same absolute schedule of MIDI events cut into different
// block partitions (all 1, 2, 3, 127, 512 or 4096 frames, random sizes with
// zero-frame blocks mixed in, one block for all) giving the same MIDI output
// times and the same audio, bit for bit, on the synth and on a one-shot, with
// every kernel set.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/scenarios/block_scenario.hpp"
#include "tools/vst-host/block_sizes.hpp"

namespace velktest {
namespace {

bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0);
}

// Sizes of 1..900 covering `total`, drawn from one generator seeded 1234: the
// first or the second such partition it gives.
std::vector<int32_t> upTo900(int64_t total, int round) {
    std::mt19937 random(1234);
    std::vector<int32_t> sizes;
    for (int r = 0; r <= round; ++r) {
        sizes.clear();
        for (int64_t left = total; left > 0;) {
            const auto n = static_cast<int32_t>(std::min<int64_t>(left, 1 + random() % 900));
            sizes.push_back(n);
            left -= n;
        }
    }
    return sizes;
}

std::vector<int32_t> seeded(int64_t total, int32_t largest, unsigned seed, bool empty) {
    std::mt19937 random(seed);
    return vsthost::randomBlocks(total, largest, random, empty);
}

// --- the tempo ---

// Every block with frames asks for the time once, on the thread running it;
// the tempo comes from a valid answer in range, else from the parameter, and
// whatever the host answers the sound is the same (the tempo shapes only the
// take). The tempo the instance publishes is checked on it.
TEST_P(Tempo, HostTempoOrTheParameter) {
    const TempoCase& c = GetParam();
    static const std::vector<float> referenceLeft = [] {
        std::unique_ptr<Level> reference = makeLevel();
        play(*reference, chordAndRelease, tempoBlocks);
        EXPECT_EQ(reference->left().size(), 6000u);
        return reference->left();
    }();

    level().answerTime(c.answer, c.flags, c.hostTempo);
    clearLog();
    playFirstBlock();
    playTheRest();

    const std::vector<HostCall> asks = calls(vst2::hostGetTime);
    ASSERT_EQ(asks.size(), tempoBlocks.size());
    for (size_t i = 0; i < asks.size(); ++i) {
        EXPECT_EQ(asks[i].block, static_cast<int64_t>(i));
        EXPECT_TRUE(onThisThread(asks[i]));
        EXPECT_EQ(asks[i].index, 0);
        EXPECT_EQ(asks[i].value, vst2::tempoValid);
        EXPECT_EQ(asks[i].ptr, nullptr);
        EXPECT_EQ(asks[i].option, 0.0f);
    }
    EXPECT_TRUE(sameBits(level().left(), referenceLeft)) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Answers, Tempo, ::testing::ValuesIn(tempoAnswers));

// --- block partitions ---

// Chords on four channels with overlaps, the pedal, all-notes-off, events at equal
// times, at the very first and the very last frame.
std::vector<Timed> richSchedule(int64_t total) {
    std::mt19937 random(31337);
    std::uniform_int_distribution<int> key(36, 96), velocity(1, 127), channel(0, 3), length(300, 20000);
    std::vector<Timed> s;
    for (int64_t t = 0; t < total - 2000; t += 1500 + key(random) * 17) {
        const int c = channel(random), k = key(random);
        s.push_back({t, 0x90 | c, k, velocity(random)});
        s.push_back({std::min<int64_t>(t + length(random), total - 1), 0x80 | c, k, 0});
    }
    const std::vector<Timed> fixed = {
        {7001, 0xB0, 64, 127},  {23456, 0xB0, 64, 0},  {30000, 0x90, 72, 64},
        {30000, 0x90, 74, 65},  {30000, 0x80, 72, 0},  {41000, 0xB1, 123, 0},
        {44444, 0xB0, 64, 100}, {52000, 0xB0, 64, 10}, {total - 1, 0x90, 60, 99}};
    s.insert(s.end(), fixed.begin(), fixed.end());
    return s;
}

// Chords on three channels, the pedal, a repeated note, all-notes-off, the
// first and the last frame of blocks of 512.
std::vector<Timed> shortSchedule(int64_t) {
    return {{0, 0x90, 60, 100},   {0, 0x90, 64, 90},     {37, 0x91, 71, 70},   {511, 0x80, 60, 0},
            {512, 0xB0, 64, 127}, {700, 0x90, 62, 110},  {701, 0x80, 62, 0},   {701, 0x90, 67, 60},
            {1500, 0x81, 71, 0},  {2047, 0xB0, 64, 0},   {2048, 0x90, 69, 80}, {2048, 0x90, 69, 90},
            {3000, 0xB0, 123, 0}, {3001, 0x90, 65, 127}, {4095, 0x90, 72, 1},  {5000, 0x80, 65, 0},
            {6500, 0x80, 72, 0},  {7000, 0x92, 48, 99},  {9000, 0x82, 48, 0}};
}

struct Config {
    const char* name;
    float rate;
    int64_t total;
    std::vector<Timed> (*schedule)(int64_t total);
    std::vector<std::pair<int32_t, float>> settings; // normalised
    bool oneShot = false;                            // a short file on "Sonido" 1
};

const Config configs[] = {
    {"Defaults", 48000.0f, 60000, richSchedule, {}},
    {"RootsTriadsInverted",
     48000.0f,
     60000,
     richSchedule,
     {{palmtone::pInput, 0.5f},
      {palmtone::pChords, 0.0f},
      {palmtone::pInversion, 0.5f},
      {palmtone::pChannel, 4.0f / 15}}},
    {"PassThroughLoud",
     48000.0f,
     60000,
     richSchedule,
     {{palmtone::pInput, 1.0f}, {palmtone::pVolume, 1.0f}, {palmtone::pScale, 0.5f}}},
    // A low rate, so that released voices fall silent within the run.
    {"LowRate", 8000.0f, 24576, shortSchedule, {}},
    {"LowRateOneShot", 8000.0f, 24576, shortSchedule, {{palmtone::pSound, 1.0f}}, true},
};

struct Partition {
    const char* name;
    std::vector<int32_t> (*make)(int64_t total);
};

const Partition partitions[] = {
    {"All512", [](int64_t total) { return vsthost::uniformBlocks(total, 512); }},
    {"All1", [](int64_t total) { return vsthost::uniformBlocks(total, 1); }},
    {"All2", [](int64_t total) { return vsthost::uniformBlocks(total, 2); }},
    {"All3", [](int64_t total) { return vsthost::uniformBlocks(total, 3); }},
    {"All127", [](int64_t total) { return vsthost::uniformBlocks(total, 127); }},
    {"All4096", [](int64_t total) { return vsthost::uniformBlocks(total, 4096); }},
    {"RandomWithEmpty", [](int64_t total) { return seeded(total, 1000, 5, true); }},
    {"RandomUpTo900", [](int64_t total) { return upTo900(total, 0); }},
    {"RandomUpTo900Again", [](int64_t total) { return upTo900(total, 1); }},
    {"RandomLarge", [](int64_t total) { return seeded(total, 9000, 6, false); }},
    {"Whole", [](int64_t total) { return std::vector<int32_t>{static_cast<int32_t>(total)}; }},
};

struct Rendered {
    std::vector<Sent> midi;
    std::vector<float> left, right;
    int64_t overruns;
};

// The schedule played through, then a suspend, with its note-offs.
Rendered render(const Config& config, const std::vector<int32_t>& sizes) {
    std::unique_ptr<Level> level = makeLevel();
    vst2::Effect* fx = level->effect();
    fx->dispatcher(fx, vst2::op::mainsChanged, 0, 0, nullptr, 0.0f);
    fx->dispatcher(fx, vst2::op::setSampleRate, 0, 0, nullptr, config.rate);
    fx->dispatcher(fx, vst2::op::mainsChanged, 0, 1, nullptr, 0.0f);
    if (config.oneShot) level->loadOneShot(3000, 44100.0, 0.4f);
    for (const auto& [index, value] : config.settings)
        fx->setParameter(fx, index, value);
    level->clearLog();
    play(*level, config.schedule(config.total), sizes);
    fx->dispatcher(fx, vst2::op::mainsChanged, 0, 0, nullptr, 0.0f);
    return {level->sent(), level->left(), level->right(), level->overruns()};
}

std::string describe(const std::vector<Sent>& midi) {
    std::string out;
    for (const Sent& s : midi) {
        char line[64];
        std::snprintf(line, sizeof line, "\n  %lld: %02X %d %d", static_cast<long long>(s.time), s.status(),
                      s.data1(), s.data2());
        out += line;
    }
    return out;
}

bool sameMessages(const std::vector<Sent>& a, const std::vector<Sent>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const Sent& x, const Sent& y) {
        return x.time == y.time && x.status() == y.status() && x.data1() == y.data1() &&
               x.data2() == y.data2();
    });
}

size_t firstDifference(const std::vector<float>& a, const std::vector<float>& b) {
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0) return i;
    return std::min(a.size(), b.size());
}

float peak(const std::vector<float>& samples) {
    float p = 0.0f;
    for (float v : samples)
        p = std::max(p, std::abs(v));
    return p;
}

// One partition against blocks of 512, both rendered with the kernels in use.
void compare(size_t config, size_t partition) {
    const auto total = static_cast<size_t>(configs[config].total);
    const Rendered expected = render(configs[config], partitions[0].make(configs[config].total));
    const Rendered actual = render(configs[config], partitions[partition].make(configs[config].total));

    ASSERT_GT(expected.midi.size(), 20u);
    ASSERT_GT(peak(expected.left), 0.01f);
    ASSERT_EQ(expected.left.size(), total);
    EXPECT_TRUE(audioSane(actual.left));
    EXPECT_TRUE(audioSane(actual.right));
    EXPECT_EQ(actual.overruns, 0);
    EXPECT_EQ(expected.overruns, 0);
    EXPECT_TRUE(sameMessages(actual.midi, expected.midi))
        << "actual:" << describe(actual.midi) << "\nexpected:" << describe(expected.midi);
    ASSERT_EQ(actual.left.size(), total);
    ASSERT_EQ(actual.right.size(), total);
    // The same bits, also where released voices fall silent.
    const size_t l = firstDifference(actual.left, expected.left);
    const size_t r = firstDifference(actual.right, expected.right);
    EXPECT_EQ(l, total) << "left differs from frame " << l << ": " << (l < total ? actual.left[l] : 0.0f)
                        << " vs " << (l < total ? expected.left[l] : 0.0f);
    EXPECT_EQ(r, total) << "right differs from frame " << r;
}

class BlockPartition : public ::testing::TestWithParam<std::tuple<size_t, size_t>> {};

TEST_P(BlockPartition, SameMidiAndAudioAsAll512) {
    const auto [config, partition] = GetParam();
    forEachKernel([config = config, partition = partition] { compare(config, partition); });
}

INSTANTIATE_TEST_SUITE_P(Schedules, BlockPartition,
                         ::testing::Combine(::testing::Range<size_t>(0, std::size(configs)),
                                            ::testing::Range<size_t>(1, std::size(partitions))),
                         [](const auto& info) {
                             return std::string(configs[std::get<0>(info.param)].name) + "_" +
                                    partitions[std::get<1>(info.param)].name;
                         });

} // namespace
} // namespace velktest
