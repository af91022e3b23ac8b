// Everything the host calls on its audio thread (opcode 25 and the block), and
// the parameter calls and the suspend that may run there too, allocates, frees
// and locks nothing, across the shared scenario mix (audio_path_scenario.hpp).
// The counters see operator new and delete, malloc, calloc, realloc,
// aligned_alloc and free, and the pthread mutex, condition and read-write lock
// calls of the whole process.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <shared_mutex>

#include "call_counter.hpp"
#include "plugin/plugin.hpp"
#include "tests/support/audio_path_scenario.hpp"
#include "tests/support/host_events.hpp"

namespace {

using palmtone::Plugin;
using velktest::Call;
using velktest::CountCalls;

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

// The optimiser may drop a malloc whose block is unused; calls through these
// pointers stay.
void* (*volatile callMalloc)(size_t) = &std::malloc;
void* (*volatile callCalloc)(size_t, size_t) = &std::calloc;
void* (*volatile callRealloc)(void*, size_t) = &std::realloc;
void (*volatile callFree)(void*) = &std::free;

void newAndDelete() {
    auto* p = new int(3);
    asm volatile("" : : "r"(p) : "memory"); // the block is used, so the pair stays
    delete p;
}

struct Probe {
    const char* what;
    void (*act)();
    Call expected;
};

// Each counted kind is seen when the test program itself makes the call, also
// from inside libstdc++ (std::mutex, std::shared_mutex, std::condition_variable).
TEST(CallCounter, SeesEveryCountedKind) {
    static std::mutex mutex;
    static std::shared_mutex shared;
    static std::condition_variable wake;
    const Probe probes[] = {
        {"new", newAndDelete, velktest::opNew},
        {"delete", newAndDelete, velktest::opDelete},
        {"malloc", [] { callFree(callMalloc(24)); }, velktest::cMalloc},
        {"calloc", [] { callFree(callCalloc(3, 8)); }, velktest::cCalloc},
        {"realloc", [] { callFree(callRealloc(callMalloc(8), 64)); }, velktest::cRealloc},
        {"free", [] { callFree(callMalloc(24)); }, velktest::cFree},
        {"std::mutex lock", [] { std::lock_guard<std::mutex> hold(mutex); }, velktest::mutexLock},
        {"std::mutex unlock", [] { std::lock_guard<std::mutex> hold(mutex); }, velktest::mutexUnlock},
        {"try_lock",
         [] {
             if (mutex.try_lock()) mutex.unlock();
         },
         velktest::mutexLock},
        {"wait_for",
         [] {
             std::unique_lock<std::mutex> hold(mutex);
             wake.wait_for(hold, std::chrono::microseconds(1));
         },
         velktest::condWait},
        {"notify_one", [] { wake.notify_one(); }, velktest::condWake},
        {"shared lock", [] { std::shared_lock<std::shared_mutex> hold(shared); }, velktest::rwLock},
        {"unique lock", [] { std::unique_lock<std::shared_mutex> hold(shared); }, velktest::rwUnlock},
    };
    for (const Probe& probe : probes) {
        CountCalls counter;
        counter.during(probe.act);
        EXPECT_GE(counter[probe.expected], 1)
            << probe.what << " was not counted; counted: " << counter.describe();
    }
}

// The proof's side of the scenario, straight on the instance.
struct Driver {
    Plugin& instance;
    CountCalls& counter;
    velktest::HostEvents<64> batch;
    float left[4096];
    float right[4096];

    vst2::Effect* fx() { return &instance.effect; }
    Plugin& plugin() { return instance; }
    void midi(int32_t frame, int status, int data1, int data2) { batch.add(frame, status, data1, data2); }
    void audio(int32_t frames) {
        float* outputs[2] = {left, right};
        counter.during([&] {
            fx()->dispatcher(fx(), 25, 0, 0, batch.pointer(), 0.0f);
            fx()->processReplacing(fx(), nullptr, outputs, frames);
        });
        batch.clear();
    }
    void parameter(int32_t index, float value) {
        counter.during([&] { fx()->setParameter(fx(), index, value); });
    }
    void suspendAndResume() {
        counter.during([&] {
            fx()->dispatcher(fx(), 12, 0, 0, nullptr, 0.0f);
            fx()->dispatcher(fx(), 12, 0, 1, nullptr, 0.0f);
        });
    }
    void toggleHostTempo() { QuietHost::time.flags ^= vst2::tempoValid; }
    void sampleRate(float hz) { ASSERT_EQ(fx()->dispatcher(fx(), 10, 0, 0, nullptr, hz), 1); }
    void restore(const std::vector<uint8_t>& chunk) {
        ASSERT_EQ(fx()->dispatcher(fx(), 24, 0, static_cast<intptr_t>(chunk.size()),
                                   const_cast<uint8_t*>(chunk.data()), 0.0f),
                  1);
    }
};

TEST(AudioPath, AllocatesFreesAndLocksNothing) {
    QuietHost::time.tempo = 98.0;
    QuietHost::time.flags = vst2::tempoValid;
    auto plugin = std::make_unique<Plugin>(&QuietHost::callback);
    vst2::Effect* fx = &plugin->effect;
    fx->dispatcher(fx, 0, 0, 0, nullptr, 0.0f);
    fx->dispatcher(fx, 10, 0, 0, nullptr, 48000.0f);

    CountCalls counter;
    auto driver = std::make_unique<Driver>(Driver{*plugin, counter, {}, {}, {}});
    velktest::AudioPathScenario scenario;
    scenario.run(*driver);

    EXPECT_EQ(counter.total(), 0) << counter.describe();
    EXPECT_GT(QuietHost::eventsReceived, 100); // the blocks did real work
    EXPECT_GE(scenario.recordingSince, 0);
    EXPECT_EQ(scenario.finalTakeState, tamso::Finished);
    EXPECT_GT(plugin->capture.entryCount, 10);
}

} // namespace
