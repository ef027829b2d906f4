// The audio path must not allocate or take a lock of its own. This binary
// counts what processing allocates (AllocationCounter).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

#include "tests/plugin/AllocationCounter.h"
#include "tests/plugin/KestroHarness.h"

namespace kestro {
namespace {

using test::gAllocations;
using test::gCountAllocations;

TEST(Realtime, ProcessingAllocatesNothing) {
  KestroHarness k(48000.0);
  const std::vector<double> left = Noise(48000, 0.8, 1), right = Noise(48000, 0.8, 2);
  std::vector<double> outL(left.size()), outR(left.size());
  std::vector<double> silence(left.size(), 0.0);

  gCountAllocations = true;
  for (int pass = 0; pass < 4; ++pass) {
    // Parameter changes arrive on the audio thread too.
    k.Set(ParamThreshold, 0.5);
    k.Set(ParamOversample, pass % 2);
    k.Set(ParamSidechain, (pass / 2) % 2);
    k.Set(ParamRatio, pass / 5.0);
    for (size_t start = 0; start + 256 <= left.size(); start += 256) {
      double* in[4] = {const_cast<double*>(left.data()) + start, const_cast<double*>(right.data()) + start,
                       silence.data() + start, silence.data() + start};
      double* out[2] = {outL.data() + start, outR.data() + start};
      std::lock_guard lock(k.ParamsLock());
      k.ProcessDoubles(in, out, 256);
    }
  }
  gCountAllocations = false;
  EXPECT_EQ(gAllocations.load(), 0);
}

TEST(Realtime, ProcessingTakesNoLockOfItsOwn) {
  KestroHarness k;
  std::promise<void> locked, release;
  std::thread holder([&] {
    std::lock_guard lock(k.ParamsLock());
    locked.set_value();
    release.get_future().wait();
  });
  locked.get_future().wait();

  // Were ProcessDoubles to take the parameter lock itself, this would wait
  // for the holder thread and never finish in time.
  auto done = std::async(std::launch::async, [&] {
    std::vector<double> in(256, 0.1), out(256);
    double* ins[4] = {in.data(), in.data(), in.data(), in.data()};
    double* outs[2] = {out.data(), out.data()};
    k.ProcessDoubles(ins, outs, 256);
  });
  const bool finished = done.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
  release.set_value();
  holder.join();
  done.wait();
  EXPECT_TRUE(finished);
}

TEST(Realtime, ProcessingRestoresTheFloatingPointMode) {
#if defined(__SSE2__)
  KestroHarness k;
  const unsigned before = _mm_getcsr();
  k.Run(Noise(512, 0.5, 3), Noise(512, 0.5, 4));
  EXPECT_EQ(_mm_getcsr(), before);
#endif
}

}  // namespace
}  // namespace kestro
