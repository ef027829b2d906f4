#include "graphics/raster/ImageCache.h"

namespace kestro {

ImageCache::~ImageCache() {
  // Bitmaps first, then the entries.
  for (Entry& entry : entries_) entry.bitmap.reset();
  entries_.clear();
}

ImageCache& ImageCache::Module() {
  static ImageCache cache;
  return cache;
}

Bitmap* ImageCache::Find(int id) {
  std::lock_guard<std::mutex> guard(lock_);
  for (const Entry& entry : entries_) {
    if (entry.id == id) return entry.bitmap.get();
  }
  return nullptr;
}

Bitmap* ImageCache::Insert(int id, std::unique_ptr<Bitmap> bitmap) {
  std::lock_guard<std::mutex> guard(lock_);
  for (const Entry& entry : entries_) {
    if (entry.id == id) return entry.bitmap.get();
  }
  if (bitmap == nullptr) return nullptr;
  entries_.push_back(Entry{id, std::move(bitmap)});
  return entries_.back().bitmap.get();
}

int ImageCache::Count() {
  std::lock_guard<std::mutex> guard(lock_);
  return static_cast<int>(entries_.size());
}

}  // namespace kestro
