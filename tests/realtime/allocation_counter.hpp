#pragma once
// Counts calls of the global allocation functions while armed.
#include <atomic>
#include <cstddef>

namespace velktest {

struct AllocationCounter {
    static std::atomic<bool> armed;
    static std::atomic<long> allocations;
    static std::atomic<long> frees;
};

// Counts allocations and frees made between construction and destruction.
class CountAllocations {
public:
    CountAllocations() {
        AllocationCounter::allocations = 0;
        AllocationCounter::frees = 0;
        AllocationCounter::armed = true;
    }
    ~CountAllocations() { AllocationCounter::armed = false; }
    long allocations() const { return AllocationCounter::allocations.load(); }
    long frees() const { return AllocationCounter::frees.load(); }
};

} // namespace velktest
