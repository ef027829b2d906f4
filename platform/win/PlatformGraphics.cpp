// Windows hosts get the editor in a Win32 child window.
#include "graphics/PlatformGraphics.h"

#include "platform/win/GraphicsWin.h"

namespace kestro {

std::unique_ptr<GraphicsCore> CreatePlatformGraphics(PluginCore* plugin, int width, int height, int frameRate) {
  return std::make_unique<GraphicsWin>(plugin, width, height, frameRate);
}

}  // namespace kestro
