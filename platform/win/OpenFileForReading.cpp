#include "graphics/raster/OpenFileForReading.h"

#include <windows.h>

#include <wchar.h>

namespace kestro {

namespace {

constexpr int kMaxWidePath = 2048;

}  // namespace

// UTF-8 to UTF-16 first so that non-ASCII paths open; a failed conversion or
// open falls back to the narrow (ANSI code page) path.
std::FILE* OpenFileForReading(const char* path) {
  if (path == nullptr) return nullptr;
  wchar_t wide[kMaxWidePath];
  const int converted = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide, kMaxWidePath);
  if (converted > 0) {
    if (std::FILE* file = _wfopen(wide, L"rb")) return file;
  }
  return std::fopen(path, "rb");
}

}  // namespace kestro
