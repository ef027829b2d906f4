#pragma once

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "graphics/raster/Bitmap.h"

namespace kestro {

// Decoded images keyed by resource identifier, shared by every editor of the
// module and kept until it unloads. Lookup and insertion take the lock;
// decoding runs outside it.
class ImageCache {
 public:
  ImageCache() = default;
  ImageCache(const ImageCache&) = delete;
  ImageCache& operator=(const ImageCache&) = delete;
  ~ImageCache();

  // The module-wide cache, destroyed (with its bitmaps) when the module unloads.
  static ImageCache& Module();

  // The bitmap cached for id, or none.
  Bitmap* Find(int id);
  // Caches bitmap under id and returns the bitmap now cached for id. When
  // another thread cached one first, that one is returned and ours dropped,
  // so every caller shares one bitmap. No bitmap: nothing cached, none.
  Bitmap* Insert(int id, std::unique_ptr<Bitmap> bitmap);

  // Find, else load() outside the lock (returning std::unique_ptr<Bitmap> or
  // a pointer-like convertible to it) and Insert.
  template <typename Load>
  Bitmap* FindOrLoad(int id, Load&& load) {
    if (Bitmap* found = Find(id)) return found;
    return Insert(id, std::unique_ptr<Bitmap>(std::forward<Load>(load)()));
  }

  int Count();

 private:
  struct Entry {
    int id;
    std::unique_ptr<Bitmap> bitmap;
  };

  std::mutex lock_;
  std::vector<Entry> entries_;
};

}  // namespace kestro
