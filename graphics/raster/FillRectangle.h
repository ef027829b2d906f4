#pragma once

#include "graphics/raster/Bitmap.h"
#include "graphics/raster/BlitMode.h"
#include "graphics/raster/PackedPixel.h"

namespace kestro {

// Paints the rectangle (x, y, width, height) of dest, clipped to it, with
// colour at opacity using mode (channel copy is not a fill mode). With
// BlitUseSourceAlpha the colour's alpha scales the opacity.
void FillRectangle(Bitmap* dest, int x, int y, int width, int height, PackedPixel colour, float opacity,
                   BlitMode mode);

}  // namespace kestro
