#pragma once
// Header only, without GoogleTest: how the tests whose threads race on purpose
// wait for one another. A wait checks its condition a few times, then sleeps
// briefly between checks, so on a core shared with other work it costs the
// time the other thread needs, not a time slice per check (as a yield does).
// No lock is taken, so a wait adds no ordering that ThreadSanitizer would
// take for the hand-over under test.
#include <emmintrin.h>

#include <chrono>
#include <thread>

namespace velktest {

// How long any one wait, or any drive until a race has happened, may take
// before the test fails: far above what a loaded machine needs.
constexpr std::chrono::seconds patience{60};

// The sleep between two checks. mingw's sleep_for returns at once below a
// millisecond, which would make every wait a spin.
#ifdef _WIN32
constexpr std::chrono::microseconds nap{1000};
#else
constexpr std::chrono::microseconds nap{50};
#endif

// Busy for about `pauses` pause instructions: varies the timing between two
// actions without handing the core to anybody else.
inline void spin(unsigned pauses) {
    for (unsigned i = 0; i < pauses; ++i)
        _mm_pause();
}

// Until done() holds (true) or `limit` has passed (false).
template <typename Done> bool waitFor(Done done, std::chrono::steady_clock::duration limit = patience) {
    for (int check = 0; check < 64; ++check) {
        if (done()) return true;
        spin(16);
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return done();
        std::this_thread::sleep_for(nap);
    }
    return true;
}

} // namespace velktest
