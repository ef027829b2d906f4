#pragma once

#include <string>

#include "graphics/raster/Bitmap.h"

namespace kestro {

// Writes bitmap as an RGBA PNG through a temporary file that replaces path
// only when complete, so a failed write leaves no half file.
bool WritePngFile(const Bitmap& bitmap, const std::string& path, std::string& error);

}  // namespace kestro
