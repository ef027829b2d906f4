// Linux half of FindPngResource: the PNGs the build embedded into the binary.
#include "graphics/raster/PngResource.h"
#include "platform/linux/EmbeddedPng.h"

namespace kestro {

std::span<const uint8_t> FindPngResource(int id) {
  for (const EmbeddedPng* const* entry = kEmbeddedPngs; *entry != nullptr; ++entry) {
    if ((*entry)->id == id) return {(*entry)->bytes, (*entry)->size};
  }
  return {};
}

}  // namespace kestro
