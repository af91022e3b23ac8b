#pragma once
// The host callback of every test program and benchmark: opcode 7 gets `time`
// (a null pointer with `answerTime` off), a MIDI list (opcode 8) gets 1 and
// anything else 0. Each call is counted, the events of each list too, and
// handed to heard() as a host records it (block -1: a test host that runs
// blocks sets its own), where a test host keeps its own record. The callback finds
// its host through the effect record's user pointer, which makePlugin sets.
//
// Audio thread: the callback allocates nothing and takes no lock (the realtime
// proofs count every call the plug-in makes into it, the benchmarks time it);
// an override of heard() that allocates makes its host unfit for those.
// Header only, without GoogleTest, for the fuzz and benchmark builds.
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "plugin/host/vst2.hpp"
#include "plugin/plugin.hpp"
#include "tools/vst-host/host_call.hpp"

namespace velktest {

class QuietHost {
  public:
    QuietHost() noexcept {
        time.tempo = 120.0;
        time.flags = vst2::tempoValid;
    }
    virtual ~QuietHost() = default;
    QuietHost(const QuietHost&) = delete;
    QuietHost& operator=(const QuietHost&) = delete;

    // A new instance whose every call comes to this host.
    std::unique_ptr<palmtone::Plugin> makePlugin() {
        auto plugin = std::make_unique<palmtone::Plugin>(&QuietHost::callback);
        plugin->effect.user = this;
        return plugin;
    }

    // The callback an instance is made with; 0 for a record with no host.
    static intptr_t callback(vst2::Effect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                             float option) {
        auto* self = effect ? static_cast<QuietHost*>(effect->user) : nullptr;
        if (!self) return 0;
        self->callCount.fetch_add(1, std::memory_order_relaxed);
        const bool list = opcode == vst2::hostProcessEvents && ptr;
        const int32_t events = list ? static_cast<const vst2::HostEventList*>(ptr)->numEvents : 0;
        if (list) self->eventsReceived.fetch_add(events, std::memory_order_relaxed);
        self->heard({opcode, index, value, ptr, option, std::this_thread::get_id(), -1, events});
        if (opcode == vst2::hostGetTime)
            return self->answerTime ? reinterpret_cast<intptr_t>(&self->time) : 0;
        return list ? 1 : 0;
    }

    // --- the host's answers; set while no block runs ---
    vst2::TimeInfo time{}; // tempo 120, valid
    bool answerTime = true;
    // Opcode 7's answer: `time` with these flags and tempo, or with `answer`
    // off a null pointer.
    void setTimeAnswer(bool answer, int32_t flags, double tempo) noexcept {
        answerTime = answer;
        time.flags = flags;
        time.tempo = tempo;
    }

    // --- counted on the caller's thread ---
    std::atomic<int64_t> callCount{0};      // calls of every kind
    std::atomic<int64_t> eventsReceived{0}; // the events of every MIDI list

  protected:
    // Inside every call, on the caller's thread, before the answer.
    virtual void heard(const vsthost::HostCall& /*call*/) {}
};

} // namespace velktest
