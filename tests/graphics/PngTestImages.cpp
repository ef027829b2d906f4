#include "tests/graphics/PngTestImages.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstring>

namespace kestro::pngtest {

namespace {

void AppendToVector(png_structp png, png_bytep data, size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void NoFlush(png_structp) {}

// Packs one row of samples as the file stores them: big-endian 16-bit
// samples, or several sub-byte samples per byte, most significant first.
std::vector<uint8_t> PackRow(const PngRecipe& recipe, const SampleFn& sample, int y) {
  const int channels = ChannelCount(recipe.colourType);
  const size_t bits = static_cast<size_t>(recipe.width) * channels * recipe.bitDepth;
  std::vector<uint8_t> row((bits + 7) / 8, 0);
  size_t bit = 0;
  for (int x = 0; x < recipe.width; ++x) {
    for (int c = 0; c < channels; ++c) {
      const unsigned value = sample(x, y, c);
      if (recipe.bitDepth == 16) {
        row[bit / 8] = static_cast<uint8_t>(value >> 8);
        row[bit / 8 + 1] = static_cast<uint8_t>(value);
      } else {
        const int shift = 8 - recipe.bitDepth - static_cast<int>(bit % 8);
        row[bit / 8] |= static_cast<uint8_t>(value << shift);
      }
      bit += static_cast<size_t>(recipe.bitDepth);
    }
  }
  return row;
}

// The setjmp frame: every C++ object lives in the caller.
bool Encode(png_structp png, png_infop info, const PngRecipe& recipe, png_colorp palette, png_color_16* key,
            png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, static_cast<png_uint_32>(recipe.width), static_cast<png_uint_32>(recipe.height),
               recipe.bitDepth, recipe.colourType, recipe.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (palette != nullptr) png_set_PLTE(png, info, palette, static_cast<int>(recipe.palette.size()));
  if (!recipe.paletteAlpha.empty()) {
    png_set_tRNS(png, info, recipe.paletteAlpha.data(), static_cast<int>(recipe.paletteAlpha.size()), nullptr);
  }
  if (key != nullptr) png_set_tRNS(png, info, nullptr, 0, key);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, info);
  return true;
}

}  // namespace

int ChannelCount(int colourType) {
  switch (colourType) {
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    default: return 1;
  }
}

std::vector<uint8_t> WritePng(const PngRecipe& recipe, const SampleFn& sample) {
  std::vector<uint8_t> out;
  std::vector<std::vector<uint8_t>> packed;
  std::vector<png_bytep> rows;
  for (int y = 0; y < recipe.height; ++y) packed.push_back(PackRow(recipe, sample, y));
  for (auto& row : packed) rows.push_back(row.data());
  std::vector<png_color> palette;
  for (uint32_t entry : recipe.palette) {
    palette.push_back(png_color{static_cast<png_byte>(entry >> 16), static_cast<png_byte>(entry >> 8),
                                static_cast<png_byte>(entry)});
  }
  png_color_16 key{};
  key.gray = recipe.keyGrey;
  key.red = recipe.keyRed;
  key.green = recipe.keyGreen;
  key.blue = recipe.keyBlue;

  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return {};
  }
  png_set_write_fn(png, &out, AppendToVector, NoFlush);
  const bool ok = Encode(png, info, recipe, palette.empty() ? nullptr : palette.data(),
                         recipe.hasKey ? &key : nullptr, rows.data());
  png_destroy_write_struct(&png, &info);
  if (!ok) out.clear();
  return out;
}

void FixChunkCrc(std::vector<uint8_t>& png, size_t offset) {
  const uint32_t length = static_cast<uint32_t>(png[offset]) << 24 | static_cast<uint32_t>(png[offset + 1]) << 16 |
                          static_cast<uint32_t>(png[offset + 2]) << 8 | png[offset + 3];
  const uLong crc = crc32(crc32(0, nullptr, 0), &png[offset + 4], length + 4);
  const size_t at = offset + 8 + length;
  png[at] = static_cast<uint8_t>(crc >> 24);
  png[at + 1] = static_cast<uint8_t>(crc >> 16);
  png[at + 2] = static_cast<uint8_t>(crc >> 8);
  png[at + 3] = static_cast<uint8_t>(crc);
}

size_t FindChunk(const std::vector<uint8_t>& png, const char type[4]) {
  size_t offset = 8;
  while (offset + 12 <= png.size()) {
    const uint32_t length = static_cast<uint32_t>(png[offset]) << 24 | static_cast<uint32_t>(png[offset + 1]) << 16 |
                            static_cast<uint32_t>(png[offset + 2]) << 8 | png[offset + 3];
    if (std::memcmp(&png[offset + 4], type, 4) == 0) return offset;
    offset += 12 + length;
  }
  return 0;
}

}  // namespace kestro::pngtest
