#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "graphics/raster/MemBitmap.h"
#include "graphics/raster/SystemBitmap.h"

namespace kestro {
namespace {

TEST(MemBitmap, RowSpanRoundsWidthUpToFourPixels) {
  const struct {
    int width;
    int span;
  } cases[] = {{1, 4}, {4, 4}, {5, 8}, {7, 8}, {8, 8}, {1020, 1020}, {1021, 1024}};
  for (const auto& c : cases) {
    MemBitmap bitmap;
    ASSERT_TRUE(bitmap.Resize(c.width, 3));
    EXPECT_EQ(bitmap.RowSpan(), c.span) << "width " << c.width;
    EXPECT_EQ(bitmap.AllocatedSize(), static_cast<size_t>(c.span) * 3 * 4);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(bitmap.Pixels()) % 64, 0u);
    // The whole last row is writable (ASan checks the block's extent).
    bitmap.Pixels()[2 * c.span + c.span - 1] = 0xFFFFFFFF;
  }
}

TEST(MemBitmap, GrowsWithHeadroomAndNeverShrinksItsBlock) {
  MemBitmap bitmap;
  EXPECT_TRUE(bitmap.Resize(10, 10));
  EXPECT_EQ(bitmap.AllocatedSize(), 12u * 10 * 4);  // exact on first allocation

  EXPECT_FALSE(bitmap.Resize(10, 10));  // same size: nothing changes

  EXPECT_TRUE(bitmap.Resize(5, 5));  // smaller: the block is kept
  EXPECT_EQ(bitmap.Width(), 5);
  EXPECT_EQ(bitmap.AllocatedSize(), 480u);

  EXPECT_TRUE(bitmap.Resize(12, 11));  // 528 bytes needed: grows by a quarter
  EXPECT_EQ(bitmap.AllocatedSize(), 528u / 4 * 5);

  EXPECT_TRUE(bitmap.Resize(12, 13));  // 624 needed, 660 reserved: no growth
  EXPECT_EQ(bitmap.AllocatedSize(), 660u);

  EXPECT_TRUE(bitmap.Resize(0, 5));  // zero size frees and reports 0 x 0
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_EQ(bitmap.Height(), 0);
  EXPECT_EQ(bitmap.Pixels(), nullptr);
  EXPECT_EQ(bitmap.AllocatedSize(), 0u);
}

TEST(MemBitmap, RefusesSizesWhoseByteCountOverflows) {
  const struct {
    int width;
    int height;
  } cases[] = {{INT_MAX, INT_MAX}, {INT_MAX, 1}, {100000, 100000}, {1, INT_MAX}, {-4, 5}, {5, -4}};
  for (const auto& c : cases) {
    MemBitmap bitmap;
    bitmap.Resize(8, 8);
    EXPECT_TRUE(bitmap.Resize(c.width, c.height));
    EXPECT_EQ(bitmap.Width(), 0) << c.width << " x " << c.height;
    EXPECT_EQ(bitmap.Height(), 0);
    EXPECT_EQ(bitmap.Pixels(), nullptr);
  }
}

TEST(SystemBitmap, TopDownWithSpanRoundedUpAndNoContextOnThisPlatform) {
  SystemBitmap bitmap(5, 3);
  EXPECT_EQ(bitmap.Width(), 5);
  EXPECT_EQ(bitmap.Height(), 3);
  EXPECT_EQ(bitmap.RowSpan(), 8);
  EXPECT_FALSE(bitmap.IsBottomUp());
  ASSERT_NE(bitmap.Pixels(), nullptr);
  EXPECT_EQ(bitmap.Pixels()[2 * 8 + 7], 0u);  // fresh surface is zeroed
  EXPECT_EQ(bitmap.Row(2), bitmap.Pixels() + 16);
}

TEST(SystemBitmap, KeepsItsSurfaceWhileItFits) {
  SystemBitmap bitmap(20, 20);
  PackedPixel* first = bitmap.Pixels();
  EXPECT_FALSE(bitmap.Resize(20, 20));
  EXPECT_TRUE(bitmap.Resize(7, 9));
  EXPECT_EQ(bitmap.Pixels(), first);
  EXPECT_EQ(bitmap.Width(), 7);
  EXPECT_EQ(bitmap.RowSpan(), 20);  // the allocated span, wider than the width

  EXPECT_TRUE(bitmap.Resize(21, 5));  // wider than allocated: a new surface
  EXPECT_EQ(bitmap.RowSpan(), 24);
  ASSERT_NE(bitmap.Pixels(), nullptr);

  EXPECT_FALSE(bitmap.Resize(0, 5));
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_EQ(bitmap.Pixels(), nullptr);
}

TEST(SystemBitmap, RefusesOverflowingSizes) {
  SystemBitmap bitmap(INT_MAX, INT_MAX);
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_EQ(bitmap.Height(), 0);
  EXPECT_EQ(bitmap.Pixels(), nullptr);
}

}  // namespace
}  // namespace kestro
