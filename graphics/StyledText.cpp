#include "graphics/StyledText.h"

#include <algorithm>
#include <cstdint>

#include "graphics/raster/TextFlags.h"

namespace kestro {

namespace {

int32_t Saturated(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

}  // namespace

Font* FontForStyle(TextStyle& style, FontCache& cache) {
  FontCache::Key key;
  key.size = style.size;
  key.orientation = style.orientation;
  key.style = static_cast<int>(style.style);
  key.quality = static_cast<int>(style.quality);
  key.face = style.face.c_str();
  CachedFont* font = cache.FontFor(key);
  if (font != nullptr) style.cachedFont = font;
  return font;
}

bool RenderStyledText(Bitmap* dest, TextStyle& style, const char* text, PixelRect& rect, bool measure,
                      FontCache& cache) {
  if (text == nullptr || text[0] == '\0') return true;
  Font* font = style.cachedFont != nullptr ? style.cachedFont : FontForStyle(style, cache);
  if (font == nullptr) return false;
  font->SetForegroundColor(style.colour.Packed());

  uint32_t flags = TextNoClip;
  if (style.align == TextAlign::Centre) flags |= TextCentre;
  if (style.align == TextAlign::Far) flags |= TextRight;
  if (style.colour.alpha != 255) flags |= TextUseColourAlpha;

  if (!measure) {
    TextRect area{rect.left, rect.top, rect.right, rect.bottom};
    font->RenderText(dest, text, -1, &area, flags);
    return true;
  }

  TextRect extent{};
  font->RenderText(dest, text, -1, &extent, flags | TextMeasure);
  const int64_t width = int64_t{extent.right} - extent.left;
  const int64_t height = int64_t{extent.bottom} - extent.top;
  switch (style.align) {
    case TextAlign::Centre:
      rect.left = Saturated(static_cast<int64_t>((static_cast<double>(rect.left) + rect.right) * 0.5) - width / 2);
      rect.right = Saturated(rect.left + width);
      break;
    case TextAlign::Far:
      rect.left = Saturated(rect.right - width);
      break;
    case TextAlign::Near:
    default:
      rect.right = Saturated(rect.left + width);
      break;
  }
  rect.bottom = Saturated(rect.top + height);
  return true;
}

}  // namespace kestro
