#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "graphics/raster/FontCache.h"

namespace kestro {
namespace {

// Two threads asking for overlapping sets of styles, with the real platform
// fonts: each style ends up with exactly one font, seen by both threads.
TEST(FontCacheConcurrency, ThreadsLookingUpStylesShareTheirFonts) {
  const FontCache::Key keys[] = {
      {14, 0, 0, 0, "Verdana"}, {12, 0, 0, 0, "Verdana"}, {14, 0, 1, 0, "Verdana"},
      {14, 0, 2, 0, "Verdana"}, {11, 0, 0, 0, "DejaVu Sans"}, {14, 0, 0, 0, "verdana"},
  };
  constexpr int kKeys = static_cast<int>(std::size(keys));
  for (int round = 0; round < 5; ++round) {
    FontCache cache;
    std::atomic<bool> go{false};
    std::vector<CachedFont*> seen[2];
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
      threads.emplace_back([&, t] {
        while (!go.load()) std::this_thread::yield();
        for (int i = 0; i < kKeys; ++i) seen[t].push_back(cache.FontFor(keys[t == 0 ? i : kKeys - 1 - i]));
      });
    }
    go = true;
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(cache.Count(), kKeys);
    for (int i = 0; i < kKeys; ++i) {
      ASSERT_NE(seen[0][i], nullptr);
      EXPECT_EQ(seen[0][i], seen[1][kKeys - 1 - i]);
    }
  }
}

}  // namespace
}  // namespace kestro
