#pragma once
// Without GoogleTest, and header only but for the Windows sleep
// (waits_win32.cpp, in velk_test_support): how the tests whose threads race on
// purpose wait for one another. A wait checks its condition a few times, then
// sleeps briefly between checks, so on a core shared with other work it costs
// the time the other thread needs, not a time slice per check (as a yield
// does). No lock is taken, so a wait adds no ordering that ThreadSanitizer
// would take for the hand-over under test.
#include <emmintrin.h>

#include <chrono>
#include <thread>

namespace velktest {

// How long any one wait, or any drive until a race has happened, may take
// before the test fails: far above what a loaded machine needs.
constexpr std::chrono::seconds patience{60};

// The sleep between two checks, and how long it is asked to last.
constexpr std::chrono::microseconds napLength{50};
#ifdef _WIN32
// Through ntdll (waits_win32.cpp): mingw's sleep_for returns at once below a
// millisecond, which would make every wait a spin, and a millisecond's Sleep
// would make every wait twenty times too long.
void nap();
#else
inline void nap() {
    std::this_thread::sleep_for(napLength);
}
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
        nap();
    }
    return true;
}

} // namespace velktest
