// Parameters through the record: quantisation to whole steps, values that must be
// ignored, a fuzz against the rounding rule, and changes from a second thread
// while blocks run.
#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <limits>
#include <random>
#include <thread>

#include "tests/host/plugin_fixture.hpp"

namespace hosttest {
namespace {

struct StepCase {
    int32_t index;
    float set;
    float stored;
};

std::ostream& operator<<(std::ostream& out, const StepCase& c) {
    return out << params[c.index].name << " set " << c.set;
}

class Quantisation : public PluginTest, public ::testing::WithParamInterface<StepCase> {};

TEST_P(Quantisation, StoresTheWholeStep) {
    const StepCase& c = GetParam();
    host->setParameter(c.index, c.set);
    EXPECT_EQ(host->getParameter(c.index), c.stored);
}

INSTANTIATE_TEST_SUITE_P(Examples, Quantisation,
                         ::testing::Values(StepCase{octava, 0.125f, 0.0f}, // -1.5 rounds away from zero to -2
                                           StepCase{octava, 0.375f, 0.25f}, // -0.5 to -1
                                           StepCase{octava, 0.625f, 0.75f}, // 0.5 to 1
                                           StepCase{octava, 0.5f, 0.5f},
                                           StepCase{tonica, 0.5f, static_cast<float>(6.0 / 11.0)},
                                           StepCase{canal, 0.5f, static_cast<float>(8.0 / 15.0)},
                                           StepCase{bpm, 0.5f, 0.5f}, StepCase{invers, 0.125f, 0.25f},
                                           StepCase{escala, 0.5f, static_cast<float>(15.0 / 29.0)},
                                           StepCase{acordes, 0.8f, static_cast<float>(2.0 / 3.0)},
                                           StepCase{acordes, 0.84f, 1.0f}, StepCase{escala12, 0.5f, 0.5f},
                                           StepCase{raizWav, 0.5f, static_cast<float>(64.0 / 127.0)},
                                           StepCase{sonido, 0.49f, 0.0f}, StepCase{sonido, 0.5f, 1.0f},
                                           StepCase{midiOut, 0.4f, 0.0f},
                                           StepCase{volumen, 0.123f, 0.123f}, // continuous: only clamped
                                           StepCase{volumen, 1.5f, 1.0f}, StepCase{volumen, -0.2f, 0.0f},
                                           StepCase{tonica, 7.0f, 1.0f}, StepCase{canal, -3.0f, 0.0f},
                                           StepCase{bpm, std::numeric_limits<float>::max(), 1.0f},
                                           StepCase{bpm, std::numeric_limits<float>::denorm_min(), 0.0f}));

TEST_F(PluginTest, NonFiniteValuesAndForeignIndicesChangeNothing) {
    for (int32_t i = 0; i < 16; ++i)
        host->setParameter(i, 0.25f);
    std::vector<float> before;
    for (int32_t i = 0; i < 16; ++i)
        before.push_back(host->getParameter(i));
    const float inf = std::numeric_limits<float>::infinity();
    for (int32_t i = 0; i < 16; ++i)
        for (float v : {std::nanf(""), -std::nanf(""), inf, -inf})
            host->setParameter(i, v);
    for (int32_t i : {16, 17, -1, INT_MIN, INT_MAX})
        host->setParameter(i, 0.9f);
    for (int32_t i = 0; i < 16; ++i)
        EXPECT_EQ(host->getParameter(i), before[i]) << params[i].name;
    for (int32_t i : {16, 17, -1, INT_MIN, INT_MAX})
        EXPECT_EQ(host->getParameter(i), 0.0f) << i;
    // Changes from the host are never reported back as edits.
    EXPECT_TRUE(host->calls(vst2::hostAutomate).empty());
    EXPECT_TRUE(host->calls(vst2::hostBeginEdit).empty());
    EXPECT_TRUE(host->calls(vst2::hostEndEdit).empty());
}

// The stored value for an input, by the rounding rule (halves away from zero).
float model(int32_t index, float value) {
    const ParamRange& p = params[index];
    const double c = std::clamp(static_cast<double>(value), 0.0, 1.0);
    double e = p.minimum + c * (p.maximum - p.minimum);
    if (index != volumen) e = std::round(e);
    return static_cast<float>(std::clamp((e - p.minimum) / (p.maximum - p.minimum), 0.0, 1.0));
}

TEST_F(PluginTest, FuzzFollowsTheRoundingRule) {
    std::mt19937 random(1234);
    std::uniform_int_distribution<int32_t> anyIndex(-3, 19);
    std::uniform_real_distribution<float> wide(-0.5f, 1.5f);
    std::uniform_int_distribution<int> pick(0, 9);
    std::vector<float> expected;
    for (int32_t i = 0; i < 16; ++i)
        expected.push_back(host->getParameter(i));
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
        host->setParameter(index, value);
        if (index >= 0 && index < 16 && std::isfinite(value)) expected[index] = model(index, value);
        if (n % 97 == 0 || (index >= 0 && index < 16)) {
            for (int32_t i = 0; i < 16; ++i)
                ASSERT_EQ(host->getParameter(i), expected[i])
                    << "after setting " << index << " to " << value << " (step " << n << ")";
        }
    }
}

// Every step of every parameter reads back exactly, and sweeping each one over
// its range while chords play keeps the sound in range and the MIDI well formed.
TEST_F(PluginTest, SweepEveryParameterWhilePlaying) {
    std::vector<int32_t> sizes;
    vsthost::play(
        *host,
        {{0, 0x90, 60, 100}, {0, 0x91, 67, 90}, {0, 0xB2, 64, 127}, {0, 0x92, 50, 80}, {1, 0x82, 50, 0}},
        {256});
    sizes.push_back(256);
    for (int32_t i = 0; i < 16; ++i) {
        const ParamRange& p = params[i];
        const int steps = i == volumen ? 50 : static_cast<int>(std::min(p.maximum - p.minimum, 300.0));
        for (int k = 0; k <= steps; ++k) {
            const double unit = p.minimum + (p.maximum - p.minimum) * k / steps;
            const float value = normalised(i, i == volumen ? unit : std::round(unit));
            host->setParameter(i, value);
            if (i != volumen) {
                ASSERT_EQ(host->getParameter(i), value) << p.name << " step " << k;
            }
            host->process(64);
            sizes.push_back(64);
            ASSERT_TRUE(audioSane(host->blockLeft())) << p.name << " step " << k;
            ASSERT_TRUE(audioSane(host->blockRight())) << p.name << " step " << k;
        }
        host->setParameter(i, static_cast<float>(p.normalisedDefault));
    }
    host->suspend();
    std::vector<std::vector<bool>> open;
    EXPECT_TRUE(midiWellFormed(host->received(), sizes, &open));
    for (int c = 0; c < 16; ++c)
        for (int n = 0; n < 128; ++n)
            EXPECT_FALSE(open[c][n]) << "channel " << c + 1 << " note " << n;
}

// The host changes parameters from its UI thread while its audio thread plays.
TEST_F(PluginTest, ChangesFromASecondThreadWhileBlocksRun) {
    std::atomic<bool> running{true};
    std::atomic<int64_t> changes{0};
    std::thread ui([&] {
        std::mt19937 random(99);
        std::uniform_int_distribution<int32_t> index(0, 15);
        std::uniform_real_distribution<float> value(-0.2f, 1.2f);
        while (running.load()) {
            const int32_t i = index(random);
            host->setParameter(i, changes % 50 == 0 ? std::nanf("") : value(random));
            (void)host->getParameter(index(random));
            ++changes;
            if (changes % 64 == 0) std::this_thread::yield();
        }
    });

    std::mt19937 random(7);
    std::uniform_int_distribution<int> key(36, 96), velocity(1, 127), offset(0, 255), channel(0, 15);
    std::vector<int32_t> sizes;
    const uint32_t audioThread = vsthost::currentThreadId();
    for (int block = 0; block < 1500; ++block) {
        std::vector<vsthost::BlockMidi> events;
        for (int e = 0; e < 3; ++e) {
            const auto status = static_cast<uint8_t>((e == 2 ? 0x80 : 0x90) | channel(random));
            events.push_back({offset(random), status, static_cast<uint8_t>(key(random)),
                              static_cast<uint8_t>(velocity(random))});
        }
        host->sendEvents(events);
        host->process(256);
        sizes.push_back(256);
    }
    running.store(false);
    ui.join();
    EXPECT_GT(changes.load(), 1000);

    for (const auto& call : host->calls()) {
        if (call.opcode == vst2::hostGetTime || call.opcode == vst2::hostProcessEvents) {
            EXPECT_TRUE(call.inProcess);
            EXPECT_EQ(call.thread, audioThread);
        }
    }
    for (int32_t i = 0; i < 16; ++i) {
        const ParamRange& p = params[i];
        // Whatever the race, the value read back is a whole step.
        const float stored = host->getParameter(i);
        const double step = std::round(p.minimum + stored * (p.maximum - p.minimum));
        if (i != volumen) {
            EXPECT_EQ(stored, static_cast<float>((step - p.minimum) / (p.maximum - p.minimum))) << p.name;
        }
    }
    std::vector<std::vector<bool>> open;
    host->suspend();
    EXPECT_TRUE(midiWellFormed(host->received(), sizes, &open));
    for (int c = 0; c < 16; ++c)
        for (int n = 0; n < 128; ++n)
            EXPECT_FALSE(open[c][n]) << "channel " << c + 1 << " note " << n;
}

} // namespace
} // namespace hosttest
