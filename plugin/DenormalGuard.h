#pragma once

#if defined(__SSE2__) || defined(_M_X64)
#include <xmmintrin.h>
#endif

namespace kestro {

// Sets flush-to-zero and denormals-are-zero for the scope of one audio
// call and restores the caller's mode afterwards. Decaying filter states
// would otherwise crawl through denormal numbers after a loud passage, which
// costs many times the normal arithmetic on x86.
class DenormalGuard {
 public:
#if defined(__SSE2__) || defined(_M_X64)
  DenormalGuard() : saved_(_mm_getcsr()) { _mm_setcsr(saved_ | kFlushToZero | kDenormalsAreZero); }
  ~DenormalGuard() { _mm_setcsr(saved_); }

 private:
  static constexpr unsigned kFlushToZero = 0x8000;
  static constexpr unsigned kDenormalsAreZero = 0x0040;
  unsigned saved_;
#else
  DenormalGuard() = default;
#endif

 public:
  DenormalGuard(const DenormalGuard&) = delete;
  DenormalGuard& operator=(const DenormalGuard&) = delete;
};

}  // namespace kestro
