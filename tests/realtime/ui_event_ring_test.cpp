// The UI event ring between two threads, the way the editor and the audio thread
// use it: one thread pushes numbered events without waiting and counts those a
// full ring refuses; the other takes them in bursts of at most a ring's worth, as
// a block does, now and then lets the ring fill up first, and for stretches runs
// right behind the producer. Every accepted event
// must arrive exactly once, whole and in order, and no refused one may arrive.
// ThreadSanitizer checks the hand-over of the slots.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "plugin/sound/ui_event_ring.hpp"

namespace {

using palmtone::InputEvent;
using palmtone::UiEventRing;

// Every field depends on n, so a slot read before it was completely written shows.
InputEvent numbered(int32_t n) {
    return {n, n & 0xFF, (n >> 8) & 0x7F, (n >> 15) & 0x7F, ~n};
}

bool same(const InputEvent& a, const InputEvent& b) {
    return a.frame == b.frame && a.status == b.status && a.data1 == b.data1 && a.data2 == b.data2 &&
           a.order == b.order;
}

TEST(UiEventRing, HoldsAFullRingAcrossTheWrapAndDiscardsWhatWaits) {
    auto ring = std::make_unique<UiEventRing>();
    int32_t n = 0;
    // Move the indices near the end of the array, so the full ring wraps.
    for (; n < 200; ++n) {
        ASSERT_TRUE(ring->push(numbered(n)));
        ASSERT_TRUE(ring->take([](const InputEvent&) {}));
    }
    EXPECT_TRUE(ring->empty());
    for (uint32_t i = 0; i < UiEventRing::capacity; ++i)
        ASSERT_TRUE(ring->push(numbered(n + static_cast<int32_t>(i)))) << i;
    EXPECT_EQ(ring->size(), 255u);
    EXPECT_FALSE(ring->push(numbered(-1))) << "one slot always stays empty";
    EXPECT_EQ(ring->size(), 255u);
    for (uint32_t i = 0; i < ring->size(); ++i)
        ASSERT_TRUE(same(ring->peek(i), numbered(n + static_cast<int32_t>(i)))) << i;

    InputEvent first{};
    EXPECT_TRUE(ring->take([&](const InputEvent& e) { first = e; }));
    EXPECT_TRUE(same(first, numbered(n)));
    EXPECT_TRUE(ring->push(numbered(-2))) << "a taken slot is free again";
    EXPECT_FALSE(ring->push(numbered(-3)));

    ring->discard();
    EXPECT_TRUE(ring->empty());
    EXPECT_FALSE(ring->take([](const InputEvent&) { ADD_FAILURE() << "an event after the discard"; }));
    EXPECT_TRUE(ring->push(numbered(7)));
    EXPECT_TRUE(ring->take([&](const InputEvent& e) { first = e; }));
    EXPECT_TRUE(same(first, numbered(7)));
}

TEST(UiEventRing, EveryAcceptedEventArrivesOnceInOrder) {
    constexpr int32_t total = 300000;
    auto ring = std::make_unique<UiEventRing>();
    std::atomic<bool> producing{true};
    std::vector<char> accepted(total, 0); // the producer's; read after the join
    long refused = 0;

    std::thread producer([&] {
        std::mt19937 random(11);
        for (int32_t n = 0; n < total; ++n) {
            // One stretch in eight goes in step with the consumer: each event
            // enters an empty ring and is taken right behind its publication.
            if (n / 1000 % 8 == 1)
                for (int spin = 0; spin < 10000 && !ring->empty(); ++spin)
                    std::this_thread::yield();
            if (ring->push(numbered(n)))
                accepted[n] = 1;
            else
                ++refused; // what Plugin::pushUiEvent turns into an overflow
            if (random() % 64 == 0) std::this_thread::yield();
        }
        producing.store(false);
    });

    std::vector<InputEvent> received; // the consumer's
    received.reserve(total);
    std::mt19937 random(13);
    size_t nextStall = 0;
    for (;;) {
        // Every 5000 events the audio thread falls behind until the ring is full.
        if (received.size() >= nextStall) {
            nextStall += 5000;
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
            while (producing.load() && ring->size() < UiEventRing::capacity &&
                   std::chrono::steady_clock::now() < deadline)
                std::this_thread::yield();
        }
        const bool last = !producing.load();
        for (uint32_t taken = 0; taken < UiEventRing::capacity; ++taken)
            if (!ring->take([&](const InputEvent& e) { received.push_back(e); })) break;
        if (last && ring->empty()) break;
        if (random() % 4 == 0) std::this_thread::sleep_for(std::chrono::microseconds(20));
    }
    producer.join();

    std::vector<int32_t> expected;
    for (int32_t n = 0; n < total; ++n)
        if (accepted[n]) expected.push_back(n);
    ASSERT_EQ(received.size(), expected.size()) << "events lost or repeated";
    for (size_t i = 0; i < received.size(); ++i)
        ASSERT_TRUE(same(received[i], numbered(expected[i])))
            << "arrival " << i << " holds event " << received[i].frame << ", not " << expected[i];
    EXPECT_EQ(static_cast<long>(expected.size()) + refused, total);
    EXPECT_GT(refused, 0) << "the ring never filled";
    EXPECT_GT(expected.size(), 20u * UiEventRing::slots) << "the ring wrapped too few times";
    std::printf("%zu events arrived, %ld refused\n", expected.size(), refused);
}

} // namespace
