#pragma once
// The UI event ring: the editor's key and pad events on their way to the audio
// thread, in a fixed array of slots inside the instance.
//
// Threads:
//   producer - the UI thread (the editor): push
//   consumer - the audio thread (process), and the host's suspend while the host
//              does not process: take, discard
//   either   - empty, size (a snapshot)
// Both sides are wait-free and allocate nothing. Each side stores its own index
// only after it is done with the slot (release) and loads the other's index
// before it touches a slot (acquire). One slot always stays empty, so a full ring
// holds 255 events and refuses the next.
#include <atomic>
#include <cstdint>

#include "plugin/sound/input_event.hpp"

namespace palmtone {

class UiEventRing {
  public:
    static constexpr uint32_t slots = 256;
    static constexpr uint32_t capacity = slots - 1; // events that can wait at once

    // Producer. Writes the slot completely, then publishes it; false, with nothing
    // written, when the ring is full.
    bool push(const InputEvent& event) noexcept {
        const uint32_t h = head.load(std::memory_order_relaxed);
        const uint32_t next = (h + 1) % slots;
        if (next == tail.load(std::memory_order_acquire)) return false;
        events[h] = event;
        head.store(next, std::memory_order_release);
        return true;
    }

    // Consumer. Hands the oldest event to `handle`, then frees its slot; false,
    // without calling it, when the ring is empty.
    template <class Handle> bool take(Handle&& handle) noexcept {
        const uint32_t t = tail.load(std::memory_order_relaxed);
        if (t == head.load(std::memory_order_acquire)) return false;
        const InputEvent event = events[t];
        handle(event);
        tail.store((t + 1) % slots, std::memory_order_release);
        return true;
    }

    // Consumer. The `i`th waiting event, oldest first, left in place; i < size().
    InputEvent peek(uint32_t i) const noexcept {
        return events[(tail.load(std::memory_order_relaxed) + i) % slots];
    }

    // Consumer. Drops every event waiting now.
    void discard() noexcept { tail.exchange(head.load(std::memory_order_acquire)); }

    bool empty() const noexcept { return size() == 0; }
    uint32_t size() const noexcept {
        const uint32_t t = tail.load(std::memory_order_acquire);
        return (head.load(std::memory_order_acquire) + slots - t) % slots;
    }

  private:
    InputEvent events[slots] = {};
    std::atomic<uint32_t> head{0}; // the next slot to write; stored by the producer
    std::atomic<uint32_t> tail{0}; // the oldest waiting slot; stored by the consumer
};

static_assert(std::atomic<uint32_t>::is_always_lock_free, "the ring's indices must be lock-free");

} // namespace palmtone
