#include "platform/linux/Vst3RunLoop.h"

#include <algorithm>
#include <atomic>

namespace kestro {

using namespace Steinberg;

// One registration with the host: forwards to its client until cut off.
class Vst3RunLoop::Handler : public Linux::IEventHandler, public Linux::ITimerHandler {
 public:
  explicit Handler(Client* client) : client_(client) {}

  void Cut() { client_ = nullptr; }

  void PLUGIN_API onFDIsSet(Linux::FileDescriptor fd) override {
    // The client may forget itself in the call and drop the last reference.
    addRef();
    if (client_ != nullptr) client_->OnFileReady(fd);
    release();
  }
  void PLUGIN_API onTimer() override {
    addRef();
    if (client_ != nullptr) client_->OnTimer();
    release();
  }

  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
    if (obj == nullptr) return kInvalidArgument;
    if (FUnknownPrivate::iidEqual(iid, Linux::IEventHandler::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
      *obj = static_cast<Linux::IEventHandler*>(this);
    } else if (FUnknownPrivate::iidEqual(iid, Linux::ITimerHandler::iid)) {
      *obj = static_cast<Linux::ITimerHandler*>(this);
    } else {
      *obj = nullptr;
      return kNoInterface;
    }
    addRef();
    return kResultOk;
  }
  uint32 PLUGIN_API addRef() override { return ++refs_; }
  uint32 PLUGIN_API release() override {
    const uint32 left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 private:
  virtual ~Handler() = default;

  Client* client_;
  std::atomic<uint32> refs_{1};
};

Vst3RunLoop::Vst3RunLoop(Linux::IRunLoop* loop) : loop_(loop) {}

Vst3RunLoop::~Vst3RunLoop() {
  for (const Registration& registration : registrations_) Unregister(registration);
}

bool Vst3RunLoop::WatchFile(int fd, Client* client) {
  if (client == nullptr || fd < 0) return false;
  auto* handler = new Handler(client);
  if (loop_->registerEventHandler(static_cast<Linux::IEventHandler*>(handler), fd) != kResultOk) {
    handler->release();
    return false;
  }
  registrations_.push_back({client, handler, false});
  return true;
}

bool Vst3RunLoop::StartTimer(int periodMs, Client* client) {
  if (client == nullptr || periodMs <= 0) return false;
  auto* handler = new Handler(client);
  if (loop_->registerTimer(static_cast<Linux::ITimerHandler*>(handler), static_cast<Linux::TimerInterval>(periodMs)) !=
      kResultOk) {
    handler->release();
    return false;
  }
  registrations_.push_back({client, handler, true});
  return true;
}

void Vst3RunLoop::Forget(Client* client) {
  std::vector<Registration> gone;
  auto keep = std::stable_partition(registrations_.begin(), registrations_.end(),
                                    [client](const Registration& r) { return r.client != client; });
  gone.assign(keep, registrations_.end());
  registrations_.erase(keep, registrations_.end());
  for (const Registration& registration : gone) Unregister(registration);
}

void Vst3RunLoop::Unregister(const Registration& registration) {
  registration.handler->Cut();
  if (registration.timer) {
    loop_->unregisterTimer(static_cast<Linux::ITimerHandler*>(registration.handler));
  } else {
    loop_->unregisterEventHandler(static_cast<Linux::IEventHandler*>(registration.handler));
  }
  registration.handler->release();
}

}  // namespace kestro
