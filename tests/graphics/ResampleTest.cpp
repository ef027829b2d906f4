// Resampling for scaled editors: flat areas stay exact at any ratio, a
// halving averages, growing interpolates, and transparent pixels lend no
// colour to the edges beside them.
#include <gtest/gtest.h>

#include <memory>

#include "graphics/raster/MemBitmap.h"
#include "graphics/raster/Resample.h"

namespace kestro::test {
namespace {

std::unique_ptr<MemBitmap> Filled(int w, int h, PackedPixel p) {
  auto b = std::make_unique<MemBitmap>();
  b->Resize(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) b->Row(y)[x] = p;
  }
  return b;
}

TEST(Resample, FlatAreasStayExactAtEveryRatio) {
  const PackedPixel colour = MakePackedPixel(255, 200, 100, 50);
  auto source = Filled(100, 52, colour);
  for (int w : {50, 63, 75, 100, 125, 150, 300}) {
    auto dest = Filled(w, w, 0);
    ResampleRect(*source, {0, 0, 100, 52}, *dest, {0, 0, w, w});
    int off = 0;
    for (int y = 0; y < w; ++y) {
      for (int x = 0; x < w; ++x) off += dest->Row(y)[x] != colour;
    }
    EXPECT_EQ(off, 0) << w;
  }
}

TEST(Resample, HalvingAveragesAndGrowingInterpolates) {
  auto source = Filled(2, 1, MakePackedPixel(255, 0, 0, 0));
  source->Row(0)[1] = MakePackedPixel(255, 200, 100, 0);
  auto half = Filled(1, 1, 0);
  ResampleRect(*source, {0, 0, 2, 1}, *half, {0, 0, 1, 1});
  EXPECT_EQ(half->Row(0)[0], MakePackedPixel(255, 100, 50, 0));
  // Four wide: the outer pixels keep the ends, the inner ones lie between.
  auto grown = Filled(4, 1, 0);
  ResampleRect(*source, {0, 0, 2, 1}, *grown, {0, 0, 4, 1});
  EXPECT_EQ(grown->Row(0)[0], MakePackedPixel(255, 0, 0, 0));
  EXPECT_EQ(grown->Row(0)[1], MakePackedPixel(255, 50, 25, 0));
  EXPECT_EQ(grown->Row(0)[2], MakePackedPixel(255, 150, 75, 0));
  EXPECT_EQ(grown->Row(0)[3], MakePackedPixel(255, 200, 100, 0));
}

TEST(Resample, TransparentPixelsLendNoColour) {
  // Opaque red beside fully transparent green: the blend is red at half alpha.
  auto source = Filled(2, 2, MakePackedPixel(0, 0, 255, 0));
  source->Row(0)[0] = source->Row(1)[0] = MakePackedPixel(255, 255, 0, 0);
  auto dest = Filled(1, 1, 0);
  ResampleRect(*source, {0, 0, 2, 2}, *dest, {0, 0, 1, 1});
  EXPECT_EQ(dest->Row(0)[0], MakePackedPixel(128, 255, 0, 0));
  // Only the rectangle asked for is written, from the rectangle given.
  auto big = Filled(4, 4, MakePackedPixel(1, 2, 3, 4));
  ResampleRect(*source, {0, 0, 1, 1}, *big, {1, 1, 3, 3});
  EXPECT_EQ(big->Row(0)[0], MakePackedPixel(1, 2, 3, 4));
  EXPECT_EQ(big->Row(1)[1], MakePackedPixel(255, 255, 0, 0));
  EXPECT_EQ(big->Row(3)[3], MakePackedPixel(1, 2, 3, 4));
}

}  // namespace
}  // namespace kestro::test
