#pragma once

#include "pluginterfaces/gui/iplugview.h"

namespace kestro {

class PollRunLoop;

// A host's frame for an editor view on Linux: it lends the host's run loop
// (none when loop is null) and keeps the view at the size it asked for. It
// belongs to its creator (no counting) and must outlive the view's use of it.
class RunLoopFrame : public Steinberg::IPlugFrame {
 public:
  explicit RunLoopFrame(PollRunLoop* loop) : loop_(loop) {}
  virtual ~RunLoopFrame() = default;

  Steinberg::tresult PLUGIN_API resizeView(Steinberg::IPlugView* view, Steinberg::ViewRect* newSize) override;
  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
  Steinberg::uint32 PLUGIN_API release() override { return 1; }

 private:
  PollRunLoop* loop_;
};

}  // namespace kestro
