// The editor's model on this thread while another runs audio blocks without
// pause: keys, pads, the volume drag, paint passes, timer ticks, and whole
// takes (count-in, recording, pause, continue, stop, a cancelled count-in,
// the export reading the finished take). ThreadSanitizer checks every
// hand-over between the two; at the end every note is off. Each phase goes on
// until the audio thread has brought the take where it waits for, and each
// take is played until it holds notes; what never comes fails the test.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "tests/editor/editor_fixture.hpp"
#include "tests/support/quiet_host.hpp"
#include "tests/support/waits.hpp"

namespace {

using namespace palmtone;
using namespace tamso;

bool settled(int32_t state) {
    return state == Idle || state == Finished || state == Full;
}

TEST(EditorThreads, KeysPadsTakesAndPaintsAgainstTheAudioThread) {
    velktest::QuietHost host;
    host.time.tempo = 140.0;
    auto plugin = host.makePlugin();
    ASSERT_EQ(plugin->dispatch(10, 0, 0, nullptr, 8000.0f), 1) << "8 kHz: a count-in lasts 94 blocks";
    editortest::UiLog log;
    auto seam = std::make_unique<editortest::FakeUi>(log);
    editortest::FakeUi* ui = seam.get();
    Editor editor(plugin.get(), std::move(seam));
    ui->editor = &editor;
    editor.window = reinterpret_cast<HWND__*>(static_cast<uintptr_t>(0x1000));
    ui->temporaryFolderPath.clear();

    // The audio thread runs blocks without pause until this object goes, also
    // when an assertion ends the test early.
    struct AudioThread {
        std::atomic<bool> done{false};
        std::atomic<long> blocks{0};
        std::thread thread;
        ~AudioThread() {
            done.store(true);
            if (thread.joinable()) thread.join();
        }
    } audio;
    audio.thread = std::thread([&] {
        std::vector<float> left(256), right(256);
        float* outputs[2] = {left.data(), right.data()};
        while (!audio.done.load()) {
            plugin->process(outputs, 256);
            audio.blocks.fetch_add(1);
        }
    });
    auto waitBlocks = [&](long n) {
        const long target = audio.blocks.load() + n;
        return velktest::waitFor([&] { return audio.blocks.load() >= target; });
    };

    std::mt19937 random(11);
    double clock = 0.0;
    auto paint = [&] { editor.frame(clock += 33.0); };
    paint();
    // Anything a player does with keys, pads and the mouse, one step at a time.
    auto fiddle = [&] {
        const int key = static_cast<int>(random() % 8);
        switch (random() % 12) {
        case 0:
        case 1: editor.keyPressed(keys[key], random() % 4 == 0, false); break;
        case 2:
        case 3: editor.keyReleased(keys[key]); break;
        case 4: editor.buttonPressed({296 + 83 * key + 38, 405}); break; // a pad
        case 5: editor.buttonReleased(); break;
        case 6: editor.buttonPressed({700 + static_cast<int>(random() % 136), 50}); break; // the volume
        case 7: editor.mouseMoved({650 + static_cast<int>(random() % 240), 300}); break;
        case 8: editor.captureLost(); break;
        case 9: editor.timerTick(); break;
        case 10: random() % 8 == 0 ? editor.focusLost() : paint(); break;
        default: paint(); break;
        }
        return waitBlocks(1);
    };
    // Plays on until done() holds; false when it does not within the patience.
    auto fiddleUntil = [&](auto done) {
        const auto deadline = std::chrono::steady_clock::now() + velktest::patience;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline || !fiddle()) return done();
        }
        return true;
    };
    auto state = [&] { return plugin->capture.state.load(); };

    // The audio thread runs free, so how many blocks pass between two steps
    // here varies: each phase waits for a state, never for a count of blocks.
    auto recordingOrCountIn = [&] {
        const int32_t state = plugin->capture.state.load();
        return plugin->countIn.active.load() || state == StartRequested || state == Recording;
    };
    int takes = 0, withNotes = 0;
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        // Start with the space bar; the confirmation before replacing a take is answered OK.
        editor.spaceBar();
        EXPECT_TRUE(recordingOrCountIn());
        if (round == 2) {
            // Stopped early: a cancelled count-in (or, on a slow machine, a short take).
            for (int i = 0; i < 5; ++i)
                fiddle();
            editor.stop();
            ASSERT_TRUE(fiddleUntil([&] { return !plugin->countIn.active.load() && settled(state()); }))
                << "the stop never ended the count-in, or the take; state " << state();
            continue;
        }
        ASSERT_TRUE(fiddleUntil([&] { return !plugin->countIn.active.load(); }))
            << "the count-in never ended";
        EXPECT_EQ(state(), Recording);

        // Record until the take holds notes, pause, continue, record on.
        for (int i = 0; i < 60; ++i)
            fiddle();
        ASSERT_TRUE(fiddleUntil([&] { return plugin->capture.publishedNotes.load() > 0; }))
            << "no key or pad reached the take";
        editor.spaceBar();
        ASSERT_TRUE(fiddleUntil([&] { return state() == Paused; }))
            << "the take never paused; state " << state();
        for (int i = 0; i < 10; ++i)
            fiddle();
        editor.spaceBar();
        ASSERT_TRUE(fiddleUntil([&] { return state() == Recording; }))
            << "the take never recorded again; state " << state();
        for (int i = 0; i < 60; ++i)
            fiddle();

        // Stop, and paint while the audio thread finishes the take.
        editor.stop();
        ASSERT_TRUE(fiddleUntil([&] { return settled(state()); })) << "the stop was lost; state " << state();
        for (int i = 0; i < 10; ++i)
            fiddle();
        editor.save(); // reads the finished take; the dialog is cancelled
        ++takes;
        if (plugin->capture.publishedNotes.load() > 0) ++withNotes;
    }

    // Let go of everything and let the audio thread take the last events.
    editor.releaseKeys();
    editor.buttonReleased();
    editor.stop();
    ASSERT_TRUE(waitBlocks(2));
    ASSERT_TRUE(velktest::waitFor([&] {
        return plugin->uiEvents.empty() && !plugin->countIn.active.load() && settled(state());
    })) << "the audio thread never took the last events";
    audio.done.store(true);
    audio.thread.join();

    std::vector<float> left(256), right(256);
    float* outputs[2] = {left.data(), right.data()};
    plugin->process(outputs, 256);

    EXPECT_EQ(takes, 5);
    EXPECT_GT(withNotes, 0) << "the keys and pads reached at least one take";
    EXPECT_GT(log.boxes.size(), 0u) << "the confirmation before replacing a take";
    EXPECT_EQ(plugin->engine.soundingCount.load(), 0);
    for (int n = 0; n < 128; ++n) {
        EXPECT_FALSE(plugin->engine.soundingNotes[n].load()) << n;
        EXPECT_EQ(plugin->engine.noteRefCount[n], 0) << n;
        EXPECT_FALSE(plugin->outOn[n]) << "the host's MIDI output still holds " << n;
    }
    for (int row : {14, 15})
        for (const HeldKey& k : plugin->engine.heldKeys[row])
            EXPECT_FALSE(k.active || k.down);
    EXPECT_GT(host.callCount.load(), 0);
}

} // namespace
