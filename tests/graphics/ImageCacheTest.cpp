#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <span>
#include <string>

#include "graphics/raster/BitmapStrip.h"
#include "graphics/raster/ImageCache.h"
#include "graphics/raster/MemBitmap.h"
#include "graphics/raster/PngResource.h"
#include "tests/graphics/RasterTestUtil.h"

namespace kestro {
namespace {

std::unique_ptr<Bitmap> SmallBitmap(int width = 2) { return FilledBitmap(width, 3, 0xFF000000); }

TEST(ImageCache, SharesOneBitmapPerIdentifier) {
  ImageCache cache;
  EXPECT_EQ(cache.Find(105), nullptr);
  Bitmap* first = cache.Insert(105, SmallBitmap());
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(cache.Find(105), first);
  // A late second decode of the same id is dropped in favour of the first.
  EXPECT_EQ(cache.Insert(105, SmallBitmap(5)), first);
  EXPECT_EQ(cache.Count(), 1);
  // Nothing is cached without a bitmap.
  EXPECT_EQ(cache.Insert(106, nullptr), nullptr);
  EXPECT_EQ(cache.Find(106), nullptr);
  EXPECT_EQ(cache.Count(), 1);
}

TEST(ImageCache, FindOrLoadDecodesOnlyOnce) {
  ImageCache cache;
  int loads = 0;
  auto load = [&loads] {
    ++loads;
    return SmallBitmap();
  };
  Bitmap* a = cache.FindOrLoad(7, load);
  Bitmap* b = cache.FindOrLoad(7, load);
  EXPECT_EQ(a, b);
  EXPECT_EQ(loads, 1);
  // A failed load leaves no entry, so a later request tries again.
  EXPECT_EQ(cache.FindOrLoad(8, [] { return std::unique_ptr<Bitmap>(); }), nullptr);
  EXPECT_NE(cache.FindOrLoad(8, load), nullptr);
  EXPECT_EQ(loads, 2);
}

TEST(BitmapStrip, FrameGeometryTruncatesAndSpreadsTheRemainder) {
  auto bitmap = FilledBitmap(10, 100, 0);
  BitmapStrip strip = BitmapStrip::FromBitmap(bitmap.get(), 7);
  EXPECT_EQ(strip.width, 10);
  EXPECT_EQ(strip.height, 100);
  EXPECT_FALSE(strip.framesHorizontal);
  EXPECT_EQ(strip.FrameWidth(), 10);
  EXPECT_EQ(strip.FrameHeight(), 14);
  EXPECT_EQ(strip.FrameOffset(1), 14);
  EXPECT_EQ(strip.FrameOffset(6), 85);  // 6 * 100 / 7, not 6 * 14
  strip.framesHorizontal = true;
  EXPECT_EQ(strip.FrameWidth(), 1);
  EXPECT_EQ(strip.FrameHeight(), 100);
  strip.frameCount = 0;  // treated as one frame instead of dividing by zero
  EXPECT_EQ(strip.FrameWidth(), 10);
}

TEST(PngResource, NameMustEndInPngBeforeResourcesAreTouched) {
  if (FindPngResource(105).empty()) GTEST_SKIP() << "resources/img/bg.png is not there yet";
  EXPECT_NE(LoadPngResource(105, "resources/img/bg.png"), nullptr);
  EXPECT_NE(LoadPngResource(105, "BG.PNG"), nullptr);
  EXPECT_EQ(LoadPngResource(105, "resources/img/bg.jpg"), nullptr);
  // Without a full stop the text after the first character is compared.
  EXPECT_EQ(LoadPngResource(105, "png"), nullptr);
  EXPECT_NE(LoadPngResource(105, "xpng"), nullptr);
  EXPECT_EQ(LoadPngResource(105, ""), nullptr);
  EXPECT_EQ(LoadPngResource(105, nullptr), nullptr);
  // Identifiers are 16-bit: only the low 16 bits name the resource.
  EXPECT_NE(LoadPngResource(0x10000 + 105, "bg.png"), nullptr);
  EXPECT_EQ(LoadPngResource(999, "bg.png"), nullptr);
}

struct Artwork {
  int id;
  const char* name;
  int width;
  int height;
  int frames;
  int frameWidth;
  int frameHeight;
};

// Names the case in test listings (ctest shows the parameter).
void PrintTo(const Artwork& art, std::ostream* out) { *out << art.name; }

class ArtworkTest : public ::testing::TestWithParam<Artwork> {};

TEST_P(ArtworkTest, DecodesToTheLayoutsSizeAndFrames) {
  const Artwork& art = GetParam();
  const std::span<const uint8_t> bytes = FindPngResource(art.id);
  if (bytes.empty()) GTEST_SKIP() << art.name << " is not there yet";
  // Stored as 8-bit RGBA: IHDR's bit depth and colour type bytes.
  ASSERT_GT(bytes.size(), 26u);
  EXPECT_EQ(bytes[24], 8);
  EXPECT_EQ(bytes[25], 6);

  Bitmap* bitmap = ImageCache::Module().FindOrLoad(art.id, [&art] { return LoadPngResource(art.id, art.name); });
  ASSERT_NE(bitmap, nullptr);
  const BitmapStrip strip = BitmapStrip::FromBitmap(bitmap, art.frames);
  EXPECT_EQ(strip.width, art.width);
  EXPECT_EQ(strip.height, art.height);
  EXPECT_EQ(strip.FrameWidth(), art.frameWidth);
  EXPECT_EQ(strip.FrameHeight(), art.frameHeight);
  EXPECT_EQ(strip.FrameOffset(art.frames - 1) + strip.FrameHeight(), art.height);
  // A second request shares the cached bitmap.
  EXPECT_EQ(ImageCache::Module().FindOrLoad(art.id, []() -> std::unique_ptr<Bitmap> { return nullptr; }), bitmap);

  // Its high-density twin, 100 above: exactly twice the size, so its frames
  // fall on the same boundaries.
  const int twin = art.id + 100;
  std::string twinName = art.name;
  twinName.insert(twinName.size() - 4, "@2x");
  Bitmap* dense = ImageCache::Module().FindOrLoad(twin, [&] { return LoadPngResource(twin, twinName.c_str()); });
  ASSERT_NE(dense, nullptr) << twinName;
  EXPECT_EQ(dense->Width(), 2 * art.width);
  EXPECT_EQ(dense->Height(), 2 * art.height);
}

INSTANTIATE_TEST_SUITE_P(Images, ArtworkTest,
                         ::testing::Values(Artwork{105, "resources/img/bg.png", 1020, 151, 1, 1020, 151},
                                           Artwork{110, "resources/img/by.png", 53, 104, 2, 53, 52},
                                           Artwork{113, "resources/img/OVER.png", 150, 50, 2, 150, 25},
                                           Artwork{103, "resources/img/Thr.png", 50, 3172, 61, 50, 52},
                                           Artwork{108, "resources/img/Out.png", 50, 3172, 61, 50, 52},
                                           Artwork{104, "resources/img/Atk.png", 53, 312, 6, 53, 52},
                                           Artwork{106, "resources/img/Rel.png", 53, 312, 6, 53, 52},
                                           Artwork{109, "resources/img/Rat.png", 50, 312, 6, 50, 52},
                                           Artwork{111, "resources/img/Side.png", 51, 3172, 61, 51, 52},
                                           Artwork{112, "resources/img/Mix.png", 50, 3172, 61, 50, 52},
                                           Artwork{119, "resources/img/SC.png", 100, 60, 2, 100, 30},
                                           Artwork{107, "resources/img/vu.png", 123, 4270, 61, 123, 70}),
                         [](const ::testing::TestParamInfo<Artwork>& info) { return std::to_string(info.param.id); });

}  // namespace
}  // namespace kestro
