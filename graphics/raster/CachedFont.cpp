#include "graphics/raster/CachedFont.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>
#include <utility>

#include "graphics/raster/Blit.h"
#include "graphics/raster/FillRectangle.h"
#include "graphics/raster/PixelBlend.h"
#include "graphics/raster/SystemBitmap.h"
#include "graphics/raster/TextFlags.h"

namespace kestro {

namespace {

// Scratch bitmaps shared by every font, made on first need and freed with
// the last font. Plain constant-initialised globals so that they outlive any
// font held by a function-local static cache during module shutdown.
std::mutex scratchLock;
int liveFonts = 0;
SystemBitmap* glyphRaster = nullptr;   // white text on opaque black
SystemBitmap* smallScratch = nullptr;  // for destinations without a drawing context

// The scratch bitmap grown to at least width x height, or null when it
// cannot be had.
Bitmap* GrownScratch(SystemBitmap*& bitmap, int width, int height) {
  std::lock_guard<std::mutex> guard(scratchLock);
  if (bitmap == nullptr) {
    bitmap = new (std::nothrow) SystemBitmap(width, height);
  } else if (bitmap->Width() < width || bitmap->Height() < height) {
    bitmap->Resize(std::max(bitmap->Width(), width), std::max(bitmap->Height(), height));
  }
  if (bitmap == nullptr || bitmap->Pixels() == nullptr || bitmap->Width() < width ||
      bitmap->Height() < height) {
    return nullptr;
  }
  return bitmap;
}

int ToInt(int64_t value) {
  return static_cast<int>(std::clamp<int64_t>(value, std::numeric_limits<int>::min(),
                                              std::numeric_limits<int>::max()));
}

// Decodes the character at text[i] and moves i past it, never looking at or
// beyond text[length]. A byte that does not start a well-formed sequence
// (stray continuation, overlong form, surrogate, beyond U+10FFFF, cut off by
// the end) stands for itself as a Latin-1 character, which is what the
// native path's byte-wise drawing shows for such text too.
uint32_t NextCharacter(const unsigned char* text, size_t length, size_t& i) {
  const uint32_t lead = text[i];
  int extra = 0;
  uint32_t code = 0;
  uint32_t smallest = 0;
  if (lead < 0x80) {
    ++i;
    return lead;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1, code = lead & 0x1F, smallest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2, code = lead & 0x0F, smallest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3, code = lead & 0x07, smallest = 0x10000;
  } else {
    ++i;
    return lead;
  }
  if (length - i <= static_cast<size_t>(extra)) {
    ++i;
    return lead;
  }
  for (int n = 1; n <= extra; ++n) {
    const uint32_t next = text[i + n];
    if ((next & 0xC0) != 0x80) {
      ++i;
      return lead;
    }
    code = code << 6 | (next & 0x3F);
  }
  if (code < smallest || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
    ++i;
    return lead;
  }
  i += static_cast<size_t>(extra) + 1;
  return code;
}

// One destination pixel under coverage k (1..255) of the text colour at
// strength D (1..256) with combine operation op (the low byte of the mode).
PackedPixel BlendCoverage(PackedPixel dest, int k, int D, int op, const BlendSource& colour) {
  if (op == BlitCopy) {
    PackedPixel out = 0;
    const int alpha = static_cast<int>(PixelByte(dest, 3));
    if (D == 256) {
      for (int n = 0; n < 3; ++n) {
        const int d = static_cast<int>(PixelByte(dest, n));
        const int s = colour.channel[n];
        out |= static_cast<PackedPixel>(((d - s) * (255 - k) / 256 + s) & 0xFF) << (8 * n);
      }
      return out | static_cast<PackedPixel>(((255 - k) * (alpha - 255) / 256 - 1) & 0xFF) << 24;
    }
    const int g = D * k < 65792 ? 256 - D * k / 256 : 0;
    for (int n = 0; n < 3; ++n) {
      const int d = static_cast<int>(PixelByte(dest, n));
      const int s = colour.channel[n];
      out |= static_cast<PackedPixel>((s + (d - s) * g / 256) & 0xFF) << (8 * n);
    }
    return out | static_cast<PackedPixel>(((alpha - 255) * g / 256 - 1) & 0xFF) << 24;
  }
  const int w = D == 256 ? k + 1 : D * k / 256;
  switch (op) {
    case BlitAdd:
      return BlendAllChannels(dest, colour, [w](int d, int s) { return BlendAddChannel(d, s, w); });
    case BlitDodge:
      return BlendAllChannels(dest, colour, [w](int d, int s) { return BlendDodgeChannel(d, s, w); });
    case BlitMultiply:
      return BlendAllChannels(dest, colour, [w](int d, int s) { return BlendMultiplyChannel(d, s, w); });
    case BlitOverlay:
      return BlendAllChannels(dest, colour, [w](int d, int s) { return BlendOverlayChannel(d, s, w); });
    case BlitHsvAdjust:
      return BlendHsvAdjust(dest, colour.channel[2], colour.channel[1], colour.channel[0], 255, w);
    default:
      return dest;
  }
}

}  // namespace

CachedFont::CachedFont(TextPlatform& platform) : platform_(&platform) {
  std::lock_guard<std::mutex> guard(scratchLock);
  ++liveFonts;
}

CachedFont::~CachedFont() {
  if ((fontFlags_ & FontOwnsPlatformFont) != 0 && platformFont_ != nullptr) platform_->FreeFont(platformFont_);
  std::lock_guard<std::mutex> guard(scratchLock);
  if (--liveFonts == 0) {
    delete glyphRaster;
    delete smallScratch;
    glyphRaster = nullptr;
    smallScratch = nullptr;
  }
}

int CachedFont::LiveFonts() {
  std::lock_guard<std::mutex> guard(scratchLock);
  return liveFonts;
}

bool CachedFont::HasScratchBitmaps() {
  std::lock_guard<std::mutex> guard(scratchLock);
  return glyphRaster != nullptr || smallScratch != nullptr;
}

void CachedFont::SetFromPlatformFont(void* font, uint32_t flags) {
  if ((fontFlags_ & FontOwnsPlatformFont) != 0 && platformFont_ != nullptr && platformFont_ != font) {
    platform_->FreeFont(platformFont_);
  }
  fontFlags_ = flags;
  platformFont_ = font;
  lineHeight_ = 0;
  if (font != nullptr) {
    Bitmap* raster = GrownScratch(glyphRaster, 256, 256);
    lineHeight_ = std::max(0, platform_->LineHeight(font, raster));
  }
  ForgetGlyphs();
  if ((flags & FontLowGlyphsOnly) != 0) {
    for (uint32_t code = 0; code < 128; ++code) FindGlyph(code);
  }
}

PackedPixel CachedFont::SetForegroundColor(PackedPixel colour) { return std::exchange(textColour_, colour); }
PackedPixel CachedFont::SetBackgroundColor(PackedPixel colour) { return std::exchange(backgroundColour_, colour); }
PackedPixel CachedFont::SetEffectsColour(PackedPixel colour) { return std::exchange(effectsColour_, colour); }
int CachedFont::SetBackgroundMode(int mode) { return std::exchange(backgroundMode_, mode); }

void CachedFont::SetTextBlendMode(BlitMode mode, float opacity) {
  combineMode_ = mode;
  opacity_ = opacity;
}

void CachedFont::ForgetGlyphs() {
  std::fill(std::begin(lowGlyphs_), std::end(lowGlyphs_), GlyphRecord{});
  highGlyphs_.clear();
  masks_.clear();
}

const CachedFont::GlyphRecord* CachedFont::FindGlyph(uint32_t code) {
  if (code < 128) {
    GlyphRecord& record = lowGlyphs_[code];
    if (record.location == 0) {
      const GlyphRecord made = RenderGlyph(code);
      if (made.location == 0) return nullptr;
      record = made;
    }
    return &record;
  }
  auto at = std::lower_bound(highGlyphs_.begin(), highGlyphs_.end(), code,
                             [](const GlyphRecord& record, uint32_t c) { return record.code < c; });
  if (at != highGlyphs_.end() && at->code == code) return &*at;
  if ((fontFlags_ & FontLowGlyphsOnly) != 0) return nullptr;
  const GlyphRecord made = RenderGlyph(code);
  if (made.location == 0) return nullptr;
  // Inserting at the search position keeps the table sorted.
  return &*highGlyphs_.insert(at, made);
}

CachedFont::GlyphRecord CachedFont::RenderGlyph(uint32_t code) {
  GlyphRecord record;
  record.code = code;
  if (platformFont_ == nullptr || lineHeight_ < 1 || lineHeight_ > kMaxGlyphLineHeight) return record;
  const int side = 2 * lineHeight_ + 8;
  Bitmap* raster = GrownScratch(glyphRaster, side, side);
  if (raster == nullptr) return record;
  const int margin = lineHeight_ < 16 ? 2 : lineHeight_ / 16 + 2;

  int advance = 0;
  int height = 0;
  record.location = -1;
  if (!platform_->RenderGlyph(platformFont_, code, raster, margin, &advance, &height)) return record;
  record.advance = std::clamp(advance, 0, 4 * side);

  // The platform drew into (advance + 2m) x height; read no more than the raster holds.
  const int width = std::min(record.advance + 2 * margin, raster->Width());
  height = std::min(height, raster->Height());
  if (width <= 0 || height <= 0) return record;
  int first = width;
  int last = -1;
  for (int y = 0; y < height; ++y) {
    const PackedPixel* row = raster->Row(y);
    for (int x = 0; x < width; ++x) {
      if (PixelByte(row[x], 2) != 0) {
        first = std::min(first, x);
        last = std::max(last, x);
      }
    }
  }
  if (last < first) return record;

  const int maskWidth = last - first + 1;
  const size_t bytes = static_cast<size_t>(maskWidth) * static_cast<size_t>(height);
  if (masks_.size() + bytes > kMaxMaskBytes) return record;
  record.location = static_cast<int32_t>(masks_.size()) + 1;
  record.width = maskWidth;
  record.height = height;
  record.offset = first - margin;
  masks_.reserve(masks_.size() + bytes);
  for (int y = 0; y < height; ++y) {
    const PackedPixel* row = raster->Row(y);
    for (int x = first; x <= last; ++x) masks_.push_back(static_cast<uint8_t>(PixelByte(row[x], 2)));
  }
  return record;
}

void CachedFont::BlendGlyph(Bitmap* bitmap, const GlyphRecord& glyph, int64_t x, int64_t y, const TextRect& clip,
                            float opacity) {
  if (backgroundMode_ == 2) {
    const int64_t left = std::max<int64_t>(x, clip.left);
    const int64_t top = std::max<int64_t>(y, clip.top);
    const int64_t right = std::min<int64_t>(x + glyph.advance, clip.right);
    const int64_t bottom = std::min<int64_t>(y + lineHeight_, clip.bottom);
    if (left < right && top < bottom) {
      FillRectangle(bitmap, static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
                    static_cast<int>(bottom - top), backgroundColour_, opacity, combineMode_);
    }
  }
  if (glyph.location <= 0) return;

  const int64_t maskX = x + glyph.offset;
  const int64_t left = std::max<int64_t>(maskX, clip.left);
  const int64_t top = std::max<int64_t>(y, clip.top);
  const int64_t right = std::min<int64_t>(maskX + glyph.width, clip.right);
  const int64_t bottom = std::min<int64_t>(y + glyph.height, clip.bottom);
  if (left >= right || top >= bottom) return;
  const int D = BlendWeight(opacity);
  if (D == 0) return;

  const BlendSource colour{{static_cast<int>(PixelByte(textColour_, 0)), static_cast<int>(PixelByte(textColour_, 1)),
                            static_cast<int>(PixelByte(textColour_, 2)), 255}};
  const int op = combineMode_ & 0xFF;
  const bool solid = (fontFlags_ & FontNoAntialias) != 0;
  const uint8_t* mask = masks_.data() + (glyph.location - 1);
  for (int64_t row = top; row < bottom; ++row) {
    PackedPixel* pixels = bitmap->Row(static_cast<int>(row));
    const uint8_t* coverage = mask + (row - y) * glyph.width + (left - maskX);
    for (int64_t col = left; col < right; ++col) {
      int k = coverage[col - left];
      if (k == 0) continue;
      if (solid) k = 255;
      pixels[col] = BlendCoverage(pixels[col], k, D, op, colour);
    }
  }
}

CachedFont::Extent CachedFont::WalkText(Bitmap* bitmap, const unsigned char* text, size_t length, int64_t x,
                                        int64_t y, uint32_t flags, const TextRect& clip, float opacity) {
  const int64_t startX = x;
  const int64_t startY = y;
  const int64_t lineStep = static_cast<int64_t>(lineHeight_) + extraLineSpacing_;
  int64_t widest = 0;
  size_t i = 0;
  while (i < length) {
    uint32_t code = NextCharacter(text, length, i);
    if (code == '\r') continue;
    if (code == '\n') {
      if ((flags & TextSingleLine) == 0) {
        widest = std::max(widest, x - startX);
        x = startX;
        y += lineStep;
        continue;
      }
      code = ' ';
    }
    const GlyphRecord* glyph = FindGlyph(code);
    if (glyph == nullptr) continue;
    if (bitmap != nullptr) BlendGlyph(bitmap, *glyph, x, y, clip, opacity);
    x += glyph->advance;
  }
  widest = std::max(widest, x - startX);
  return {widest, length > 0 ? y + lineHeight_ - startY : 0};
}

int CachedFont::RenderText(Bitmap* bitmap, const char* text, int length, TextRect* rect, uint32_t flags) {
  if (bitmap == nullptr && (flags & TextMeasure) == 0) return 0;
  if (rect == nullptr) return 0;
  const bool nativeRefused = (flags & TextNoNativePath) != 0;
  flags &= ~TextNoNativePath;

  const bool native =
      platform_->HasNativeDrawing() && platformFont_ != nullptr &&
      (((fontFlags_ & FontAllowNativePath) != 0 && !nativeRefused && (flags & TextUseColourAlpha) == 0 &&
        (fontFlags_ & FontEffectFlags) == 0 && (extraLineSpacing_ == 0 || (flags & TextSingleLine) != 0) &&
        !platform_->RunningUnderWine()) ||
       lineHeight_ >= 256);
  if (native) return RenderNative(bitmap, text, length, rect, flags);

  const size_t size = text == nullptr ? 0 : length < 0 ? std::strlen(text) : static_cast<size_t>(length);
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);

  // Measuring does not depend on the opacity: a transparent text still has a size.
  if ((flags & TextMeasure) != 0) {
    const Extent extent = WalkText(nullptr, bytes, size, 0, 0, flags, TextRect{}, 0.0f);
    rect->right = ToInt(rect->left + extent.width);
    rect->bottom = ToInt(rect->top + extent.height);
    return ToInt(extent.height);
  }

  float opacity = opacity_;
  if ((flags & TextUseColourAlpha) != 0) opacity *= static_cast<float>(textColour_ >> 24) / 255.0f;
  if (opacity == 0.0f) return 0;

  int64_t x = rect->left;
  int64_t y = rect->top;
  if ((flags & TextAlignmentMask) != 0) {
    const Extent extent = WalkText(nullptr, bytes, size, 0, 0, flags & TextSingleLine, TextRect{}, 0.0f);
    if ((flags & TextCentre) != 0) {
      x += (int64_t{rect->right} - rect->left - extent.width) / 2;
    } else if ((flags & TextRight) != 0) {
      x = rect->right - extent.width;
    }
    if ((flags & TextVerticalCentre) != 0) {
      y += (int64_t{rect->bottom} - rect->top - extent.height) / 2;
    } else if ((flags & TextBottom) != 0) {
      y = rect->bottom - extent.height;
    }
  }

  if (bitmap->Pixels() == nullptr) return 0;
  TextRect clip{0, 0, bitmap->Width(), bitmap->Height()};
  if ((flags & TextNoClip) == 0) {
    clip = {std::max(rect->left, 0), std::max(rect->top, 0), std::min(rect->right, clip.right),
            std::min(rect->bottom, clip.bottom)};
  }
  if (clip.left >= clip.right || clip.top >= clip.bottom) return 0;
  return ToInt(WalkText(bitmap, bytes, size, x, y, flags, clip, opacity).height);
}

int CachedFont::RenderNative(Bitmap* bitmap, const char* text, int length, TextRect* rect, uint32_t flags) {
  const TextPlatform::Colours colours{textColour_, backgroundMode_, backgroundColour_};
  if (bitmap != nullptr && bitmap->SystemContext() != nullptr) {
    return platform_->DrawNative(platformFont_, bitmap, text, length, rect, flags | TextNoPrefix, colours);
  }

  // No drawing context: measure, copy the covered area into the small
  // scratch bitmap, let the platform draw there, and copy it back.
  Bitmap* scratch = GrownScratch(smallScratch, 1, 1);
  if (scratch == nullptr) return 0;
  TextRect extent{};
  platform_->DrawNative(platformFont_, scratch, text, length, &extent,
                        (flags & TextSingleLine) | TextMeasure | TextNoPrefix, colours);
  const int64_t width = int64_t{extent.right} - extent.left;
  const int64_t height = int64_t{extent.bottom} - extent.top;
  if ((flags & TextMeasure) != 0) {
    rect->right = ToInt(rect->left + width);
    rect->bottom = ToInt(rect->top + height);
    return ToInt(height);
  }
  if (width <= 0 || height <= 0 || bitmap->Pixels() == nullptr) return 0;

  int64_t x = rect->left;
  int64_t y = rect->top;
  if ((flags & TextCentre) != 0) {
    x += (int64_t{rect->right} - rect->left - width) / 2;
  } else if ((flags & TextRight) != 0) {
    x = rect->right - width;
  }
  if ((flags & TextVerticalCentre) != 0) {
    y += (int64_t{rect->bottom} - rect->top - height) / 2;
  } else if ((flags & TextBottom) != 0) {
    y = rect->bottom - height;
  }
  // Only the part of the text that lands on the destination goes through
  // the scratch bitmap, so a very long text does not need a huge one.
  const int64_t left = std::max<int64_t>(x, 0);
  const int64_t top = std::max<int64_t>(y, 0);
  const int64_t right = std::min<int64_t>(x + width, bitmap->Width());
  const int64_t bottom = std::min<int64_t>(y + height, bitmap->Height());
  if (left >= right || top >= bottom) return 0;
  const int areaWidth = static_cast<int>(right - left);
  const int areaHeight = static_cast<int>(bottom - top);
  scratch = GrownScratch(smallScratch, areaWidth, areaHeight);
  if (scratch == nullptr) return 0;

  const BlitRect area{static_cast<int>(left), static_cast<int>(top), static_cast<int>(right),
                      static_cast<int>(bottom)};
  Blit(scratch, bitmap, 0, 0, &area, 1.0f, BlitCopy);
  TextRect placed{ToInt(x - left), ToInt(y - top), ToInt(x - left + width), ToInt(y - top + height)};
  platform_->DrawNative(platformFont_, scratch, text, length, &placed,
                        (flags & ~(TextAlignmentMask | TextMeasure)) | TextNoClip | TextNoPrefix, colours);
  const BlitRect drawn{0, 0, areaWidth, areaHeight};
  Blit(bitmap, scratch, area.left, area.top, &drawn, opacity_, BlitCopy);
  return ToInt(height);
}

bool CachedFont::DrawGlyph(Bitmap* bitmap, uint32_t code, int x, int y, const TextRect* clip) {
  if (bitmap == nullptr || bitmap->Pixels() == nullptr) return false;
  TextRect bounds{0, 0, bitmap->Width(), bitmap->Height()};
  if (clip != nullptr) {
    bounds = {std::max(bounds.left, clip->left), std::max(bounds.top, clip->top),
              std::min(bounds.right, clip->right), std::min(bounds.bottom, clip->bottom)};
  }
  if (bounds.left >= bounds.right || bounds.top >= bounds.bottom) return false;
  const GlyphRecord* glyph = FindGlyph(code);
  if (glyph == nullptr) return false;
  BlendGlyph(bitmap, *glyph, x, y, bounds, opacity_);
  return glyph->location > 0;
}

}  // namespace kestro
