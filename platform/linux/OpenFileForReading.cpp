#include "graphics/raster/OpenFileForReading.h"

namespace kestro {

// Paths are byte strings here, UTF-8 by convention.
std::FILE* OpenFileForReading(const char* path) {
  if (path == nullptr) return nullptr;
  return std::fopen(path, "rb");
}

}  // namespace kestro
