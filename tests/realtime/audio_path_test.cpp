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
#include <vector>

#include "call_counter.hpp"
#include "plugin/plugin.hpp"
#include "tests/scenarios/audio_path_scenario.hpp"
#include "tests/support/host_events.hpp"
#include "tests/support/instance_editor.hpp"
#include "tests/support/quiet_host.hpp"

namespace {

using palmtone::Plugin;
using realtimetest::Call;
using realtimetest::CountCalls;

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
        {"new", newAndDelete, realtimetest::opNew},
        {"delete", newAndDelete, realtimetest::opDelete},
        {"malloc", [] { callFree(callMalloc(24)); }, realtimetest::cMalloc},
        {"calloc", [] { callFree(callCalloc(3, 8)); }, realtimetest::cCalloc},
        {"realloc", [] { callFree(callRealloc(callMalloc(8), 64)); }, realtimetest::cRealloc},
        {"free", [] { callFree(callMalloc(24)); }, realtimetest::cFree},
        {"std::mutex lock", [] { std::lock_guard<std::mutex> hold(mutex); }, realtimetest::mutexLock},
        {"std::mutex unlock", [] { std::lock_guard<std::mutex> hold(mutex); }, realtimetest::mutexUnlock},
        {"try_lock",
         [] {
             if (mutex.try_lock()) mutex.unlock();
         },
         realtimetest::mutexLock},
        {"wait_for",
         [] {
             std::unique_lock<std::mutex> hold(mutex);
             wake.wait_for(hold, std::chrono::microseconds(1));
         },
         realtimetest::condWait},
        {"notify_one", [] { wake.notify_one(); }, realtimetest::condWake},
        {"shared lock", [] { std::shared_lock<std::shared_mutex> hold(shared); }, realtimetest::rwLock},
        {"unique lock", [] { std::unique_lock<std::shared_mutex> hold(shared); }, realtimetest::rwUnlock},
    };
    for (const Probe& probe : probes) {
        CountCalls counter;
        counter.during(probe.act);
        EXPECT_GE(counter[probe.expected], 1)
            << probe.what << " was not counted; counted: " << counter.describe();
    }
}

// The proof's level: the instance in this process behind the quiet host, its
// host events in fixed storage, each call into it the scenario's driver counts
// made inside the counter; the editor's gestures on the instance between them.
class CountedLevel : public velktest::Driver {
  public:
    CountedLevel(velktest::QuietHost& host, CountCalls& counter)
        : plugin_(host.makePlugin()), host_(host), counter_(counter), editor_(*plugin_) {
        dispatch(vst2::op::open, 0, 0, nullptr, 0.0f);
        dispatch(vst2::op::setSampleRate, 0, 0, nullptr, 48000.0f);
    }

    Plugin& plugin() { return *plugin_; }
    // The take's state each time "Pausa" was pressed.
    const std::vector<int32_t>& statesAtPause() const { return statesAtPause_; }

    vst2::Effect* effect() override { return &plugin_->effect; }
    intptr_t dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float option) override {
        intptr_t result = 0;
        auto call = [&] { result = effect()->dispatcher(effect(), opcode, index, value, ptr, option); };
        if (opcode == vst2::op::mainsChanged)
            counter_.during(call);
        else
            call();
        return result;
    }
    void setParameter(int32_t index, float value) override {
        counter_.during([&] { effect()->setParameter(effect(), index, value); });
    }
    float getParameter(int32_t index) override {
        float value = 0.0f;
        counter_.during([&] { value = effect()->getParameter(effect(), index); });
        return value;
    }
    void queue(int32_t frame, int status, int data1, int data2) override {
        batch_.add(frame, status, data1, data2);
    }
    intptr_t deliver() override {
        intptr_t result = 0;
        counter_.during([&] {
            result = effect()->dispatcher(effect(), vst2::op::midiEvents, 0, 0, batch_.pointer(), 0.0f);
        });
        batch_.clear();
        return result;
    }
    void run(int32_t frames) override {
        if (batch_.list.numEvents > 0) deliver();
        float* outputs[2] = {left_, right_};
        counter_.during([&] { effect()->processReplacing(effect(), nullptr, outputs, frames); });
    }
    void answerTime(bool answer, int32_t flags, double tempo) override {
        host_.setTimeAnswer(answer, flags, tempo);
    }

    void key(int32_t virtualKey, bool down) override { editor_.key(virtualKey, down); }
    void pad(int index, bool down) override { editor_.pad(index, down); }
    void record() override { editor_.record(); }
    void pauseOrResume() override {
        statesAtPause_.push_back(plugin_->capture.state.load());
        editor_.pauseOrResume();
    }
    void stop() override { editor_.stop(); }
    void releaseNotes() override { editor_.releaseNotes(); }

  private:
    std::unique_ptr<Plugin> plugin_;
    velktest::QuietHost& host_;
    CountCalls& counter_;
    velktest::InstanceEditor editor_;
    velktest::HostEvents<64> batch_;
    float left_[4096];
    float right_[4096];
    std::vector<int32_t> statesAtPause_;
};

TEST(AudioPath, AllocatesFreesAndLocksNothing) {
    velktest::QuietHost host;
    CountCalls counter;
    auto level = std::make_unique<CountedLevel>(host, counter);
    const velktest::AudioPathScenario scenario;
    scenario.run(*level);

    EXPECT_EQ(counter.total(), 0) << counter.describe();
    EXPECT_GT(host.eventsReceived.load(), 100); // the blocks did real work
    // The take was recording when paused, paused when resumed, and stopped.
    EXPECT_EQ(level->statesAtPause(), (std::vector<int32_t>{tamso::Recording, tamso::Paused}));
    EXPECT_EQ(level->plugin().capture.state.load(), tamso::Finished);
    EXPECT_GT(level->plugin().capture.entryCount, 10);
}

} // namespace
