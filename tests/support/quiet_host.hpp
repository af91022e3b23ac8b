#pragma once
// The host callback of every test program and benchmark: opcode 7 gets `time`
// (a null pointer with `answerTime` off), a MIDI list (opcode 8) gets 1 and
// anything else 0. Each call is counted, the events of each list too, and
// handed to heard(), where a test host keeps its own record. The callback finds
// its host through the effect record's user pointer, which makePlugin sets.
//
// Audio thread: the callback allocates nothing and takes no lock (the realtime
// proofs count every call the plug-in makes into it, the benchmarks time it);
// an override of heard() that allocates makes its host unfit for those.
// Header only, without GoogleTest, for the fuzz and benchmark builds.
#include <atomic>
#include <cstdint>
#include <memory>

#include "plugin/host/vst2.hpp"
#include "plugin/plugin.hpp"

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
        if (list)
            self->eventsReceived.fetch_add(static_cast<const vst2::HostEventList*>(ptr)->numEvents,
                                           std::memory_order_relaxed);
        self->heard(opcode, index, value, ptr, option);
        if (opcode == vst2::hostGetTime)
            return self->answerTime ? reinterpret_cast<intptr_t>(&self->time) : 0;
        return list ? 1 : 0;
    }

    // --- the host's answers; set while no block runs ---
    vst2::TimeInfo time{}; // tempo 120, valid
    bool answerTime = true;

    // --- counted on the caller's thread ---
    std::atomic<int64_t> callCount{0};      // calls of every kind
    std::atomic<int64_t> eventsReceived{0}; // the events of every MIDI list

  protected:
    // Inside every call, on the caller's thread, before the answer.
    virtual void heard(int32_t /*opcode*/, int32_t /*index*/, intptr_t /*value*/, void* /*ptr*/,
                       float /*option*/) {}
};

} // namespace velktest
