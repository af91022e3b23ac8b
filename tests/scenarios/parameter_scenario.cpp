// Parameters through the effect record's callbacks, at both levels
// (scenario_level.hpp): quantisation to whole steps, values and indices that
// must be ignored, a fuzz against the rounding rule, a sweep of every step
// while chords play, and changes from a second thread while blocks run. The
// values the instance holds are checked on it (tests/plugin/host/parameters_test.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <random>
#include <thread>
#include <vector>

#include "tests/scenarios/parameter_scenario.hpp"
#include "tests/support/waits.hpp"

namespace velktest {
namespace {

// The stored step, as the host reads it back and as the state saves it (the
// value itself, in double precision, is checked on the instance).
TEST_P(Quantisation, HostSetStoresTheSnappedValue) {
    const Quantised& q = GetParam();
    set(q.index, q.input);
    EXPECT_EQ(saved()[q.index], static_cast<float>(q.stored));
    EXPECT_EQ(get(q.index), static_cast<float>(q.stored));
}

INSTANTIATE_TEST_SUITE_P(Examples, Quantisation, ::testing::ValuesIn(quantisedExamples));

TEST_F(HostParameters, NonFiniteValuesAndForeignIndicesChangeNothing) {
    setAllToAQuarter();
    std::vector<float> before;
    for (int32_t i = 0; i < 16; ++i)
        before.push_back(get(i));
    const std::vector<float> stored = saved();
    sendNonFiniteAndForeign();
    const std::vector<float> after = saved();
    for (int32_t i = 0; i < 16; ++i) {
        EXPECT_EQ(get(i), before[i]) << params[i].name;
        EXPECT_EQ(after[i], stored[i]) << params[i].name;
    }
    for (int32_t i : foreign)
        EXPECT_EQ(get(i), 0.0f) << i;
    // Changes from the host are never reported back as edits.
    EXPECT_TRUE(calls(vst2::hostAutomate).empty());
    EXPECT_TRUE(calls(vst2::hostBeginEdit).empty());
    EXPECT_TRUE(calls(vst2::hostEndEdit).empty());
}

// The stored value for an input, by the rounding rule (halves away from zero).
float model(int32_t index, float value) {
    const ParamRange& p = params[index];
    const double c = std::clamp(static_cast<double>(value), 0.0, 1.0);
    double e = p.minimum + c * (p.maximum - p.minimum);
    if (index != palmtone::pVolume) e = std::round(e);
    return static_cast<float>(std::clamp((e - p.minimum) / (p.maximum - p.minimum), 0.0, 1.0));
}

TEST_F(HostParameters, FuzzFollowsTheRoundingRule) {
    std::mt19937 random(1234);
    std::uniform_int_distribution<int32_t> anyIndex(-3, 19);
    std::uniform_real_distribution<float> wide(-0.5f, 1.5f);
    std::uniform_int_distribution<int> pick(0, 9);
    std::vector<float> expected;
    for (int32_t i = 0; i < 16; ++i)
        expected.push_back(get(i));
    for (int n = 0; n < 20000; ++n) {
        const int32_t index = anyIndex(random);
        float value;
        switch (pick(random)) {
        case 0: value = std::nanf(""); break;
        case 1: value = pick(random) < 5 ? std::numeric_limits<float>::infinity() : -1e30f; break;
        case 2: {
            // Just beside a half step, where rounding decides.
            const int32_t i = std::clamp(index, 0, 15);
            const double steps = params[i].maximum - params[i].minimum;
            const float half = static_cast<float>((std::floor(wide(random) * steps) + 0.5) / steps);
            value = pick(random) < 5 ? std::nextafter(half, 2.0f) : std::nextafter(half, -1.0f);
            break;
        }
        default: value = wide(random);
        }
        set(index, value);
        if (index >= 0 && index < 16 && std::isfinite(value)) expected[index] = model(index, value);
        if (n % 97 == 0 || (index >= 0 && index < 16)) {
            for (int32_t i = 0; i < 16; ++i)
                ASSERT_EQ(get(i), expected[i])
                    << "after setting " << index << " to " << value << " (step " << n << ")";
        }
    }
}

// A suspend leaves a well-formed stream with no note on.
void endsWellFormed(const std::vector<Sent>& sent, const std::vector<int32_t>& sizes) {
    std::vector<std::vector<bool>> open;
    EXPECT_TRUE(midiWellFormed(sent, sizes, &open));
    for (int c = 0; c < 16; ++c)
        for (int n = 0; n < 128; ++n)
            EXPECT_FALSE(open[c][n]) << "channel " << c + 1 << " note " << n;
}

// Every step of every parameter reads back exactly, and sweeping each one over
// its range while chords play keeps the sound in range and the MIDI well formed.
TEST_F(HostParameters, SweepEveryParameterWhilePlaying) {
    std::vector<int32_t> sizes;
    queue(0, 0x90, 60, 100);
    queue(0, 0x91, 67, 90);
    queue(0, 0xB2, 64, 127);
    queue(0, 0x92, 50, 80);
    queue(1, 0x82, 50, 0);
    level().run(256);
    sizes.push_back(256);
    for (int32_t i = 0; i < 16; ++i) {
        const ParamRange& r = params[i];
        const bool volume = i == palmtone::pVolume;
        const int steps = volume ? 50 : static_cast<int>(std::min(r.maximum - r.minimum, 300.0));
        for (int k = 0; k <= steps; ++k) {
            const double unit = r.minimum + (r.maximum - r.minimum) * k / steps;
            const float value = normalised(i, volume ? unit : std::round(unit));
            set(i, value);
            if (!volume) {
                ASSERT_EQ(get(i), value) << r.name << " step " << k;
            }
            level().run(64);
            sizes.push_back(64);
            ASSERT_TRUE(audioSane(level().blockLeft())) << r.name << " step " << k;
            ASSERT_TRUE(audioSane(level().blockRight())) << r.name << " step " << k;
        }
        set(i, static_cast<float>(r.normalisedDefault));
    }
    suspend();
    endsWellFormed(sent(), sizes);
}

// The host changes parameters from its UI thread while its audio thread plays.
// The UI thread runs free; a block that finds it has not made a change since the
// last block waits for one, so more than a thousand changes land between the
// blocks however the two threads are scheduled.
TEST_F(HostParameters, ChangesFromASecondThreadWhileBlocksRun) {
    constexpr int blocks = 1500;
    std::atomic<bool> running{true};
    std::atomic<int64_t> changes{0};
    std::thread ui([&] {
        std::mt19937 random(99);
        std::uniform_int_distribution<int32_t> index(0, 15);
        std::uniform_real_distribution<float> value(-0.2f, 1.2f);
        while (running.load()) {
            const int32_t i = index(random);
            set(i, changes % 50 == 0 ? std::nanf("") : value(random));
            (void)get(index(random));
            ++changes;
        }
    });
    // Ends the UI thread, also when an assertion ends the test early.
    auto stopUi = [&] {
        running.store(false);
        if (ui.joinable()) ui.join();
    };
    struct Stop {
        decltype(stopUi)& stop;
        ~Stop() { stop(); }
    } stopAtExit{stopUi};

    std::mt19937 random(7);
    std::uniform_int_distribution<int> key(36, 96), velocity(1, 127), offset(0, 255), channel(0, 15);
    std::vector<int32_t> sizes;
    int64_t before = 0;
    for (int block = 0; block < blocks; ++block) {
        ASSERT_TRUE(waitFor([&] { return changes.load() > before; }))
            << "the UI thread made no change before block " << block << " (" << before << " so far)";
        before = changes.load();
        for (int e = 0; e < 3; ++e)
            queue(offset(random), (e == 2 ? 0x80 : 0x90) | channel(random), key(random), velocity(random));
        level().run(256);
        sizes.push_back(256);
    }
    stopUi();
    EXPECT_GT(changes.load(), 1000);

    // The tempo query and the MIDI lists came from the blocks, on the thread running them.
    for (const HostCall& call : calls()) {
        if (call.opcode == vst2::hostGetTime || call.opcode == vst2::hostProcessEvents) {
            EXPECT_GE(call.block, 0);
            EXPECT_TRUE(onThisThread(call));
        }
    }
    for (int32_t i = 0; i < 16; ++i) {
        const ParamRange& r = params[i];
        // Whatever the race, the value read back is a whole step.
        const float stored = get(i);
        const double step = std::round(r.minimum + stored * (r.maximum - r.minimum));
        if (i != palmtone::pVolume) {
            EXPECT_EQ(stored, static_cast<float>((step - r.minimum) / (r.maximum - r.minimum))) << r.name;
        }
    }
    suspend();
    endsWellFormed(sent(), sizes);
}

} // namespace
} // namespace velktest
