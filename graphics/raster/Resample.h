#pragma once

#include "graphics/raster/BlitRect.h"

namespace kestro {

class Bitmap;

// Scales the from rectangle of source onto the whole to rectangle of
// destination, each axis on its own: an area average where it shrinks
// (every source pixel counted by the share of it a destination pixel
// covers), bilinear where it grows. Colours are weighted by their alpha, so
// transparent pixels lend no colour to the edges of what is drawn. Both
// rectangles must lie inside their bitmaps; empty ones draw nothing.
void ResampleRect(const Bitmap& source, const BlitRect& from, Bitmap& destination, const BlitRect& to);

}  // namespace kestro
