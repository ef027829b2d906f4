#include "graphics/raster/FillRectangle.h"

#include <algorithm>
#include <cstdint>

#include "graphics/raster/PixelBlend.h"

namespace kestro {

namespace {

struct FillRegion {
  PackedPixel* first;
  ptrdiff_t stride;
  int columns;
  int rows;
};

template <typename Op>
void ForEachPixel(const FillRegion& region, Op op) {
  PackedPixel* row = region.first;
  for (int y = 0; y < region.rows; ++y) {
    for (int x = 0; x < region.columns; ++x) row[x] = op(row[x]);
    row += region.stride;
  }
}

// The exact quarter-step fills of a plain copy, done word-wide with shifts
// and masks. Returns false when k is not one of them.
bool FillCopyShortcut(const FillRegion& region, PackedPixel colour, int k) {
  switch (k) {
    case 256:
      ForEachPixel(region, [colour](PackedPixel) { return colour; });
      return true;
    case 128: {
      const PackedPixel half = (colour >> 1) & 0x7F7F7F7F;
      ForEachPixel(region, [half](PackedPixel p) { return half + ((p >> 1) & 0x7F7F7F7F); });
      return true;
    }
    case 64: {
      const PackedPixel quarter = (colour >> 2) & 0x3F3F3F3F;
      ForEachPixel(region, [quarter](PackedPixel p) {
        return ((p >> 1) & 0x7F7F7F7F) + ((p >> 2) & 0x3F3F3F3F) + quarter;
      });
      return true;
    }
    case 192: {
      const PackedPixel threeQuarters = ((colour >> 2) & 0x3F3F3F3F) + ((colour >> 1) & 0x7F7F7F7F);
      ForEachPixel(region, [threeQuarters](PackedPixel p) { return ((p >> 2) & 0x3F3F3F3F) + threeQuarters; });
      return true;
    }
    default:
      return false;
  }
}

}  // namespace

void FillRectangle(Bitmap* dest, int x, int y, int width, int height, PackedPixel colour, float opacity,
                   BlitMode mode) {
  if ((mode & BlitUseSourceAlpha) != 0) opacity *= static_cast<float>(colour >> 24) / 255.0f;
  if (dest == nullptr || opacity == 0.0f || dest->Pixels() == nullptr || dest->RowSpan() == 0) return;

  // Clip in 64 bits so that extreme rectangles cannot overflow.
  int64_t left = x;
  int64_t top = y;
  int64_t columns = width;
  int64_t rows = height;
  if (left < 0) {
    columns += left;
    left = 0;
  }
  if (top < 0) {
    rows += top;
    top = 0;
  }
  if (columns < 1 || rows < 1 || left >= dest->Width() || top >= dest->Height()) return;
  columns = std::min<int64_t>(columns, dest->Width() - left);
  rows = std::min<int64_t>(rows, dest->Height() - top);

  FillRegion region{};
  region.first = dest->Row(static_cast<int>(top)) + left;
  region.stride = dest->RowStride();
  region.columns = static_cast<int>(columns);
  region.rows = static_cast<int>(rows);

  const int k = BlendWeight(opacity);
  const int operation = mode & 0xFF;
  if (operation == BlitCopy && FillCopyShortcut(region, colour, k)) return;
  if (k == 0) return;

  // The fill strength also stands in for the source alpha.
  BlendSource source = BlendSource::FromPixel(colour);
  source.channel[3] = k;

  switch (operation) {
    case BlitCopy:
      // Colour channels move toward the colour, alpha toward k.
      ForEachPixel(region, [&source, k](PackedPixel d) {
        return BlendAllChannels(d, source, [k](int dc, int sc) { return BlendCopyChannel(dc, sc, k); });
      });
      break;
    case BlitAdd:
      ForEachPixel(region, [&source, k](PackedPixel d) {
        return BlendAllChannels(d, source, [k](int dc, int sc) { return BlendAddChannel(dc, sc, k); });
      });
      break;
    case BlitDodge:
      ForEachPixel(region, [&source, k](PackedPixel d) {
        return BlendAllChannels(d, source, [k](int dc, int sc) { return BlendDodgeChannel(dc, sc, k); });
      });
      break;
    case BlitMultiply:
      // With k as the source alpha the alpha channel scales by k itself.
      ForEachPixel(region, [&source, k](PackedPixel d) {
        return BlendAllChannels(d, source, [k](int dc, int sc) { return BlendMultiplyChannel(dc, sc, k); });
      });
      break;
    case BlitOverlay:
      ForEachPixel(region, [&source, k](PackedPixel d) {
        return BlendAllChannels(d, source, [k](int dc, int sc) { return BlendOverlayChannel(dc, sc, k); });
      });
      break;
    case BlitHsvAdjust:
      // The alpha becomes k, limited to a byte (k is 256 at full opacity).
      ForEachPixel(region, [&source, k](PackedPixel d) {
        return BlendHsvAdjust(d, source.channel[2], source.channel[1], source.channel[0], k, k);
      });
      break;
    default:
      break;  // channel copy and unknown modes are not fills
  }
}

}  // namespace kestro
