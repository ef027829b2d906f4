#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "graphics/raster/CachedFont.h"
#include "graphics/raster/TextPlatform.h"

namespace kestro {

// Fonts keyed by size, orientation, style and exact face name, shared by
// every editor of the module and kept until it unloads. Requests that agree
// on those four share one font (the first request's quality wins). A font
// that cannot be made leaves the cache as it was, so the next request tries
// again.
class FontCache {
 public:
  struct Key {
    int size = 0;
    int orientation = 0;
    int style = 0;  // 0 normal, 1 bold, 2 italic
    int quality = 0;
    const char* face = "";
  };

  explicit FontCache(TextPlatform& platform = TextPlatform::Native());
  FontCache(const FontCache&) = delete;
  FontCache& operator=(const FontCache&) = delete;
  ~FontCache();

  // The module-wide cache; its fonts are destroyed when the module unloads
  // (or earlier by Clear).
  static FontCache& Module();

  // The font for key, made on first request; null when none can be made.
  CachedFont* FontFor(const Key& key);
  int Count();
  // Destroys every cached font, then the entries.
  void Clear();

 private:
  struct Entry {
    int size;
    int orientation;
    int style;
    std::string face;
    std::unique_ptr<CachedFont> font;
  };

  TextPlatform& platform_;
  std::mutex lock_;
  std::vector<Entry> entries_;
};

}  // namespace kestro
