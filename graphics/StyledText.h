#pragma once

#include "graphics/PixelRect.h"
#include "graphics/TextStyle.h"
#include "graphics/raster/Bitmap.h"

namespace kestro {

// Draws text in style into dest (or, with measure, computes its size and
// places it in rect by the style's alignment). An empty text succeeds; false
// when no font can be made for the style.
bool RenderStyledText(Bitmap* dest, TextStyle& style, const char* text, PixelRect& rect, bool measure);

}  // namespace kestro
