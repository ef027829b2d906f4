#pragma once

#include "graphics/raster/Bitmap.h"
#include "graphics/raster/BlitMode.h"
#include "graphics/raster/BlitRect.h"

namespace kestro {

// Composites sourceRect of source (the whole source when null) onto dest with
// its top-left corner at (destX, destY), clipped to both bitmaps. opacity 1.0
// is full strength; mode is a BlitMode. Missing bitmaps, missing pixels, empty
// rectangles and zero opacity draw nothing.
void Blit(Bitmap* dest, const Bitmap* source, int destX, int destY, const BlitRect* sourceRect,
          float opacity, BlitMode mode);

}  // namespace kestro
