#include "tools/host/PollRunLoop.h"

#include <poll.h>

#include <algorithm>

namespace kestro {

using namespace Steinberg;

PollRunLoop::~PollRunLoop() {
  for (File& file : files_) file.handler->release();
  for (Timer& timer : timers_) timer.handler->release();
}

tresult PLUGIN_API PollRunLoop::queryInterface(const TUID iid, void** obj) {
  if (obj == nullptr) return kInvalidArgument;
  if (FUnknownPrivate::iidEqual(iid, Linux::IRunLoop::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
    *obj = static_cast<Linux::IRunLoop*>(this);
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

tresult PLUGIN_API PollRunLoop::registerEventHandler(Linux::IEventHandler* handler, Linux::FileDescriptor fd) {
  if (handler == nullptr || fd < 0) return kInvalidArgument;
  handler->addRef();
  files_.push_back({handler, fd});
  return kResultOk;
}

tresult PLUGIN_API PollRunLoop::unregisterEventHandler(Linux::IEventHandler* handler) {
  std::vector<Linux::IEventHandler*> gone;
  std::erase_if(files_, [&](const File& f) {
    if (f.handler != handler) return false;
    gone.push_back(f.handler);
    return true;
  });
  for (auto* h : gone) h->release();
  return gone.empty() ? kResultFalse : kResultOk;
}

tresult PLUGIN_API PollRunLoop::registerTimer(Linux::ITimerHandler* handler, Linux::TimerInterval milliseconds) {
  if (handler == nullptr || milliseconds == 0) return kInvalidArgument;
  handler->addRef();
  timers_.push_back({handler, milliseconds, Clock::now() + std::chrono::milliseconds(milliseconds)});
  return kResultOk;
}

tresult PLUGIN_API PollRunLoop::unregisterTimer(Linux::ITimerHandler* handler) {
  std::vector<Linux::ITimerHandler*> gone;
  std::erase_if(timers_, [&](const Timer& t) {
    if (t.handler != handler) return false;
    gone.push_back(t.handler);
    return true;
  });
  for (auto* h : gone) h->release();
  return gone.empty() ? kResultFalse : kResultOk;
}

bool PollRunLoop::IsRegistered(Linux::IEventHandler* handler, int fd) const {
  return std::any_of(files_.begin(), files_.end(), [&](const File& f) { return f.handler == handler && f.fd == fd; });
}

bool PollRunLoop::IsRegistered(Linux::ITimerHandler* handler) const {
  return std::any_of(timers_.begin(), timers_.end(), [&](const Timer& t) { return t.handler == handler; });
}

int PollRunLoop::DispatchFiles(int timeoutMs) {
  std::vector<pollfd> fds;  // none: poll just waits
  for (const File& file : files_) fds.push_back({file.fd, POLLIN, 0});
  if (poll(fds.data(), fds.size(), timeoutMs) <= 0) return 0;
  // A snapshot: handlers may change the registrations while being called.
  std::vector<File> ready;
  for (size_t i = 0; i < fds.size(); ++i) {
    if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0) ready.push_back(files_[i]);
  }
  int called = 0;
  for (const File& file : ready) {
    if (!IsRegistered(file.handler, file.fd)) continue;
    file.handler->addRef();
    file.handler->onFDIsSet(file.fd);
    file.handler->release();
    ++called;
  }
  return called;
}

int PollRunLoop::FireTimers() {
  std::vector<Linux::ITimerHandler*> handlers;
  for (const Timer& timer : timers_) handlers.push_back(timer.handler);
  int called = 0;
  for (auto* handler : handlers) {
    if (!IsRegistered(handler)) continue;
    handler->addRef();
    handler->onTimer();
    handler->release();
    ++called;
  }
  return called;
}

void PollRunLoop::RunFor(int durationMs) {
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(durationMs);
  for (Clock::time_point now = Clock::now(); now < end; now = Clock::now()) {
    Clock::time_point wake = end;
    for (const Timer& timer : timers_) wake = std::min(wake, timer.due);
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(wake - now).count();
    DispatchFiles(static_cast<int>(std::max<long long>(wait, 0)));
    now = Clock::now();
    std::vector<Linux::ITimerHandler*> due;
    for (Timer& timer : timers_) {
      if (timer.due > now) continue;
      timer.due = now + std::chrono::milliseconds(timer.period);
      due.push_back(timer.handler);
    }
    for (auto* handler : due) {
      if (!IsRegistered(handler)) continue;
      handler->addRef();
      handler->onTimer();
      handler->release();
    }
  }
}

}  // namespace kestro
