#pragma once

// PNG files made with libpng's writer, so that every colour type, bit depth
// and interlace method can be decoded without committing binary files.

#include <cstdint>
#include <functional>
#include <vector>

namespace kestro::pngtest {

struct PngRecipe {
  int width = 1;
  int height = 1;
  int colourType = 0;  // PNG_COLOR_TYPE_*
  int bitDepth = 8;
  bool interlaced = false;
  // Palette images: entries as 0xRRGGBB, and optional tRNS alphas (possibly
  // fewer than the entries; the rest are opaque).
  std::vector<uint32_t> palette;
  std::vector<uint8_t> paletteAlpha;
  // Grey and RGB images: optional tRNS colour key (sample values).
  bool hasKey = false;
  uint16_t keyGrey = 0;
  uint16_t keyRed = 0;
  uint16_t keyGreen = 0;
  uint16_t keyBlue = 0;
};

// Sample c of pixel (x, y), within the bit depth's range (a palette index
// for palette images).
using SampleFn = std::function<unsigned(int x, int y, int c)>;

int ChannelCount(int colourType);

// An encoded PNG, or empty if libpng refused the recipe.
std::vector<uint8_t> WritePng(const PngRecipe& recipe, const SampleFn& sample);

// Rewrites the CRC of the chunk whose length field is at offset.
void FixChunkCrc(std::vector<uint8_t>& png, size_t offset);

// Offset of the first chunk of the given type, or 0.
size_t FindChunk(const std::vector<uint8_t>& png, const char type[4]);

}  // namespace kestro::pngtest
