#include "lv2/Lv2IdleRunLoop.h"

#include <poll.h>

#include <algorithm>

namespace kestro {

bool Lv2IdleRunLoop::WatchFile(int fd, Client* client) {
  if (fd < 0 || client == nullptr) return false;
  watches_.push_back({fd, client});
  return true;
}

bool Lv2IdleRunLoop::StartTimer(int periodMs, Client* client) {
  if (periodMs <= 0 || client == nullptr) return false;
  const std::chrono::milliseconds period(periodMs);
  timers_.push_back({period, Clock::now() + period, client});
  return true;
}

void Lv2IdleRunLoop::Forget(Client* client) {
  std::erase_if(watches_, [&](const Watch& w) { return w.client == client; });
  std::erase_if(timers_, [&](const Timer& t) { return t.client == client; });
}

bool Lv2IdleRunLoop::Registered(const Client* client) const {
  return std::any_of(watches_.begin(), watches_.end(), [&](const Watch& w) { return w.client == client; }) ||
         std::any_of(timers_.begin(), timers_.end(), [&](const Timer& t) { return t.client == client; });
}

void Lv2IdleRunLoop::Idle() {
  // Callbacks may forget their client (the window closing): work on copies
  // and skip whatever is no longer registered.
  const std::vector<Watch> watches = watches_;
  for (const Watch& w : watches) {
    pollfd ready{w.fd, POLLIN, 0};
    if (poll(&ready, 1, 0) > 0 && (ready.revents & (POLLIN | POLLHUP | POLLERR)) && Registered(w.client)) {
      w.client->OnFileReady(w.fd);
    }
  }
  const Clock::time_point now = Clock::now();
  std::vector<Client*> due;
  for (Timer& t : timers_) {
    if (now < t.due) continue;
    // A host that idles slowly gets one tick per call, not a burst.
    t.due = std::max(t.due + t.period, now);
    due.push_back(t.client);
  }
  for (Client* client : due) {
    if (Registered(client)) client->OnTimer();
  }
}

}  // namespace kestro
