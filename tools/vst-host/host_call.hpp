#pragma once
// One call of the plug-in into its host's callback, as a host records it: the
// project's host around the DLL and the tests' hosts around an instance in
// their own process keep the same record. Portable, no Windows header.
#include <cstdint>
#include <thread>

namespace vsthost {

struct HostCall {
    int32_t opcode;
    int32_t index;
    intptr_t value;
    void* ptr;
    float option;
    std::thread::id thread; // the caller's
    int64_t block;          // the block being processed; -1 outside process
    int32_t eventCount;     // opcode 8: events in the list; else 0
};

} // namespace vsthost
