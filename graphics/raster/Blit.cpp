#include "graphics/raster/Blit.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "graphics/raster/PixelBlend.h"

namespace kestro {

namespace {

// The clipped region: rows x columns starting at the given row pointers.
struct BlitRegion {
  PackedPixel* dest;
  const PackedPixel* source;
  ptrdiff_t destStride;
  ptrdiff_t sourceStride;
  int columns;
  int rows;
};

template <typename Op>
void ForEachPixel(const BlitRegion& region, Op op) {
  PackedPixel* destRow = region.dest;
  const PackedPixel* sourceRow = region.source;
  for (int y = 0; y < region.rows; ++y) {
    for (int x = 0; x < region.columns; ++x) destRow[x] = op(destRow[x], sourceRow[x]);
    destRow += region.destStride;
    sourceRow += region.sourceStride;
  }
}

// Copy weighted by the source alpha at full opacity.
PackedPixel CopySourceAlphaFull(PackedPixel d, PackedPixel s) {
  const int sa = static_cast<int>(s >> 24);
  if (sa == 0) return d;
  if (sa == 255) return s;
  const int da = std::min(static_cast<int>(d >> 24) + sa, 255);
  PackedPixel out = static_cast<PackedPixel>(da) << 24;
  for (int n = 0; n < 3; ++n) {
    const int dc = static_cast<int>(PixelByte(d, n));
    const int sc = static_cast<int>(PixelByte(s, n));
    out |= static_cast<PackedPixel>(sc + (dc - sc) * (255 - sa) / 256) << (8 * n);
  }
  return out;
}

// Copy weighted by the source alpha at partial opacity: the alpha grows by
// the weighted strength, not by the source alpha itself.
PackedPixel CopySourceAlphaPartial(PackedPixel d, PackedPixel s, int w) {
  const int sa = static_cast<int>(s >> 24);
  if (sa == 0) return d;
  const int a = (sa + 1) * w / 256;
  const int da = std::min(static_cast<int>(d >> 24) + a, 255);
  PackedPixel out = static_cast<PackedPixel>(da) << 24;
  for (int n = 0; n < 3; ++n) {
    const int dc = static_cast<int>(PixelByte(d, n));
    const int sc = static_cast<int>(PixelByte(s, n));
    out |= static_cast<PackedPixel>(sc + (dc - sc) * (256 - a) / 256) << (8 * n);
  }
  return out;
}

int SourceAlphaStrength(PackedPixel s, int w) { return (static_cast<int>(s >> 24) + 1) * w / 256; }

void BlitChannel(const BlitRegion& region, BlitMode mode) {
  const int from = 8 * (mode & 3);
  const int to = 8 * ((mode >> 2) & 3);
  const PackedPixel keep = ~(PackedPixel{0xFF} << to);
  ForEachPixel(region, [=](PackedPixel d, PackedPixel s) {
    return (d & keep) | ((s >> from) & 0xFF) << to;
  });
}

void BlitWeighted(const BlitRegion& region, BlitMode mode, int w) {
  switch (mode) {
    case BlitCopy:
      if (w == 256) {
        ForEachPixel(region, [](PackedPixel, PackedPixel s) { return s; });
      } else {
        ForEachPixel(region, [w](PackedPixel d, PackedPixel s) {
          return BlendAllChannels(d, BlendSource::FromPixel(s),
                                  [w](int dc, int sc) { return BlendCopyChannel(dc, sc, w); });
        });
      }
      break;
    case BlitAdd:
      ForEachPixel(region, [w](PackedPixel d, PackedPixel s) {
        return BlendAllChannels(d, BlendSource::FromPixel(s),
                                [w](int dc, int sc) { return BlendAddChannel(dc, sc, w); });
      });
      break;
    case BlitDodge:
      ForEachPixel(region, [w](PackedPixel d, PackedPixel s) {
        return BlendAllChannels(d, BlendSource::FromPixel(s),
                                [w](int dc, int sc) { return BlendDodgeChannel(dc, sc, w); });
      });
      break;
    case BlitMultiply:
      ForEachPixel(region, [w](PackedPixel d, PackedPixel s) {
        return BlendAllChannels(d, BlendSource::FromPixel(s),
                                [w](int dc, int sc) { return BlendMultiplyChannel(dc, sc, w); });
      });
      break;
    case BlitOverlay:
      ForEachPixel(region, [w](PackedPixel d, PackedPixel s) {
        return BlendAllChannels(d, BlendSource::FromPixel(s),
                                [w](int dc, int sc) { return BlendOverlayChannel(dc, sc, w); });
      });
      break;
    case BlitHsvAdjust:
      ForEachPixel(region, [w](PackedPixel d, PackedPixel s) {
        return BlendHsvAdjust(d, static_cast<int>(PixelByte(s, 2)), static_cast<int>(PixelByte(s, 1)),
                              static_cast<int>(PixelByte(s, 0)), static_cast<int>(PixelByte(s, 3)), w);
      });
      break;
    case BlitCopy | BlitUseSourceAlpha:
      if (w == 256) {
        ForEachPixel(region, CopySourceAlphaFull);
      } else {
        ForEachPixel(region, [w](PackedPixel d, PackedPixel s) { return CopySourceAlphaPartial(d, s, w); });
      }
      break;
    case BlitAdd | BlitUseSourceAlpha:
      ForEachPixel(region, [w](PackedPixel d, PackedPixel s) {
        if ((s >> 24) == 0) return d;
        const int a = SourceAlphaStrength(s, w);
        return BlendAllChannels(d, BlendSource::FromPixel(s),
                                [a](int dc, int sc) { return BlendAddChannel(dc, sc, a); });
      });
      break;
    case BlitDodge | BlitUseSourceAlpha:
      // Applied even where the source alpha is 0 (strength w / 256 there).
      ForEachPixel(region, [w](PackedPixel d, PackedPixel s) {
        const int a = SourceAlphaStrength(s, w);
        return BlendAllChannels(d, BlendSource::FromPixel(s),
                                [a](int dc, int sc) { return BlendDodgeChannel(dc, sc, a); });
      });
      break;
    case BlitMultiply | BlitUseSourceAlpha:
      ForEachPixel(region, [w](PackedPixel d, PackedPixel s) {
        if ((s >> 24) == 0) return d;
        const int a = SourceAlphaStrength(s, w);
        return BlendAllChannels(d, BlendSource::FromPixel(s),
                                [a](int dc, int sc) { return BlendMultiplyChannel(dc, sc, a); });
      });
      break;
    case BlitOverlay | BlitUseSourceAlpha:
      ForEachPixel(region, [w](PackedPixel d, PackedPixel s) {
        const int a = SourceAlphaStrength(s, w);
        return BlendAllChannels(d, BlendSource::FromPixel(s),
                                [a](int dc, int sc) { return BlendOverlayChannel(dc, sc, a); });
      });
      break;
    case BlitHsvAdjust | BlitUseSourceAlpha:
      ForEachPixel(region, [w](PackedPixel d, PackedPixel s) {
        return BlendHsvAdjust(d, static_cast<int>(PixelByte(s, 2)), static_cast<int>(PixelByte(s, 1)),
                              static_cast<int>(PixelByte(s, 0)), static_cast<int>(PixelByte(s, 3)),
                              SourceAlphaStrength(s, w));
      });
      break;
    default:
      break;  // unknown modes draw nothing
  }
}

}  // namespace

void Blit(Bitmap* dest, const Bitmap* source, int destX, int destY, const BlitRect* sourceRect,
          float opacity, BlitMode mode) {
  if (dest == nullptr || source == nullptr || opacity == 0.0f) return;

  // Clip in 64 bits: extreme positions must not overflow.
  int64_t left = 0;
  int64_t top = 0;
  int64_t right = source->Width();
  int64_t bottom = source->Height();
  if (sourceRect != nullptr) {
    left = sourceRect->left;
    top = sourceRect->top;
    right = std::min<int64_t>(sourceRect->right, source->Width());
    bottom = std::min<int64_t>(sourceRect->bottom, source->Height());
  }
  int64_t dx = destX;
  int64_t dy = destY;
  // A source rectangle starting before the source moves the drawing instead.
  if (left < 0) {
    dx -= left;
    left = 0;
  }
  if (top < 0) {
    dy -= top;
    top = 0;
  }
  if (dx < 0) {
    left -= dx;
    dx = 0;
  }
  if (dy < 0) {
    top -= dy;
    dy = 0;
  }
  const int64_t destWidth = dest->Width();
  const int64_t destHeight = dest->Height();
  if (right <= left || bottom <= top || dx >= destWidth || dy >= destHeight) return;
  right = std::min(right, left + destWidth - dx);
  bottom = std::min(bottom, top + destHeight - dy);
  if (right <= left || bottom <= top) return;
  if (source->Pixels() == nullptr || dest->Pixels() == nullptr) return;

  BlitRegion region{};
  region.dest = dest->Row(static_cast<int>(dy)) + dx;
  region.source = source->Row(static_cast<int>(top)) + left;
  region.destStride = dest->RowStride();
  region.sourceStride = source->RowStride();
  region.columns = static_cast<int>(right - left);
  region.rows = static_cast<int>(bottom - top);

  if ((mode & 0xFF) >= BlitChannelCopy) {
    BlitChannel(region, mode);
    return;
  }
  mode &= 0xFF | BlitUseSourceAlpha;

  if (mode == BlitCopy && opacity == 1.0f) {
    // memmove: a bitmap may be blitted onto itself.
    const size_t rowBytes = static_cast<size_t>(region.columns) * sizeof(PackedPixel);
    PackedPixel* destRow = region.dest;
    const PackedPixel* sourceRow = region.source;
    for (int y = 0; y < region.rows; ++y) {
      std::memmove(destRow, sourceRow, rowBytes);
      destRow += region.destStride;
      sourceRow += region.sourceStride;
    }
    return;
  }
  if (mode == BlitCopy && opacity == 0.5f) {
    // Halve both words first: no carries between channels (1 and 1 give 0).
    ForEachPixel(region, [](PackedPixel d, PackedPixel s) {
      return ((d >> 1) & 0x7F7F7F7F) + ((s >> 1) & 0x7F7F7F7F);
    });
    return;
  }

  const int w = BlendWeight(opacity);
  if (w == 0) return;
  BlitWeighted(region, mode, w);
}

}  // namespace kestro
