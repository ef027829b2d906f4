#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "graphics/raster/ImageCache.h"
#include "graphics/raster/MemBitmap.h"

namespace kestro {
namespace {

TEST(ImageCacheConcurrency, ThreadsAskingForOneNewImageShareOneBitmap) {
  for (int round = 0; round < 50; ++round) {
    ImageCache cache;
    std::atomic<int> loads{0};
    std::atomic<bool> go{false};
    std::vector<Bitmap*> seen(8, nullptr);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < seen.size(); ++t) {
      threads.emplace_back([&, t] {
        while (!go.load()) std::this_thread::yield();
        seen[t] = cache.FindOrLoad(42 + round % 2, [&loads] {
          ++loads;
          auto bitmap = std::make_unique<MemBitmap>();
          bitmap->Resize(4, 4);
          return bitmap;
        });
      });
    }
    go = true;
    for (std::thread& thread : threads) thread.join();
    ASSERT_NE(seen[0], nullptr);
    for (Bitmap* bitmap : seen) EXPECT_EQ(bitmap, seen[0]);
    EXPECT_EQ(cache.Count(), 1);
    EXPECT_GE(loads.load(), 1);
  }
}

}  // namespace
}  // namespace kestro
