// The UI event ring between two threads, the way the editor and the audio thread
// use it: one thread pushes numbered events without waiting and counts those a
// full ring refuses; the other takes them in bursts of at most a ring's worth, as
// a block does, every few thousand events waits until the full ring has refused
// one, and for stretches runs right behind the producer. The producer goes on
// until a set number of events was accepted. Every accepted event must arrive
// exactly once, whole and in order, and no refused one may arrive.
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
#include "tests/support/waits.hpp"

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
    constexpr size_t wanted = 300000; // accepted events; the ring wraps over a thousand times
    constexpr size_t stallEvery = 5000;
    auto ring = std::make_unique<UiEventRing>();
    std::atomic<bool> producing{true};
    std::atomic<bool> stalled{false}; // the consumer waits for the ring to refuse an event
    std::atomic<long> refused{0};
    std::vector<char> accepted; // the producer's; read after the join
    accepted.reserve(wanted + wanted / 8);
    bool producerGaveUp = false;

    std::thread producer([&] {
        std::mt19937 random(11);
        size_t acceptedSoFar = 0;
        auto lastAccepted = std::chrono::steady_clock::now();
        for (int32_t n = 0; acceptedSoFar < wanted; ++n) {
            // One stretch in eight goes in step with the consumer: each event
            // enters an empty ring and is taken right behind its publication.
            if (n / 1000 % 8 == 1) velktest::waitFor([&] { return ring->empty() || stalled.load(); });
            if (ring->push(numbered(n))) {
                accepted.push_back(1);
                ++acceptedSoFar;
                lastAccepted = std::chrono::steady_clock::now();
            } else {
                accepted.push_back(0);
                refused.fetch_add(1); // what Plugin::pushUiEvent turns into an overflow
                // A full ring waits for the consumer, as a player's next key would.
                velktest::nap();
                if (std::chrono::steady_clock::now() > lastAccepted + velktest::patience) {
                    producerGaveUp = true;
                    break;
                }
            }
            if (random() % 64 == 0) velktest::spin(random() % 256);
        }
        producing.store(false);
    });

    std::vector<InputEvent> received; // the consumer's
    received.reserve(wanted);
    std::mt19937 random(13);
    size_t nextStall = 0;
    long stallsUnrefused = 0;
    for (;;) {
        // Every few thousand events the audio thread falls behind until the
        // full ring has refused an event.
        if (received.size() >= nextStall) {
            nextStall += stallEvery;
            const long before = refused.load();
            stalled.store(true);
            if (!velktest::waitFor([&] { return refused.load() > before || !producing.load(); }))
                ++stallsUnrefused;
            stalled.store(false);
        }
        const bool last = !producing.load();
        for (uint32_t taken = 0; taken < UiEventRing::capacity; ++taken)
            if (!ring->take([&](const InputEvent& e) { received.push_back(e); })) break;
        if (last && ring->empty()) break;
        if (random() % 4 == 0) velktest::nap();
    }
    producer.join();

    EXPECT_FALSE(producerGaveUp) << "the ring stayed full for " << velktest::patience.count() << " s";
    EXPECT_EQ(stallsUnrefused, 0) << "a stalled consumer waited " << velktest::patience.count()
                                  << " s and the full ring refused nothing";
    std::vector<int32_t> expected;
    for (size_t n = 0; n < accepted.size(); ++n)
        if (accepted[n]) expected.push_back(static_cast<int32_t>(n));
    ASSERT_EQ(received.size(), expected.size()) << "events lost or repeated";
    for (size_t i = 0; i < received.size(); ++i)
        ASSERT_TRUE(same(received[i], numbered(expected[i])))
            << "arrival " << i << " holds event " << received[i].frame << ", not " << expected[i];
    EXPECT_EQ(static_cast<long>(expected.size()) + refused.load(), static_cast<long>(accepted.size()));
    EXPECT_GT(refused.load(), 0) << "the ring never filled";
    EXPECT_GT(expected.size(), 20u * UiEventRing::slots) << "the ring wrapped too few times";
    std::printf("%zu events arrived, %ld refused\n", expected.size(), refused.load());
}

} // namespace
