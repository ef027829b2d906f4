#pragma once

#include <chrono>
#include <vector>

#include "graphics/HostRunLoop.h"

namespace kestro {

// The editor window's run loop inside an LV2 host: the host calls the UI's
// idle function regularly (ui:idleInterface), and each call reads what the
// watched files have and fires the timers that are due.
class Lv2IdleRunLoop : public HostRunLoop {
 public:
  bool WatchFile(int fd, Client* client) override;
  bool StartTimer(int periodMs, Client* client) override;
  void Forget(Client* client) override;

  // One turn of the loop, from the host's idle call.
  void Idle();

 private:
  using Clock = std::chrono::steady_clock;
  struct Watch {
    int fd;
    Client* client;
  };
  struct Timer {
    std::chrono::milliseconds period;
    Clock::time_point due;
    Client* client;
  };
  bool Registered(const Client* client) const;

  std::vector<Watch> watches_;
  std::vector<Timer> timers_;
};

}  // namespace kestro
