#pragma once
// Allocation failures on demand, for the program that links
// failing_allocations.cpp (it replaces the global operator new and delete).
#include <atomic>

namespace chordstest {
extern std::atomic<bool> failThrowing; // operator new throws std::bad_alloc
extern std::atomic<bool> failNothrow;  // operator new(nothrow) gives null
extern std::atomic<int> nothrowCalls;  // calls of operator new(nothrow) so far
} // namespace chordstest
