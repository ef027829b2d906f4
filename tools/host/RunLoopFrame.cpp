#include "tools/host/RunLoopFrame.h"

#include "tools/host/PollRunLoop.h"

namespace kestro {

using namespace Steinberg;

tresult PLUGIN_API RunLoopFrame::resizeView(IPlugView*, ViewRect*) { return kResultFalse; }

tresult PLUGIN_API RunLoopFrame::queryInterface(const TUID iid, void** obj) {
  if (obj == nullptr) return kInvalidArgument;
  if (loop_ != nullptr && FUnknownPrivate::iidEqual(iid, Linux::IRunLoop::iid)) {
    *obj = static_cast<Linux::IRunLoop*>(loop_);
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

}  // namespace kestro
