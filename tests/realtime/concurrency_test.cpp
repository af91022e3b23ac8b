// The instance under the threads a host and an open editor bring: blocks on an
// audio thread while other threads automate parameters, push editor keys, drive
// the count-in and the take, publish and remove one-shots and collect them, and
// read the display fields. ThreadSanitizer checks the hand-overs; the audio
// stays finite and within -1..1 throughout. The blocks go on until each of the
// other threads has done its share of work while they ran, however the threads
// are scheduled.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "plugin/plugin.hpp"
#include "tests/support/host_events.hpp"
#include "tests/support/quiet_host.hpp"
#include "tests/support/waits.hpp"

namespace {

using palmtone::Plugin;

std::unique_ptr<palmtone::SampleData> oneShot(int frames) {
    auto s = std::make_unique<palmtone::SampleData>();
    s->sampleRate = 48000.0;
    s->left.resize(frames);
    for (int i = 0; i < frames; ++i)
        s->left[i] = static_cast<float>(std::sin(i * 0.01));
    return s;
}

TEST(Concurrency, AudioThreadWithEditorHostAndLibrary) {
    velktest::QuietHost host;
    host.time.tempo = 133.0;
    auto plugin = host.makePlugin();
    vst2::Effect* fx = &plugin->effect;
    std::atomic<bool> done{false};
    constexpr int blocks = 2500; // at least
    constexpr long rounds = 200; // of each other thread, at least, while the blocks run
    std::atomic<long> automated{0}, edited{0}, published{0}; // their rounds so far
    auto othersDone = [&] {
        return automated.load() >= rounds && edited.load() >= rounds && published.load() >= rounds;
    };
    bool othersLate = false; // the audio thread's; read after the join

    std::thread audio([&] {
        // The other threads run until this one ends, also when an assertion
        // ends it early.
        struct Done {
            std::atomic<bool>& flag;
            ~Done() { flag = true; }
        } finished{done};
        std::vector<float> left(512), right(512);
        float* outputs[2] = {left.data(), right.data()};
        velktest::HostEvents<4> events;
        const auto deadline = std::chrono::steady_clock::now() + velktest::patience;
        for (int b = 0; b < blocks || !othersDone(); ++b) {
            if (b >= blocks && std::chrono::steady_clock::now() > deadline) {
                othersLate = true;
                break;
            }
            events.clear();
            if (b % 8 == 0) events.add(b % 256, 0x90, 48 + b % 24, 90);
            if (b % 8 == 5) events.add(10, 0x80, 48 + (b - 5) % 24, 0);
            if (b % 64 == 33) events.add(0, 0xB0, 123, 0);
            fx->dispatcher(fx, 25, 0, 0, events.pointer(), 0.0f);
            const int frames = 64 + (b * 29) % 449;
            fx->processReplacing(fx, nullptr, outputs, frames);
            for (int i = 0; i < frames; ++i) {
                ASSERT_TRUE(std::isfinite(left[i]) && std::fabs(left[i]) <= 1.0f);
                ASSERT_TRUE(std::isfinite(right[i]) && std::fabs(right[i]) <= 1.0f);
            }
        }
    });

    std::thread automation([&] {
        std::mt19937 random(3);
        while (!done) {
            const int index = static_cast<int>(random() % 16);
            fx->setParameter(fx, index, static_cast<float>((random() % 1001) / 1000.0));
            (void)fx->getParameter(fx, index);
            automated.fetch_add(1);
        }
    });

    std::thread editor([&] {
        std::mt19937 random(5);
        while (!done) {
            const int key = 60 + static_cast<int>(random() % 12);
            plugin->pushUiEvent(0x9F, key, 100);
            plugin->pushUiEvent(0x8F, key, 0);
            switch (random() % 6) {
            case 0: plugin->countIn.requestStart(); break;
            case 1: tamso::applyPauseTransition(plugin->capture.state); break;
            case 2: tamso::applyResumeTransition(plugin->capture.state); break;
            case 3: tamso::applyStopTransition(plugin->capture.state); break;
            case 4: plugin->countIn.requestCancel(); break;
            default: plugin->resetRequest.store(true); break;
            }
            // What the editor's repaint reads.
            long sum = plugin->engine.soundingCount.load() + plugin->engine.lastChordRoot.load() +
                       plugin->countIn.secondsLeft.load() + plugin->capture.publishedNotes.load();
            sum += static_cast<long>(plugin->engine.peak.load() + plugin->tempo.load() +
                                     plugin->capture.endBeats.load());
            for (auto& note : plugin->engine.soundingNotes)
                sum += note.load(std::memory_order_relaxed);
            (void)sum;
            edited.fetch_add(1);
        }
    });

    std::thread library([&] {
        int round = 0;
        while (!done) {
            if (round % 3 == 2) {
                plugin->bank.removeCurrent();
            } else {
                plugin->bank.publish(oneShot(2000 + round % 500), L"C:\\s\\a.wav");
            }
            {
                std::lock_guard<std::mutex> lock(plugin->bank.mutex);
                plugin->bank.collectLocked();
            }
            ++round;
            published.fetch_add(1);
        }
    });

    audio.join();
    automation.join();
    editor.join();
    library.join();
    EXPECT_FALSE(othersLate) << "in " << velktest::patience.count() << " s of blocks, " << automated.load()
                             << " automation, " << edited.load() << " editor and " << published.load()
                             << " library rounds of " << rounds << " each";
    EXPECT_GT(host.callCount.load(), blocks);
    std::printf("%ld automation, %ld editor and %ld library rounds\n", automated.load(), edited.load(),
                published.load());
}

} // namespace
