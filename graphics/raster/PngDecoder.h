#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "graphics/raster/Bitmap.h"
#include "graphics/raster/MemBitmap.h"

namespace kestro {

// PNG decoding into PackedPixel bitmaps with straight alpha. Every colour
// type and bit depth ends as 8-bit ARGB (alpha 255 where the image has none).
// Anything that is not a complete, sane PNG yields none.

// Images beyond these are refused before any pixel memory is reserved.
inline constexpr uint32_t kPngMaxDimension = 32768;
inline constexpr uint64_t kPngMaxPixels = uint64_t{1} << 25;

std::unique_ptr<MemBitmap> DecodePngFromMemory(const uint8_t* bytes, size_t length);

// path is UTF-8. The second form decodes into reuse, resized to the image.
std::unique_ptr<MemBitmap> DecodePngFromFile(const char* path);
bool DecodePngFromFile(const char* path, Bitmap& reuse);

// DecodePngFromFile, after checking (when asked) that the path ends in
// ".png", ignoring case.
std::unique_ptr<MemBitmap> LoadPngFile(const char* path, bool checkExtension);
bool LoadPngFile(const char* path, bool checkExtension, Bitmap& reuse);

// True when the last path component's final extension is ".png" (any case).
bool HasPngExtension(const char* path);

}  // namespace kestro
