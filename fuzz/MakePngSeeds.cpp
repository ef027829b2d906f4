// Writes the PNG decoder fuzzer's seed corpus into the directory given: one
// small image per colour type, bit depth and interlace method, so the
// fuzzer starts from inputs that reach every transform.
#include <png.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "tests/graphics/PngTestImages.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
    return 2;
  }
  struct Seed {
    const char* name;
    int colourType;
    int bitDepth;
    bool interlaced;
    bool transparency;
  };
  const Seed seeds[] = {
      {"grey1", PNG_COLOR_TYPE_GRAY, 1, false, false},
      {"grey16-key", PNG_COLOR_TYPE_GRAY, 16, false, true},
      {"grey-alpha8-adam7", PNG_COLOR_TYPE_GRAY_ALPHA, 8, true, false},
      {"palette2", PNG_COLOR_TYPE_PALETTE, 2, false, false},
      {"palette8-trns-adam7", PNG_COLOR_TYPE_PALETTE, 8, true, true},
      {"rgb8-key", PNG_COLOR_TYPE_RGB, 8, false, true},
      {"rgb16-adam7", PNG_COLOR_TYPE_RGB, 16, true, false},
      {"rgba8", PNG_COLOR_TYPE_RGB_ALPHA, 8, false, false},
      {"rgba16-adam7", PNG_COLOR_TYPE_RGB_ALPHA, 16, true, false},
  };
  for (const Seed& seed : seeds) {
    kestro::pngtest::PngRecipe recipe;
    recipe.width = 9;
    recipe.height = 7;
    recipe.colourType = seed.colourType;
    recipe.bitDepth = seed.bitDepth;
    recipe.interlaced = seed.interlaced;
    const unsigned range = seed.colourType == PNG_COLOR_TYPE_PALETTE ? 4u : (1u << seed.bitDepth);
    if (seed.colourType == PNG_COLOR_TYPE_PALETTE) {
      recipe.palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
      if (seed.transparency) recipe.paletteAlpha = {0, 128};
    } else if (seed.transparency) {
      recipe.hasKey = true;  // key on sample value 0, which pixel (0, 0) has
    }
    const auto png = kestro::pngtest::WritePng(
        recipe, [range](int x, int y, int c) { return static_cast<unsigned>(x * 5 + y * 3 + c * 7) * 977u % range; });
    if (png.empty()) return 1;
    std::ofstream out(std::string(argv[1]) + "/" + seed.name + ".png", std::ios::binary);
    out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    if (!out) return 1;
  }
  return 0;
}
