#pragma once

#include "graphics/PixelRect.h"
#include "graphics/TextStyle.h"
#include "graphics/raster/Bitmap.h"
#include "graphics/raster/FontCache.h"
#include "graphics/raster/Font.h"

namespace kestro {

// The font for a style from the cache, remembered in the style; null when
// no font can be made for it (the style is then left without one, so the
// next call tries again).
Font* FontForStyle(TextStyle& style, FontCache& cache = FontCache::Module());

// Draws text in the style's colour and alignment into rect of dest, or with
// measure places the text's extent inside rect instead (near: from the left
// edge, centre: about the middle, far: up to the right edge; bottom = top +
// text height). An empty text succeeds at once; false when the style has no
// font.
bool RenderStyledText(Bitmap* dest, TextStyle& style, const char* text, PixelRect& rect, bool measure,
                      FontCache& cache = FontCache::Module());

}  // namespace kestro
