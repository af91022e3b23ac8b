// Everything the host calls on its audio thread, and the suspend that stands in
// for it, allocates and frees nothing: chords, pedal, all-notes-off, parameter
// changes, the sound switch with a one-shot, the count-in, a recorded take with
// pause, resume and stop, resets, the UI ring, odd block sizes.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "allocation_counter.hpp"
#include "host_events.hpp"
#include "plugin/plugin.hpp"

namespace {

using palmtone::Plugin;
using velktest::CountAllocations;

// A host that answers without allocating.
struct QuietHost {
    static vst2::TimeInfo time;
    static long eventsReceived;
    static intptr_t callback(vst2::Effect*, int32_t opcode, int32_t, intptr_t, void* ptr, float) {
        if (opcode == vst2::hostGetTime) return reinterpret_cast<intptr_t>(&time);
        if (opcode == vst2::hostProcessEvents && ptr)
            eventsReceived += static_cast<vst2::HostEventList*>(ptr)->numEvents;
        return 0;
    }
};
vst2::TimeInfo QuietHost::time{};
long QuietHost::eventsReceived = 0;

std::unique_ptr<palmtone::SampleData> testOneShot() {
    auto s = std::make_unique<palmtone::SampleData>();
    s->name = L"Prueba";
    s->sampleRate = 44100.0;
    for (int i = 0; i < 30000; ++i) {
        s->left.push_back(static_cast<float>(std::sin(i * 0.06) * std::exp(-i / 9000.0)));
        s->right.push_back(s->left.back() * 0.5f);
    }
    return s;
}

TEST(AllocationCounter, SeesAllocations) {
    long seen;
    {
        CountAllocations counter;
        auto* p = new int(3);
        asm volatile("" : : "r"(p) : "memory"); // the allocation is used, so it stays
        delete p;
        seen = counter.allocations() + counter.frees();
    }
    EXPECT_EQ(seen, 2);
}

TEST(AudioPath, AllocatesNothing) {
    QuietHost::time.tempo = 98.0;
    QuietHost::time.flags = vst2::tempoValid;
    auto plugin = std::make_unique<Plugin>(&QuietHost::callback);
    vst2::Effect* fx = &plugin->effect;
    fx->dispatcher(fx, 0, 0, 0, nullptr, 0.0f);
    fx->dispatcher(fx, 10, 0, 0, nullptr, 48000.0f);
    plugin->bank.publish(testOneShot(), L"C:\\x\\prueba.wav");

    static float left[4096], right[4096];
    float* outputs[2] = {left, right};
    auto* batch = new velktest::HostEvents<64>;
    std::vector<int> sizes;
    for (int i = 0; i < 1500; ++i) sizes.push_back(i % 97 == 0 ? 4096 : 1 + (i * 37) % 700);

    long allocations = -1, frees = -1;
    long recordingSince = -1;
    {
        CountAllocations counter;
        for (size_t b = 0; b < sizes.size(); ++b) {
            const int frames = sizes[b];
            batch->clear();
            switch (b % 12) {
            case 0: // a chord on channel 1 and one on channel 3, with the pedal
                batch->add(0, 0x90, 60, 100);
                batch->add(frames / 2, 0x92, 67, 80);
                batch->add(frames - 1, 0xB0, 64, 127);
                break;
            case 3:
                batch->add(1, 0x80, 60, 0);
                batch->add(2, 0x90, 62, 0); // velocity 0 as note-off
                break;
            case 5:
                batch->add(0, 0xB0, 64, 0);
                batch->add(frames / 3, 0x91, 127, 127);
                batch->add(frames / 3, 0xE0, 0, 64); // ignored kinds
                break;
            case 8: batch->add(-5, 0xB2, 123, 0); break;
            case 10: batch->add(100000, 0xBF, 120, 0); break;
            default: break;
            }
            if (b % 50 == 7) fx->setParameter(fx, palmtone::pTonic, static_cast<float>((b % 11) / 11.0));
            if (b % 70 == 9) fx->setParameter(fx, palmtone::pChannel, static_cast<float>((b % 16) / 15.0));
            if (b % 90 == 11) fx->setParameter(fx, palmtone::pMidiOut, (b / 90) % 2 ? 0.0f : 1.0f);
            if (b % 130 == 13) fx->setParameter(fx, palmtone::pSound, (b / 130) % 2 ? 1.0f : 0.0f);
            if (b % 150 == 17) fx->setParameter(fx, palmtone::pWholeOneShot, (b / 150) % 2 ? 1.0f : 0.0f);
            if (b % 40 == 19) fx->setParameter(fx, palmtone::pVolume, static_cast<float>((b % 40) / 40.0));
            if (b % 60 == 21) fx->setParameter(fx, palmtone::pInput, static_cast<float>((b % 3) / 2.0));
            // The take: counted in after the first suspend, then paused,
            // resumed and stopped; a second count-in is cancelled.
            const int32_t state = plugin->capture.state.load();
            if (b == 260 || b == 1300) plugin->countIn.requestStart();
            if (state == tamso::Recording && recordingSince < 0) recordingSince = static_cast<long>(b);
            const long since = recordingSince < 0 ? -1 : static_cast<long>(b) - recordingSince;
            if (since == 40) {
                int32_t recording = tamso::Recording;
                plugin->capture.state.compare_exchange_strong(recording, tamso::PauseRequested);
            }
            if (since == 60) {
                int32_t paused = tamso::Paused;
                plugin->capture.state.compare_exchange_strong(paused, tamso::ResumeRequested);
            }
            if (since == 100) tamso::applyStopTransition(plugin->capture.state);
            if (b == 1340) plugin->countIn.requestCancel();
            if (b % 200 == 150) plugin->resetRequest.store(true);
            if (b % 25 == 4) plugin->pushUiEvent(0x9F, 64, 100);
            if (b % 25 == 14) plugin->pushUiEvent(0x8F, 64, 0);
            if (b % 300 == 299) QuietHost::time.flags ^= vst2::tempoValid;

            fx->dispatcher(fx, 25, 0, 0, batch->pointer(), 0.0f);
            fx->processReplacing(fx, nullptr, outputs, frames);
            if (b == 250 || b == 1250) {
                fx->dispatcher(fx, 12, 0, 0, nullptr, 0.0f); // suspend
                fx->dispatcher(fx, 12, 0, 1, nullptr, 0.0f); // resume
            }
        }
        allocations = counter.allocations();
        frees = counter.frees();
    }
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(frees, 0);
    EXPECT_GT(QuietHost::eventsReceived, 100); // the blocks did real work
    EXPECT_GE(recordingSince, 0);
    EXPECT_EQ(plugin->capture.state.load(), tamso::Finished);
    EXPECT_GT(plugin->capture.entryCount, 10);
    delete batch;
}

} // namespace
