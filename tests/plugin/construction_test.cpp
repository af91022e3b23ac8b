// A new instance: its effect record, the initial value of every member the other
// parts rely on, and the record's thin callbacks with a broken record.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/support/test_host.hpp"

namespace {

using velktest::TestHost;

TEST(Construction, EffectRecordPointsBackAndDescribesAnInstrument) {
    TestHost host;
    const vst2::Effect& e = *host.effect();
    EXPECT_EQ(e.magic, 0x56737450);
    EXPECT_EQ(e.numPrograms, 1);
    EXPECT_EQ(e.numParams, 16);
    EXPECT_EQ(e.numInputs, 0);
    EXPECT_EQ(e.numOutputs, 2);
    EXPECT_EQ(e.flags, 0x131);
    EXPECT_EQ(e.uniqueId, 0x564B4231);
    EXPECT_EQ(e.version, 1300);
    EXPECT_EQ(e.ioRatio, 1.0f);
    EXPECT_EQ(e.initialDelay, 0);
    EXPECT_EQ(e.object, &host.plugin());
    EXPECT_EQ(e.dispatcher, &palmtone::Plugin::dispatcher);
    EXPECT_EQ(e.process, &palmtone::Plugin::replacing);
    EXPECT_EQ(e.processReplacing, &palmtone::Plugin::replacing);
    EXPECT_EQ(e.processDoubleReplacing, nullptr);
    EXPECT_EQ(e.setParameter, &palmtone::Plugin::setParameter);
    EXPECT_EQ(e.getParameter, &palmtone::Plugin::getParameter);
    EXPECT_EQ(e.reserved1, 0);
    EXPECT_EQ(e.reserved2, 0);
    for (char c : e.future)
        EXPECT_EQ(c, 0);
}

TEST(Construction, CallsNothingOnTheHost) {
    TestHost host;
    EXPECT_TRUE(host.calls.empty());
}

TEST(Construction, FreshParametersReadBackAsTheirDefaults) {
    TestHost host;
    const double expected[16] = {0, 0,       2.0 / 3,       0, 0.5, 0.65, 0,          0,
                                 1, 1.0 / 3, 2740.0 / 4094, 0, 0,   0,    60.0 / 127, 0};
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(host.plugin().params[i].load(), expected[i]) << "index " << i;
        EXPECT_EQ(palmtone::Plugin::getParameter(host.effect(), i), static_cast<float>(expected[i]))
            << "index " << i;
    }
}

TEST(Construction, MembersStartAtTheirInitialValues) {
    TestHost host;
    palmtone::Plugin& p = host.plugin();
    EXPECT_EQ(p.sampleRate.load(), 48000.0);
    EXPECT_EQ(p.blockSize, 512);
    EXPECT_EQ(p.blockEventCount, 0);
    // The editor's ring starts empty with every slot free and in range: it takes
    // `capacity` events, refuses the next and hands them back oldest first.
    EXPECT_TRUE(p.uiEvents.empty());
    constexpr int32_t capacity = int32_t(palmtone::UiEventRing::capacity);
    for (int32_t i = 0; i < capacity; ++i)
        ASSERT_TRUE(p.uiEvents.push({0, 0x90, i % 128, 100, i})) << "event " << i;
    EXPECT_FALSE(p.uiEvents.push({0, 0x90, 0, 100, capacity}));
    EXPECT_EQ(p.uiEvents.size(), palmtone::UiEventRing::capacity);
    for (int32_t i = 0; i < capacity; ++i)
        ASSERT_TRUE(p.uiEvents.take([&](const palmtone::InputEvent& e) { EXPECT_EQ(e.order, i); }));
    EXPECT_TRUE(p.uiEvents.empty());
    EXPECT_FALSE(p.overflow.load());
    EXPECT_FALSE(p.resetRequest.load());
    EXPECT_EQ(p.outList.numEvents, 0);
    EXPECT_EQ(p.outChannel, 0);
    EXPECT_EQ(p.editor, nullptr);
    EXPECT_EQ(p.tempo.load(), 120.0);
    EXPECT_FALSE(p.tempoFromHost.load());
    for (bool on : p.outOn)
        EXPECT_FALSE(on);

    const palmtone::Engine& e = p.engine;
    for (const auto& row : e.heldKeys) {
        for (const palmtone::HeldKey& k : row) {
            ASSERT_FALSE(k.down);
            ASSERT_FALSE(k.active);
            ASSERT_EQ(k.velocity, 100);
            ASSERT_EQ(k.chord.count, 0);
            ASSERT_EQ(k.chord.root, -1);
            for (int n : k.chord.notes)
                ASSERT_EQ(n, 0);
        }
    }
    EXPECT_EQ(e.frequency[69], 440.0);
    EXPECT_NEAR(e.frequency[60], 261.6256, 1e-4);
    EXPECT_NEAR(e.frequency[0], 440.0 * std::pow(2.0, -69.0 / 12), 1e-9);
    EXPECT_NEAR(e.frequency[127], 440.0 * std::pow(2.0, 58.0 / 12), 1e-6);
    EXPECT_EQ(e.sampleRate.load(), 48000.0);
    EXPECT_EQ(e.gain, 0.65);
    EXPECT_FALSE(e.lastSettingsValid);
    EXPECT_EQ(e.sample, nullptr);
    EXPECT_EQ(e.sampleSerial, 0);
    EXPECT_FALSE(e.lastUseWave);
    EXPECT_EQ(e.lastChordRoot.load(), -1);
    EXPECT_EQ(e.peak.load(), 0.0f);
    EXPECT_EQ(e.soundingCount.load(), 0);
    for (int n = 0; n < 128; ++n) {
        ASSERT_FALSE(e.gate[n]);
        ASSERT_EQ(e.noteRefCount[n], 0);
        ASSERT_EQ(e.velocity[n], 0);
    }

    EXPECT_EQ(p.capture.state.load(), tamso::Idle);
    EXPECT_EQ(p.capture.entryCount, 0);
    EXPECT_EQ(p.capture.takeTempo, 120.0);
    EXPECT_FALSE(p.capture.recording);

    EXPECT_EQ(p.countIn.request.load(), palmtone::CountIn::Command::none);
    EXPECT_EQ(p.countIn.remaining, 0);
    EXPECT_EQ(p.countIn.rate, 48000.0);
    EXPECT_EQ(p.countIn.clickFrequency, 1400.0);
    EXPECT_FALSE(p.countIn.active.load());
    EXPECT_EQ(p.countIn.secondsLeft.load(), 0);

    EXPECT_EQ(p.bank.published.load(), nullptr);
    EXPECT_EQ(p.bank.inUse.load(), nullptr);
    EXPECT_EQ(p.bank.nextSerial, 1);
    EXPECT_EQ(p.bank.revision.load(), 0);
}

TEST(Construction, CallbacksWithoutAnInstanceDoNothing) {
    TestHost host;
    vst2::Effect orphan = *host.effect();
    orphan.object = nullptr;
    for (vst2::Effect* broken : {static_cast<vst2::Effect*>(nullptr), &orphan}) {
        EXPECT_EQ(palmtone::Plugin::dispatcher(broken, 1, 0, 0, nullptr, 0.0f), 0);
        EXPECT_EQ(palmtone::Plugin::dispatcher(broken, 49, 0, 0, nullptr, 0.0f), 0);
        EXPECT_EQ(palmtone::Plugin::getParameter(broken, 0), 0.0f);
        palmtone::Plugin::setParameter(broken, 0, 1.0f);

        std::vector<float> l(16, 7.0f), r(16, 7.0f);
        float* outputs[2] = {l.data(), r.data()};
        palmtone::Plugin::replacing(broken, nullptr, outputs, 16);
        for (int i = 0; i < 16; ++i)
            ASSERT_TRUE(l[i] == 7.0f && r[i] == 7.0f);
    }
    // The instance behind the copied record was left alone.
    EXPECT_EQ(host.plugin().params[0].load(), 0.0);
    host.run(16);
    EXPECT_EQ(host.blocks, 1);
}

// The host calls these from any thread, the first from its audio thread: an
// exception leaving one would end the host.
TEST(Construction, TheRecordsProcessAndParameterCallbacksThrowNothing) {
    using palmtone::Plugin;
    EXPECT_TRUE(noexcept(Plugin::replacing(nullptr, nullptr, nullptr, 0))) << "processReplacing";
    EXPECT_TRUE(noexcept(Plugin::setParameter(nullptr, 0, 0.0f))) << "setParameter";
    EXPECT_TRUE(noexcept(Plugin::getParameter(nullptr, 0))) << "getParameter";
}

TEST(Construction, CloseDestroysTheInstance) {
    // Allocated as VSTPluginMain allocates it; the sanitizer sees a leak or a bad free.
    auto* plugin = new palmtone::Plugin(nullptr);
    plugin->bank.publish(velktest::constantSample(64, 48000.0, 0.5f), L"a.wav");
    EXPECT_EQ(palmtone::Plugin::dispatcher(&plugin->effect, 1, 0, 0, nullptr, 0.0f), 1);
}

TEST(Construction, TwoInstancesAreIndependent) {
    TestHost a, b;
    a.setUnit(palmtone::pTonic, 5);
    a.noteOn(0, 60);
    a.run(64);
    EXPECT_EQ(b.plugin().params[0].load(), 0.0);
    EXPECT_EQ(b.plugin().engine.soundingCount.load(), 0);
    EXPECT_GT(a.plugin().engine.soundingCount.load(), 0);
}

} // namespace
