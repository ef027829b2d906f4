// The LV2 module's run() allocates nothing, with control changes, silence,
// the host's bypass and the sidechain in play. This binary counts every
// allocation (AllocationCounter), the module's (loaded by lilv) included.
#include <gtest/gtest.h>

#include <vector>

#include "tests/lv2/Lv2TestHost.h"
#include "tests/plugin/AllocationCounter.h"

namespace kestro::test {
namespace {

TEST(Lv2Realtime, RunAllocatesNothing) {
  Lv2World world;
  Lv2Instance lv2(world, 48000.0, 512);
  ASSERT_TRUE(lv2.Valid());
  std::vector<float> loud(512), silence(512, 0.0f), outL(512), outR(512);
  for (size_t i = 0; i < loud.size(); ++i) loud[i] = (i % 7 < 3 ? 0.6f : -0.5f);
  float* out[2] = {outL.data(), outR.data()};

  // A first allocation here would be the module's one-off, not run()'s:
  // the counting starts after one run.
  const float* in[2] = {loud.data(), loud.data()};
  lv2.Run(512, in, in, out);
  gCountAllocations = true;
  for (int pass = 0; pass < 24; ++pass) {
    lv2.Control("threshold") = -10.0f - static_cast<float>(pass);
    lv2.Control("ratio") = static_cast<float>(pass % 6);
    lv2.Control("oversample") = static_cast<float>((pass / 2) % 2);
    lv2.Control("detector") = static_cast<float>((pass / 4) % 2);
    lv2.Control("enabled") = pass % 5 == 4 ? 0.0f : 1.0f;
    const float* main[2] = {pass % 3 == 2 ? silence.data() : loud.data(), loud.data()};
    const float* key[2] = {loud.data(), silence.data()};
    for (int block = 0; block < 20; ++block) lv2.Run(1 + static_cast<uint32_t>(block * 25), main, key, out);
  }
  gCountAllocations = false;
  EXPECT_EQ(gAllocations.load(), 0);
}

}  // namespace
}  // namespace kestro::test
