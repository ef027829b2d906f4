// Reference counts taken from several threads at once, as hosts do (a view
// released on the user-interface thread while the host releases the instance
// on its main thread): every addRef must see its own new count. A counter that
// adds atomically but re-reads the sum afterwards (the Linux atomicAdd of
// Debian's SDK copy) hands two threads the same count; release uses the same
// function, so two threads releasing together can then both delete the object.
// Release races are not provoked here: their window is too narrow to hit
// without long busy-waiting, and addRef shows the same fault reliably.
#include "TestEffect.h"

#include "public.sdk/source/main/pluginfactory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

namespace kestro::test {
namespace {

using namespace Steinberg;

constexpr int kThreads = 4;
constexpr int kAddsPerThread = 50000;

// Takes kThreads * kAddsPerThread references concurrently through `unknown`
// (whose count is 1) and checks that the returned counts are exactly
// 2 ... 1 + kThreads * kAddsPerThread, each once. Releases them again.
void CheckConcurrentAddRefs(FUnknown* unknown) {
  std::vector<std::vector<uint32>> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([unknown, &counts = seen[static_cast<size_t>(t)]] {
      counts.reserve(kAddsPerThread);
      for (int i = 0; i < kAddsPerThread; ++i) counts.push_back(unknown->addRef());
    });
  }
  for (auto& thread : threads) thread.join();

  std::vector<uint32> all;
  for (const auto& counts : seen) all.insert(all.end(), counts.begin(), counts.end());
  std::sort(all.begin(), all.end());
  const uint32 total = kThreads * kAddsPerThread;
  ASSERT_EQ(all.size(), total);
  size_t wrong = 0;
  for (uint32 i = 0; i < total; ++i) wrong += all[i] != i + 2 ? 1 : 0;
  EXPECT_EQ(wrong, 0u) << "addRef returned counts that were not its own";

  for (uint32 i = 0; i < total; ++i) unknown->release();
}

TEST(RefCountConcurrency, EffectAddRefReturnsDistinctCounts) {
  auto* effect = new TestEffect;
  CheckConcurrentAddRefs(static_cast<Vst::IComponent*>(effect));
  EXPECT_EQ(effect->getRefCount(), 1);
  EXPECT_EQ(effect->release(), 0u);
  EXPECT_EQ(TestEffect::liveCount, 0);
}

TEST(RefCountConcurrency, FactoryAddRefReturnsDistinctCounts) {
  auto* factory = new CPluginFactory(PFactoryInfo("Test Vendor", "", "", PFactoryInfo::kUnicode));
  CheckConcurrentAddRefs(factory);
  EXPECT_EQ(factory->release(), 0u);
}

}  // namespace
}  // namespace kestro::test
