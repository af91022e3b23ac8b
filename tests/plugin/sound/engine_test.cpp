// The fast renderer against the literal sound model, over scripted note
// sequences, sample rates and piece sizes; plus the facts a listener hears.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "plugin/sound/engine.hpp"
#include "plugin/sound/engine_kernels.hpp"
#include "tests/plugin/sound/reference_engine.hpp"
#include "tests/support/kernel_choice.hpp"

namespace {

using palmtone::Engine;
using palmtone::Settings;
using velktest::ReferenceEngine;

struct Pair {
    std::unique_ptr<Engine> fast = std::make_unique<Engine>();
    std::unique_ptr<ReferenceEngine> ref = std::make_unique<ReferenceEngine>();
    Settings settings;

    explicit Pair(double rate) {
        for (int n = 0; n < 128; ++n)
            fast->frequency[n] = palmtone::noteFrequency(n);
        fast->sampleRate.store(rate);
        ref->sampleRate = rate;
    }

    // What note evaluation does when a note starts or stops sounding.
    void start(int n, int velocity) {
        fast->gate[n] = ref->gate[n] = true;
        fast->velocity[n] = ref->velocity[n] = velocity;
        fast->lastUseWave = settings.useWave;
        fast->startNote(n);
        ref->age[n] = 0.0;
        ref->position[n] = 0.0;
        ref->sampleActive[n] = true;
        if (settings.useWave) ref->envelope[n] = 0.0;
    }
    void stop(int n) { fast->gate[n] = ref->gate[n] = false; }

    void useSample(const palmtone::SampleData* s) { fast->sample = ref->sample = s; }

    // Renders `frames` in pieces of `piece` and compares output and state.
    void renderAndCompare(int frames, int piece, bool buffers = true) {
        std::vector<float> fl(frames, 9.0f), fr(frames, 9.0f), rl(frames, 9.0f), rr(frames, 9.0f);
        for (int done = 0; done < frames; done += piece) {
            const int m = std::min(piece, frames - done);
            fast->render(buffers ? fl.data() + done : nullptr, buffers ? fr.data() + done : nullptr, m,
                         settings);
            ref->render(buffers ? rl.data() + done : nullptr, buffers ? rr.data() + done : nullptr, m,
                        settings);
            ASSERT_NEAR(fast->peak.load(), ref->peak, 1e-6);
        }
        for (int i = 0; i < frames; ++i) {
            ASSERT_NEAR(fl[i], rl[i], 1e-6) << "left frame " << i;
            ASSERT_NEAR(fr[i], rr[i], 1e-6) << "right frame " << i;
        }
        for (int n = 0; n < 128; ++n) {
            // A voice that fell silent stops at 0 instead of sinking on below
            // the silence level.
            if (!(ref->envelope[n] < 0.000001 && fast->envelope[n] == 0.0)) {
                ASSERT_NEAR(fast->envelope[n], ref->envelope[n], 1e-9) << "note " << n;
            }
            ASSERT_NEAR(fast->age[n], ref->age[n], 1e-9) << "note " << n;
            ASSERT_NEAR(std::remainder(fast->phase[n] - ref->phase[n], 2 * 3.14159265358979323846), 0.0, 1e-7)
                << "note " << n;
            ASSERT_NEAR(fast->position[n], ref->position[n], 1e-6) << "note " << n;
            ASSERT_EQ(fast->sampleActive[n], ref->sampleActive[n]) << "note " << n;
        }
        ASSERT_NEAR(fast->gain, ref->gain, 1e-12);
    }
};

using velktest::forEachKernel; // SSE2, then AVX2 or a skip that says why not

struct Scenario {
    double rate;
    int piece;
};

std::ostream& operator<<(std::ostream& out, const Scenario& s) {
    return out << s.rate << " Hz in pieces of " << s.piece;
}

void chordsAttackReleaseAndRetrigger(const Scenario& sc) {
    Pair p(sc.rate);
    const int block = static_cast<int>(sc.rate / 20); // 50 ms steps
    for (int n : {60, 64, 67, 71, 74})
        p.start(n, 100);
    p.renderAndCompare(block, sc.piece);
    p.stop(64);
    p.stop(60);
    p.start(62, 40); // starts while others sound
    p.renderAndCompare(block, sc.piece);
    p.start(60, 127); // retrigger: envelope and phase run on
    p.settings.volume = 0.2;
    p.renderAndCompare(block, sc.piece);
    for (int n = 0; n < 128; ++n)
        p.stop(n);
    // Long release: voices cross the silence threshold inside pieces.
    for (int i = 0; i < 50; ++i)
        p.renderAndCompare(block, sc.piece);
}

class SynthMatchesModel : public ::testing::TestWithParam<Scenario> {};

TEST_P(SynthMatchesModel, ChordsAttackReleaseAndRetrigger) {
    const Scenario sc = GetParam();
    forEachKernel([&] { chordsAttackReleaseAndRetrigger(sc); });
}

INSTANTIATE_TEST_SUITE_P(Rates, SynthMatchesModel,
                         ::testing::Values(Scenario{48000, 512}, Scenario{48000, 1}, Scenario{48000, 3},
                                           Scenario{44100, 127}, Scenario{8000, 257}, Scenario{96000, 1000},
                                           Scenario{384000, 4096}, Scenario{22050, 256}));

TEST(SynthMatchesModel, AllVoicesAndExtremeNotes) {
    forEachKernel([] {
        Pair p(8000); // notes above the sample rate: the phase step exceeds 2 pi
        for (int n = 0; n < 128; ++n)
            p.start(n, 1 + n % 127);
        p.renderAndCompare(3000, 512);
        for (int n = 0; n < 128; n += 2)
            p.stop(n);
        p.renderAndCompare(3000, 700);
    });
}

TEST(SynthMatchesModel, NullBuffersAdvanceVoicesAndPeak) {
    forEachKernel([] {
        Pair p(48000);
        p.start(69, 90);
        p.renderAndCompare(1000, 128, false);
        EXPECT_GT(p.fast->peak.load(), 0.0f);
        p.renderAndCompare(1000, 128, true);
    });
}

TEST(SynthMatchesModel, RandomScript) {
    forEachKernel([] {
        std::mt19937 random(7);
        Pair p(44100);
        for (int step = 0; step < 200; ++step) {
            const int n = static_cast<int>(random() % 128);
            if (random() % 2)
                p.start(n, 1 + static_cast<int>(random() % 127));
            else
                p.stop(n);
            if (random() % 10 == 0) p.settings.volume = (random() % 101) / 100.0;
            p.renderAndCompare(1 + static_cast<int>(random() % 700), 1 + static_cast<int>(random() % 300));
        }
    });
}

palmtone::SampleData makeSample(int frames, double rate, bool stereo) {
    palmtone::SampleData s;
    s.sampleRate = rate;
    for (int i = 0; i < frames; ++i) {
        s.left.push_back(static_cast<float>(std::sin(i * 0.05) * 0.8));
        if (stereo) s.right.push_back(static_cast<float>(std::cos(i * 0.03) * 0.5));
    }
    return s;
}

TEST(OneShotMatchesModel, FollowKeyAndWholeFile) {
    forEachKernel([] {
        for (bool whole : {false, true}) {
            for (bool stereo : {false, true}) {
                Pair p(48000);
                const auto sample = makeSample(20000, 44100, stereo);
                p.settings.useWave = true;
                p.settings.wholeOneShot = whole;
                p.settings.waveRoot = 57;
                p.useSample(&sample);
                for (int n : {48, 60, 72, 84})
                    p.start(n, 110);
                p.renderAndCompare(4800, 333);
                p.stop(60);
                p.stop(84); // plays on to its end in whole-file mode
                for (int i = 0; i < 20; ++i)
                    p.renderAndCompare(4800, 480);
            }
        }
    });
}

TEST(OneShotMatchesModel, AReleasedVoiceThatFellSilentHasEnded) {
    forEachKernel([] {
        Pair p(48000);
        const auto sample = makeSample(48000 * 5, 48000, true);
        p.settings.useWave = true; // following the key
        p.useSample(&sample);
        for (int n : {60, 64})
            p.start(n, 100);
        p.renderAndCompare(4800, 512);
        for (int n : {60, 64})
            p.stop(n);
        // 1.2 s: the 0.08 s release takes 1.105 s from full level down to the
        // silence level; the file is still far from its end.
        p.renderAndCompare(57600, 480);
        for (int n : {60, 64})
            EXPECT_FALSE(p.fast->sampleActive[n]) << n;
        p.settings.wholeOneShot = true; // would play the rest of the file if it still ran
        p.renderAndCompare(4800, 512);
        EXPECT_EQ(p.fast->peak.load(), 0.0f);
    });
}

TEST(OneShotMatchesModel, TwoFrameFileAndNoFile) {
    forEachKernel([] {
        Pair p(48000);
        const auto tiny = makeSample(2, 48000, false);
        p.settings.useWave = true;
        p.useSample(&tiny);
        p.start(60, 100);
        p.renderAndCompare(50, 7);
        EXPECT_FALSE(p.fast->sampleActive[60]); // the file ended after one interpolated frame

        Pair silent(48000); // the WAV sound selected without a file: silence, envelopes still move
        silent.settings.useWave = true;
        silent.start(60, 100);
        silent.renderAndCompare(500, 100);
        EXPECT_GT(silent.fast->envelope[60], 0.9);
        EXPECT_EQ(silent.fast->peak.load(), 0.0f);
    });
}

// Whatever the sums, the output stage writes samples within -1..1 and never
// -0: the count-in's mix skips blocks without a click on that ground.
TEST(Engine, OutputStageStaysInRangeAndNeverWritesNegativeZero) {
    forEachKernel([] {
        const std::vector<double> sums = {0.0, -0.0, -1e-300, -1e-20, -1e-17, 1e-20,  -1e-12, -0.3,
                                          0.3, -2.0, 19.9,    -25.0,  1e300,  -1e300, 5e-324};
        const int n = static_cast<int>(sums.size());
        std::vector<double> accL(sums), accR(sums.rbegin(), sums.rend()), gains(n, 1.0);
        for (auto* v : {&accL, &accR, &gains})
            v->resize(n + Engine::maxLanes, 0.0);
        std::vector<float> left(n), right(n);
        palmtone::kernel::active().outputStage(accL.data(), accR.data(), gains.data(), n, left.data(),
                                               right.data());
        for (int i = 0; i < n; ++i) {
            for (float x : {left[i], right[i]}) {
                EXPECT_LE(std::fabs(x), 1.0f) << i;
                EXPECT_FALSE(x == 0.0f && std::signbit(x)) << "-0 from sum " << sums[i];
            }
        }
    });
}

TEST(Engine, ZeroFramesLeaveBuffersAndClearPeak) {
    Pair p(48000);
    p.start(60, 100);
    p.renderAndCompare(100, 100);
    float l = 5.0f, r = 5.0f;
    p.fast->render(&l, &r, 0, p.settings);
    EXPECT_EQ(l, 5.0f);
    EXPECT_EQ(p.fast->peak.load(), 0.0f);
}

TEST(Engine, ReleasedEnvelopeEndsAtExactZero) {
    Pair p(48000);
    p.start(60, 100);
    p.renderAndCompare(4800, 512);
    p.stop(60);
    std::vector<float> out(48000);
    for (int i = 0; i < 20; ++i)
        p.fast->render(out.data(), out.data(), 48000, p.settings);
    EXPECT_EQ(p.fast->envelope[60], 0.0); // never a denormal tail
}

TEST(Engine, EnvelopeTimeConstants) {
    Pair p(48000);
    p.start(60, 100);
    p.fast->render(nullptr, nullptr, 384, p.settings); // 8 ms
    EXPECT_NEAR(p.fast->envelope[60], 1.0 - std::exp(-1.0), 1e-3);
    p.fast->render(nullptr, nullptr, 48000, p.settings);
    const double held = p.fast->envelope[60];
    p.stop(60);
    p.fast->render(nullptr, nullptr, 7680, p.settings); // 160 ms
    EXPECT_NEAR(p.fast->envelope[60] / held, std::exp(-1.0), 1e-3);
}

// How many doubles of the engine's state are subnormal numbers.
int subnormals(const Engine& e) {
    int count = 0;
    auto scan = [&](const double* v, size_t n) {
        for (size_t i = 0; i < n; ++i)
            count += std::fpclassify(v[i]) == FP_SUBNORMAL;
    };
    for (const double* voices : {e.phase, e.envelope, e.age, e.frequency, e.position, e.oscSin, e.oscCos,
                                 e.oscFade2, e.oscLevel, e.stepCos, e.stepSin})
        scan(voices, Engine::voices);
    for (double x : {e.gain, e.renderRate, e.glideFrom, e.glideTo})
        scan(&x, 1);
    scan(&e.laneLeft[0][0], sizeof e.laneLeft / sizeof(double));
    scan(&e.laneRight[0][0], sizeof e.laneRight / sizeof(double));
    for (const double* mix : {e.mixLeft, e.mixRight, e.mixGain})
        scan(mix, sizeof e.mixLeft / sizeof(double));
    return count;
}

// A chord held for twenty minutes at 48000 Hz: the partials' decays sink for
// minutes, yet no value of the engine's state becomes subnormal, and the
// output stays on the model to the end. The model is carried through the long
// stretch without its output (ReferenceEngine::advance).
void holdForTwentyMinutes(bool wave) {
    Pair p(48000);
    const auto sample = makeSample(10000, 8000, false); // slowed to last beyond twenty minutes
    std::vector<int> chord = {48, 52, 55, 59, 62};
    if (wave) {
        p.settings.useWave = true;
        p.settings.wholeOneShot = true;
        p.settings.waveRoot = 127;
        p.useSample(&sample);
        chord = {0, 4, 7};
    }
    for (int n : chord)
        p.start(n, 100);
    p.renderAndCompare(48000, 512);
    constexpr int64_t stretch = 48000 * 10;
    for (int64_t second = 1; second < 20 * 60; second += 10) {
        for (int64_t done = 0; done < stretch; done += 4000)
            p.fast->render(nullptr, nullptr, 4000, p.settings);
        p.ref->advance(stretch, p.settings, chord);
        ASSERT_EQ(subnormals(*p.fast), 0) << "after " << second + 10 << " s";
    }
    // Twenty minutes and a second in: the output within 1e-6 of the model.
    std::vector<float> fl(48000), fr(48000), rl(48000), rr(48000);
    p.fast->render(fl.data(), fr.data(), 48000, p.settings);
    p.ref->render(rl.data(), rr.data(), 48000, p.settings);
    for (int i = 0; i < 48000; ++i) {
        ASSERT_NEAR(fl[i], rl[i], 1e-6) << "left frame " << i;
        ASSERT_NEAR(fr[i], rr[i], 1e-6) << "right frame " << i;
    }
    EXPECT_GT(p.fast->peak.load(), 0.05f); // still sounding
    for (int n : chord)
        EXPECT_EQ(p.fast->oscFade2[n], 0.0) << n; // flushed, not crawling
    EXPECT_EQ(subnormals(*p.fast), 0);
}

// Each case runs as a test of its own in CTest (tests/plugin/CMakeLists.txt).
struct LongNote {
    const char* name;
    bool wave;
    bool wide; // the AVX2 kernels, else SSE2
};

std::ostream& operator<<(std::ostream& out, const LongNote& c) {
    return out << c.name;
}

class HeldForTwentyMinutes : public ::testing::TestWithParam<LongNote> {};

TEST_P(HeldForTwentyMinutes, StaysNormalAndOnTheModel) {
    const LongNote c = GetParam();
    if (c.wide && !palmtone::kernel::wideAvailable()) GTEST_SKIP() << "this CPU has no AVX2 and FMA";
    palmtone::kernel::useWide(c.wide);
    holdForTwentyMinutes(c.wave);
    palmtone::kernel::useWide(true);
}

INSTANTIATE_TEST_SUITE_P(Chords, HeldForTwentyMinutes,
                         ::testing::Values(LongNote{"SynthSse2", false, false},
                                           LongNote{"SynthAvx2", false, true},
                                           LongNote{"OneShot", true, false}),
                         [](const ::testing::TestParamInfo<LongNote>& info) {
                             return std::string(info.param.name);
                         });

TEST(Engine, FrequencyTable) {
    EXPECT_DOUBLE_EQ(palmtone::noteFrequency(69), 440.0);
    EXPECT_NEAR(palmtone::noteFrequency(60), 261.6255653, 1e-6);
}

} // namespace

namespace {

// The same note script rendered in different pieces gives the same bits, also
// with more voices than one vector batch holds and with voices falling silent.
TEST(Engine, PiecesDoNotChangeTheSamples) {
    forEachKernel([] {
        struct Change {
            int frame, note;
            bool on;
        };
        std::vector<Change> script;
        for (int n = 30; n < 90; ++n)
            script.push_back({(n - 30) * 37, n, true});
        for (int n = 30; n < 90; n += 3)
            script.push_back({2400 + (n - 30) * 11, n, false});
        for (int n = 31; n < 90; n += 3)
            script.push_back({5000 + (n - 30) * 7, n, false});
        std::sort(script.begin(), script.end(),
                  [](const Change& a, const Change& b) { return a.frame < b.frame; });
        constexpr int total = 28000; // 3.5 s at 8000 Hz: the released voices fall silent

        auto play = [&](int piece) {
            auto e = std::make_unique<Engine>();
            for (int n = 0; n < 128; ++n)
                e->frequency[n] = palmtone::noteFrequency(n);
            e->sampleRate.store(8000.0);
            Settings s;
            std::vector<float> left(total), right(total);
            size_t next = 0;
            for (int done = 0; done < total;) {
                // Cut at every change, and at the piece size in between.
                int until = std::min(total, done + piece);
                if (next < script.size() && script[next].frame < until)
                    until = std::max(done, script[next].frame);
                if (until > done) {
                    e->render(left.data() + done, right.data() + done, until - done, s);
                    done = until;
                }
                while (next < script.size() && script[next].frame == done) {
                    const Change& c = script[next++];
                    e->gate[c.note] = c.on;
                    e->velocity[c.note] = 100;
                    if (c.on) e->startNote(c.note);
                }
            }
            left.insert(left.end(), right.begin(), right.end());
            return left;
        };
        const std::vector<float> whole = play(total);
        for (int piece : {1, 7, 512, 1000}) {
            const std::vector<float> cut = play(piece);
            EXPECT_EQ(std::memcmp(cut.data(), whole.data(), whole.size() * sizeof(float)), 0) << piece;
        }
    });
}

} // namespace
