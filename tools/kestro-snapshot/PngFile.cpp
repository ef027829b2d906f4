#include "tools/kestro-snapshot/PngFile.h"

#include <png.h>

#include <cstdio>
#include <vector>

namespace kestro {

bool WritePngFile(const Bitmap& bitmap, const std::string& path, std::string& error) {
  if (bitmap.Pixels() == nullptr || bitmap.Width() <= 0 || bitmap.Height() <= 0) {
    error = "there is no picture to write";
    return false;
  }
  // Our pixels are 0xAARRGGBB words: blue, green, red, alpha in memory.
  std::vector<PackedPixel> rows(static_cast<size_t>(bitmap.Width()) * static_cast<size_t>(bitmap.Height()));
  for (int y = 0; y < bitmap.Height(); ++y) {
    const PackedPixel* row = bitmap.Row(y);
    std::copy(row, row + bitmap.Width(), rows.begin() + static_cast<ptrdiff_t>(y) * bitmap.Width());
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(bitmap.Width());
  image.height = static_cast<png_uint_32>(bitmap.Height());
  image.format = PNG_FORMAT_BGRA;
  const std::string partial = path + ".partial";
  if (!png_image_write_to_file(&image, partial.c_str(), 0, rows.data(), 0, nullptr)) {
    error = "cannot write " + path + ": " + image.message;
    std::remove(partial.c_str());
    return false;
  }
  if (std::rename(partial.c_str(), path.c_str()) != 0) {
    error = "cannot write " + path;
    std::remove(partial.c_str());
    return false;
  }
  return true;
}

}  // namespace kestro
