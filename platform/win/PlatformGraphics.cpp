// The editor model this platform's hosts get. The window layer comes later;
// until then the editor draws into its bitmap without a window.
#include "graphics/PlatformGraphics.h"

#include "graphics/HeadlessGraphics.h"

namespace kestro {

std::unique_ptr<GraphicsCore> CreatePlatformGraphics(PluginCore* plugin, int width, int height, int frameRate) {
  return std::make_unique<HeadlessGraphics>(plugin, width, height, frameRate);
}

}  // namespace kestro
