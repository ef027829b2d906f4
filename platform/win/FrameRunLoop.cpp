// Win32 windows live on the system's message loop; hosts lend none.
#include "vst3/FrameRunLoop.h"

namespace kestro {

std::unique_ptr<HostRunLoop> FrameRunLoop(Steinberg::IPlugFrame*) { return nullptr; }

}  // namespace kestro
