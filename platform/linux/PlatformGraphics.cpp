// The editor model Linux hosts get: the editor in an X11 child window.
#include "graphics/PlatformGraphics.h"

#include "platform/linux/GraphicsX11.h"

namespace kestro {

std::unique_ptr<GraphicsCore> CreatePlatformGraphics(PluginCore* plugin, int width, int height, int frameRate) {
  return std::make_unique<GraphicsX11>(plugin, width, height, frameRate);
}

}  // namespace kestro
