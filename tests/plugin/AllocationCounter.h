#pragma once

// Counts the allocations made through operator new while counting is on.
// AllocationCounter.cpp replaces the global allocation functions: link it
// into a test binary of its own (every allocation in the process, a
// dlopen'ed module's included, goes through them).
#include <atomic>

namespace kestro::test {

extern std::atomic<bool> gCountAllocations;
extern std::atomic<long> gAllocations;

}  // namespace kestro::test
