// libFuzzer entry for DecodePngFromMemory: any input must yield a sane
// bitmap or none, without crashes, leaks or absurd allocations (the ctest run
// caps malloc, so a header that lies about its size shows up here).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "graphics/raster/PngDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto bitmap = kestro::DecodePngFromMemory(data, size);
  if (bitmap == nullptr) return 0;
  const int width = bitmap->Width();
  const int height = bitmap->Height();
  if (width <= 0 || height <= 0 || bitmap->Pixels() == nullptr ||
      static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > kestro::kPngMaxPixels) {
    std::abort();
  }
  // Read every decoded pixel so the sanitizers see the whole surface.
  uint32_t sum = 0;
  for (int y = 0; y < height; ++y) {
    const kestro::PackedPixel* row = bitmap->Row(y);
    for (int x = 0; x < width; ++x) sum += row[x];
  }
  volatile uint32_t sink = sum;
  (void)sink;
  return 0;
}
