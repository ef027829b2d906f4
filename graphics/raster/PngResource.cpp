#include "graphics/raster/PngResource.h"

#include <cstring>

#include "graphics/raster/PngDecoder.h"

namespace kestro {

namespace {

// The text after the name's last full stop equals "png", ignoring case. A
// name without a full stop compares everything after its first character,
// so "xpng" passes; an empty name has no such text and is refused.
bool NameHasPngExtension(const char* name) {
  if (name == nullptr || name[0] == '\0') return false;
  const char* dot = std::strrchr(name, '.');
  const char* extension = dot != nullptr ? dot + 1 : name + 1;
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
  // Resource identifiers are 16-bit; only the low 16 bits of id name one.
  const std::span<const uint8_t> bytes = FindPngResource(id & 0xFFFF);
  if (bytes.size() <= 7) return nullptr;
  return DecodePngFromMemory(bytes.data(), bytes.size());
}

}  // namespace kestro
