#pragma once

#include <memory>

#include "graphics/HostRunLoop.h"
#include "pluginterfaces/gui/iplugview.h"

namespace kestro {

// The run loop a view's frame lends to editor windows that need one (X11),
// or null where the frame offers none or the platform's windows need none.
// Each platform half defines it.
std::unique_ptr<HostRunLoop> FrameRunLoop(Steinberg::IPlugFrame* frame);

}  // namespace kestro
