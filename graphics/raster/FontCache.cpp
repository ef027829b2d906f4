#include "graphics/raster/FontCache.h"

#include <cstring>
#include <new>

#include "graphics/raster/TextFlags.h"

namespace kestro {

FontCache::FontCache(TextPlatform& platform) : platform_(platform) {}

FontCache::~FontCache() { Clear(); }

FontCache& FontCache::Module() {
  static FontCache cache;
  return cache;
}

namespace {
constexpr int kMaxFontSize = 16384;
}  // namespace

CachedFont* FontCache::FontFor(const Key& key) {
  const char* face = key.face != nullptr ? key.face : "";
  // Making a font happens under the lock too: it is rare, and two threads
  // asking for the same new style must end up with one shared font.
  std::lock_guard<std::mutex> guard(lock_);
  for (const Entry& entry : entries_) {
    if (entry.size == key.size && entry.orientation == key.orientation && entry.style == key.style &&
        entry.face == face) {
      return entry.font.get();
    }
  }

  // No text of a plug-in editor is this tall; refusing here keeps every
  // platform's rasteriser away from sizes it handles badly or not at all.
  if (key.size > kMaxFontSize || key.size < -kMaxFontSize) return nullptr;
  TextPlatform::FontRequest request;
  request.size = key.size;
  request.orientation = key.orientation;
  request.bold = key.style == 1;
  request.italic = key.style == 2;
  request.quality = key.quality;
  request.face = face;
  void* platformFont = platform_.MakeFont(request);
  if (platformFont == nullptr) return nullptr;
  std::unique_ptr<CachedFont> font(new (std::nothrow) CachedFont(platform_));
  if (font == nullptr) {
    platform_.FreeFont(platformFont);
    return nullptr;
  }
  font->SetFromPlatformFont(platformFont, FontOwnsPlatformFont | FontAllowNativePath);
  entries_.push_back(Entry{key.size, key.orientation, key.style, face, std::move(font)});
  return entries_.back().font.get();
}

int FontCache::Count() {
  std::lock_guard<std::mutex> guard(lock_);
  return static_cast<int>(entries_.size());
}

void FontCache::Clear() {
  std::lock_guard<std::mutex> guard(lock_);
  for (Entry& entry : entries_) entry.font.reset();
  entries_.clear();
}

}  // namespace kestro
