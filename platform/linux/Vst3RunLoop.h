#pragma once

#include <vector>

#include "graphics/HostRunLoop.h"
#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/gui/iplugview.h"

namespace kestro {

// The host's Linux run loop (Steinberg::Linux::IRunLoop, offered by the
// view's frame) behind the editor's HostRunLoop. Every watch and timer gets
// a handler object of its own; forgetting a client unregisters its handlers
// and cuts them off, so a host that keeps a handler alive longer, or fires
// it once more, no longer reaches the editor.
class Vst3RunLoop : public HostRunLoop {
 public:
  explicit Vst3RunLoop(Steinberg::Linux::IRunLoop* loop);
  ~Vst3RunLoop() override;
  Vst3RunLoop(const Vst3RunLoop&) = delete;
  Vst3RunLoop& operator=(const Vst3RunLoop&) = delete;

  bool WatchFile(int fd, Client* client) override;
  bool StartTimer(int periodMs, Client* client) override;
  void Forget(Client* client) override;

 private:
  class Handler;
  struct Registration {
    Client* client;
    Handler* handler;  // one reference held here
    bool timer;
  };
  void Unregister(const Registration& registration);

  Steinberg::IPtr<Steinberg::Linux::IRunLoop> loop_;
  std::vector<Registration> registrations_;
};

}  // namespace kestro
