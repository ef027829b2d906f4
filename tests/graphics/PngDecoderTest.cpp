#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "graphics/raster/ImageLoaderRegistry.h"
#include "graphics/raster/MemBitmap.h"
#include "graphics/raster/PngDecoder.h"
#include "tests/graphics/PngTestImages.h"
#include "tests/graphics/RasterTestUtil.h"

namespace kestro {
namespace {

using pngtest::PngRecipe;

struct DecodeCase {
  const char* name;
  int colourType;
  int bitDepth;
  bool interlaced;
  int paletteSize;  // palette images
  int alphaCount;   // tRNS entries (palette) or 1 for a colour key
};

constexpr DecodeCase kDecodeCases[] = {
    {"grey1", PNG_COLOR_TYPE_GRAY, 1, false, 0, 0},
    {"grey2", PNG_COLOR_TYPE_GRAY, 2, false, 0, 0},
    {"grey4", PNG_COLOR_TYPE_GRAY, 4, false, 0, 0},
    {"grey8", PNG_COLOR_TYPE_GRAY, 8, false, 0, 0},
    {"grey16", PNG_COLOR_TYPE_GRAY, 16, false, 0, 0},
    {"grey8 key", PNG_COLOR_TYPE_GRAY, 8, false, 0, 1},
    {"grey2 interlaced", PNG_COLOR_TYPE_GRAY, 2, true, 0, 0},
    {"grey+alpha8", PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, 0, 0},
    {"grey+alpha16", PNG_COLOR_TYPE_GRAY_ALPHA, 16, false, 0, 0},
    {"palette1", PNG_COLOR_TYPE_PALETTE, 1, false, 2, 0},
    {"palette2", PNG_COLOR_TYPE_PALETTE, 2, false, 4, 0},
    {"palette4", PNG_COLOR_TYPE_PALETTE, 4, false, 11, 0},
    {"palette8", PNG_COLOR_TYPE_PALETTE, 8, false, 200, 0},
    {"palette4 tRNS", PNG_COLOR_TYPE_PALETTE, 4, false, 16, 5},
    {"palette8 tRNS", PNG_COLOR_TYPE_PALETTE, 8, false, 37, 37},
    {"palette8 tRNS interlaced", PNG_COLOR_TYPE_PALETTE, 8, true, 37, 20},
    {"rgb8", PNG_COLOR_TYPE_RGB, 8, false, 0, 0},
    {"rgb16", PNG_COLOR_TYPE_RGB, 16, false, 0, 0},
    {"rgb8 key", PNG_COLOR_TYPE_RGB, 8, false, 0, 1},
    {"rgb16 key interlaced", PNG_COLOR_TYPE_RGB, 16, true, 0, 1},
    {"rgba8", PNG_COLOR_TYPE_RGB_ALPHA, 8, false, 0, 0},
    {"rgba16", PNG_COLOR_TYPE_RGB_ALPHA, 16, false, 0, 0},
    {"rgba8 interlaced", PNG_COLOR_TYPE_RGB_ALPHA, 8, true, 0, 0},
};

constexpr int kWidth = 13;  // odd sizes exercise every interlace pass
constexpr int kHeight = 11;

unsigned Sample(const DecodeCase& c, int x, int y, int channel) {
  if (c.colourType == PNG_COLOR_TYPE_PALETTE) return static_cast<unsigned>(x * 7 + y * 3) % c.paletteSize;
  if (c.bitDepth == 16) return static_cast<unsigned>(x * 7919 + y * 10477 + channel * 23456) & 0xFFFF;
  return static_cast<unsigned>(x * 7 + y * 13 + channel * 29 + 3) % (1u << c.bitDepth);
}

uint32_t PaletteEntry(int i) { return static_cast<uint32_t>(i * 0x10305 + 0x204080) & 0xFFFFFF; }

PngRecipe RecipeOf(const DecodeCase& c) {
  PngRecipe recipe;
  recipe.width = kWidth;
  recipe.height = kHeight;
  recipe.colourType = c.colourType;
  recipe.bitDepth = c.bitDepth;
  recipe.interlaced = c.interlaced;
  if (c.colourType == PNG_COLOR_TYPE_PALETTE) {
    for (int i = 0; i < c.paletteSize; ++i) recipe.palette.push_back(PaletteEntry(i));
    for (int i = 0; i < c.alphaCount; ++i) recipe.paletteAlpha.push_back(static_cast<uint8_t>(i * 50 + 1));
  } else if (c.alphaCount > 0) {
    // Key on the colour of pixel (0, 0) so some pixels become transparent.
    recipe.hasKey = true;
    recipe.keyGrey = static_cast<uint16_t>(Sample(c, 0, 0, 0));
    recipe.keyRed = static_cast<uint16_t>(Sample(c, 0, 0, 0));
    recipe.keyGreen = static_cast<uint16_t>(Sample(c, 0, 0, 1));
    recipe.keyBlue = static_cast<uint16_t>(Sample(c, 0, 0, 2));
  }
  return recipe;
}

// 8-bit value of a sample: 16-bit samples keep their high byte, sub-byte
// grey levels scale to the full range.
unsigned To8(const DecodeCase& c, unsigned value) {
  if (c.bitDepth == 16) return value >> 8;
  if (c.bitDepth < 8) return value * 255 / ((1u << c.bitDepth) - 1);
  return value;
}

PackedPixel Expected(const DecodeCase& c, const PngRecipe& recipe, int x, int y) {
  auto s = [&](int channel) { return Sample(c, x, y, channel); };
  switch (c.colourType) {
    case PNG_COLOR_TYPE_PALETTE: {
      const unsigned index = s(0);
      const uint32_t rgb = PaletteEntry(static_cast<int>(index));
      const unsigned alpha = index < recipe.paletteAlpha.size() ? recipe.paletteAlpha[index] : 255;
      return static_cast<PackedPixel>(alpha) << 24 | rgb;
    }
    case PNG_COLOR_TYPE_GRAY: {
      const unsigned g = To8(c, s(0));
      const unsigned alpha = recipe.hasKey && s(0) == recipe.keyGrey ? 0 : 255;
      return MakePackedPixel(alpha, g, g, g);
    }
    case PNG_COLOR_TYPE_GRAY_ALPHA: {
      const unsigned g = To8(c, s(0));
      return MakePackedPixel(To8(c, s(1)), g, g, g);
    }
    case PNG_COLOR_TYPE_RGB: {
      const bool keyed = recipe.hasKey && s(0) == recipe.keyRed && s(1) == recipe.keyGreen && s(2) == recipe.keyBlue;
      return MakePackedPixel(keyed ? 0 : 255, To8(c, s(0)), To8(c, s(1)), To8(c, s(2)));
    }
    default:
      return MakePackedPixel(To8(c, s(3)), To8(c, s(0)), To8(c, s(1)), To8(c, s(2)));
  }
}

std::vector<uint8_t> Encode(const DecodeCase& c) {
  return pngtest::WritePng(RecipeOf(c), [&c](int x, int y, int channel) { return Sample(c, x, y, channel); });
}

TEST(DecodePng, EveryColourTypeAndBitDepthEndsAsStraightArgb) {
  for (const DecodeCase& c : kDecodeCases) {
    const PngRecipe recipe = RecipeOf(c);
    const std::vector<uint8_t> png = Encode(c);
    ASSERT_FALSE(png.empty()) << c.name;
    const auto bitmap = DecodePngFromMemory(png.data(), png.size());
    ASSERT_NE(bitmap, nullptr) << c.name;
    ASSERT_EQ(bitmap->Width(), kWidth);
    ASSERT_EQ(bitmap->Height(), kHeight);
    int transparent = 0;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        ASSERT_EQ(Hex(bitmap->Row(y)[x]), Hex(Expected(c, recipe, x, y))) << c.name << " at " << x << ", " << y;
        transparent += bitmap->Row(y)[x] >> 24 == 0 ? 1 : 0;
      }
    }
    if (c.alphaCount == 1) {
      EXPECT_GT(transparent, 0) << c.name << ": the key never matched";
    }
  }
}

std::vector<uint8_t> SmallRgba() { return Encode(kDecodeCases[20]); }

TEST(DecodePng, RejectsShortOrForeignData) {
  const std::vector<uint8_t> png = SmallRgba();
  EXPECT_EQ(DecodePngFromMemory(nullptr, 100), nullptr);
  EXPECT_EQ(DecodePngFromMemory(png.data(), 7), nullptr);
  std::vector<uint8_t> badSignature = png;
  badSignature[1] = 'Q';
  EXPECT_EQ(DecodePngFromMemory(badSignature.data(), badSignature.size()), nullptr);
}

TEST(DecodePng, EveryTruncationYieldsNone) {
  const std::vector<uint8_t> png = SmallRgba();
  const size_t iend = png.size() - 12;  // the image is complete without IEND
  for (size_t length = 0; length < png.size(); ++length) {
    const auto bitmap = DecodePngFromMemory(png.data(), length);
    if (length < iend) {
      EXPECT_EQ(bitmap, nullptr) << "length " << length;
    }
  }
}

TEST(DecodePng, WrongCrcsInCriticalChunksYieldNone) {
  for (const char* chunk : {"IHDR", "IDAT"}) {
    std::vector<uint8_t> png = SmallRgba();
    const size_t at = pngtest::FindChunk(png, chunk);
    ASSERT_NE(at, 0u);
    png[at + 8] ^= 0x40;  // first data byte; the CRC no longer matches
    EXPECT_EQ(DecodePngFromMemory(png.data(), png.size()), nullptr) << chunk;
  }
}

// The small image with its header claiming width x height (CRC fixed up).
std::vector<uint8_t> ClaimingSize(uint32_t width, uint32_t height) {
  std::vector<uint8_t> png = SmallRgba();
  const size_t at = pngtest::FindChunk(png, "IHDR");
  for (int i = 0; i < 4; ++i) {
    png[at + 8 + i] = static_cast<uint8_t>(width >> (24 - 8 * i));
    png[at + 12 + i] = static_cast<uint8_t>(height >> (24 - 8 * i));
  }
  pngtest::FixChunkCrc(png, at);
  return png;
}

TEST(DecodePng, HeadersClaimingAbsurdSizesYieldNone) {
  const struct {
    uint32_t width;
    uint32_t height;
  } claims[] = {
      {0x7FFFFFFF, 0x7FFFFFFF},  // beyond anything libpng accepts
      {0, 11},                   // empty
      {100000, 100000},          // ten gigapixels
      {40000, 10},               // wider than we accept
      {30000, 30000},            // each side accepted, too many pixels
      {4000, 4000},              // plausible, but 100 bytes cannot inflate to it
      {13, 200},                 // taller than the data: rows run out
  };
  for (const auto& claim : claims) {
    const std::vector<uint8_t> png = ClaimingSize(claim.width, claim.height);
    EXPECT_EQ(DecodePngFromMemory(png.data(), png.size()), nullptr) << claim.width << " x " << claim.height;
  }
}

TEST(DecodePng, RandomCorruptionNeverCrashes) {
  const std::vector<uint8_t> original = Encode(kDecodeCases[15]);
  uint32_t state = 12345;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> png = original;
    const int flips = 1 + static_cast<int>(next() % 4);
    for (int i = 0; i < flips; ++i) png[8 + next() % (png.size() - 8)] ^= static_cast<uint8_t>(1u << (next() % 8));
    // Half the rounds repair the CRCs so the damage reaches the decoder.
    if (round % 2 == 1) {
      for (size_t at = 8; at + 12 <= png.size();) {
        const size_t length = static_cast<size_t>(png[at]) << 24 | static_cast<size_t>(png[at + 1]) << 16 |
                              static_cast<size_t>(png[at + 2]) << 8 | png[at + 3];
        if (length > png.size() - at - 12) break;
        pngtest::FixChunkCrc(png, at);
        at += 12 + length;
      }
    }
    const auto bitmap = DecodePngFromMemory(png.data(), png.size());
    if (bitmap != nullptr) {
      EXPECT_GT(bitmap->Width(), 0);
      EXPECT_LE(static_cast<uint64_t>(bitmap->Width()) * bitmap->Height(), kPngMaxPixels);
    }
  }
}

class PngFileTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = ::testing::TempDir() + "kestro_raster_" + name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    written_.push_back(path);
    return path;
  }
  void TearDown() override {
    for (const std::string& path : written_) std::remove(path.c_str());
  }

 private:
  std::vector<std::string> written_;
};

TEST_F(PngFileTest, DecodesFromFilesIntoNewOrReusedBitmaps) {
  const std::vector<uint8_t> png = SmallRgba();
  const std::string path = Write("image.PNG", png);
  const auto fromMemory = DecodePngFromMemory(png.data(), png.size());

  const auto fresh = DecodePngFromFile(path.c_str());
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh->Row(10)[12], fromMemory->Row(10)[12]);

  MemBitmap reused;
  reused.Resize(500, 2);
  ASSERT_TRUE(DecodePngFromFile(path.c_str(), reused));
  EXPECT_EQ(reused.Width(), kWidth);
  EXPECT_EQ(reused.Height(), kHeight);
  EXPECT_EQ(reused.Row(4)[7], fromMemory->Row(4)[7]);

  EXPECT_NE(LoadPngFile(path.c_str(), true), nullptr);
  EXPECT_EQ(DecodePngFromFile((path + ".missing").c_str()), nullptr);
  const std::string notPng = Write("text.png", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'});
  EXPECT_EQ(DecodePngFromFile(notPng.c_str()), nullptr);
  const std::string truncated = Write("cut.png", std::vector<uint8_t>(png.begin(), png.begin() + 60));
  EXPECT_FALSE(DecodePngFromFile(truncated.c_str(), reused));
}

TEST_F(PngFileTest, RegistryHoldsThePngLoader) {
  const ImageLoader* head = ImageLoaderRegistry::Module().Head();
  ASSERT_NE(head, nullptr);
  EXPECT_STREQ(head->typeDescription(), "PNG files (*.PNG)");
  const std::string path = Write("registry.png", SmallRgba());
  const auto bitmap = ImageLoaderRegistry::Module().Load(path.c_str(), true);
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->Width(), kWidth);
  EXPECT_EQ(ImageLoaderRegistry::Module().Load((path + ".txt").c_str(), true), nullptr);
  EXPECT_FALSE(ImageLoaderRegistry::Module().Push(PngFileLoader()));  // already linked
}

TEST(HasPngExtension, OnlyAFinalPngExtensionPasses) {
  const struct {
    const char* path;
    bool passes;
  } cases[] = {
      {"a.png", true},         {"dir/B.PNG", true},   {"c:\\x\\y.Png", true}, {".png", true},
      {"a.png.bak", false},    {"dir.png/file", false}, {"png", false},       {"a.pn", false},
      {"a.pngx", false},       {"a\\png", false},     {"", false},            {nullptr, false},
  };
  for (const auto& c : cases) EXPECT_EQ(HasPngExtension(c.path), c.passes) << (c.path ? c.path : "null");
}

}  // namespace
}  // namespace kestro
