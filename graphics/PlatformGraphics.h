#pragma once

#include <memory>

#include "graphics/GraphicsCore.h"

namespace kestro {

class PluginCore;

// The editor model of this platform: a graphics core whose window layer
// suits the platform's hosts. Each platform half defines it.
std::unique_ptr<GraphicsCore> CreatePlatformGraphics(PluginCore* plugin, int width, int height, int frameRate);

}  // namespace kestro
