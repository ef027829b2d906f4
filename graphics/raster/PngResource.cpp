#include "graphics/raster/PngResource.h"

#include <cstring>

#include "graphics/raster/PngDecoder.h"

namespace kestro {

namespace {

// The text after the name's last full stop equals "png", ignoring case. A
// name without a full stop has no extension and does not pass.
bool NameHasPngExtension(const char* name) {
  if (name == nullptr) return false;
  const char* dot = std::strrchr(name, '.');
  if (dot == nullptr) return false;
  const char* extension = dot + 1;
  if (std::strlen(extension) != 3) return false;
  static constexpr char kPng[] = "png";
  for (int i = 0; i < 3; ++i) {
    char c = extension[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kPng[i]) return false;
  }
  return true;
}

}  // namespace

std::unique_ptr<MemBitmap> LoadPngResource(int id, const char* name) {
  if (!NameHasPngExtension(name)) return nullptr;
  // Resource identifiers are 16-bit: a larger id must not alias a smaller one.
  if (id < 1 || id > 0xFFFF) return nullptr;
  const std::span<const uint8_t> bytes = FindPngResource(id);
  if (bytes.size() <= 7) return nullptr;
  return DecodePngFromMemory(bytes.data(), bytes.size());
}

}  // namespace kestro
