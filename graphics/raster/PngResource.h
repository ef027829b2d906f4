#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "graphics/raster/MemBitmap.h"

namespace kestro {

// Encoded PNG bytes stored in the module under a numeric identifier (1 to
// 65535), or an empty span. Platform half: Windows reads module resources of
// type "PNG"; elsewhere the images are embedded at build time.
std::span<const uint8_t> FindPngResource(int id);

// Decodes the PNG resource id. name only supplies the extension, which must
// be "png" ignoring case; otherwise the resources are not touched.
std::unique_ptr<MemBitmap> LoadPngResource(int id, const char* name);

}  // namespace kestro
