#include "tests/plugin/AllocationCounter.h"

#include <cstdlib>
#include <new>

namespace kestro::test {
std::atomic<bool> gCountAllocations{false};
std::atomic<long> gAllocations{0};
}  // namespace kestro::test

namespace {
void* CountedAllocNoThrow(std::size_t size) noexcept {
  if (kestro::test::gCountAllocations.load(std::memory_order_relaxed)) {
    kestro::test::gAllocations.fetch_add(1, std::memory_order_relaxed);
  }
  return std::malloc(size ? size : 1);
}

void* CountedAlloc(std::size_t size) {
  if (void* p = CountedAllocNoThrow(size)) return p;
  throw std::bad_alloc();
}
}  // namespace

// Every replaceable form that pairs with the deletes below: a form left to
// the runtime would allocate from it and be freed here.
void* operator new(std::size_t size) { return CountedAlloc(size); }
void* operator new[](std::size_t size) { return CountedAlloc(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return CountedAllocNoThrow(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return CountedAllocNoThrow(size); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
