// Linux hosts lend their run loop to editor windows through the view's
// frame (Steinberg::Linux::IRunLoop).
#include "vst3/FrameRunLoop.h"

#include "platform/linux/Vst3RunLoop.h"

namespace kestro {

using namespace Steinberg;

std::unique_ptr<HostRunLoop> FrameRunLoop(IPlugFrame* frame) {
  if (frame == nullptr) return nullptr;
  Linux::IRunLoop* loop = nullptr;
  if (frame->queryInterface(Linux::IRunLoop::iid, reinterpret_cast<void**>(&loop)) != kResultOk || loop == nullptr) {
    return nullptr;
  }
  auto adapter = std::make_unique<Vst3RunLoop>(loop);
  loop->release();  // the adapter holds its own reference
  return adapter;
}

}  // namespace kestro
