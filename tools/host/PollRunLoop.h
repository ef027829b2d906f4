#pragma once

#include "pluginterfaces/gui/iplugview.h"

#include <chrono>
#include <cstddef>
#include <vector>

namespace kestro {

// A Linux host's run loop (Steinberg::Linux::IRunLoop) built on poll(), for
// hosts that show editors: tools, and tests that want to drive an editor
// step by step. Single-threaded; handlers may register and unregister from
// inside their callbacks. Handlers are held with a reference while
// registered. The loop itself belongs to its creator (no counting).
class PollRunLoop : public Steinberg::Linux::IRunLoop {
 public:
  PollRunLoop() = default;
  virtual ~PollRunLoop();
  PollRunLoop(const PollRunLoop&) = delete;
  PollRunLoop& operator=(const PollRunLoop&) = delete;

  Steinberg::tresult PLUGIN_API registerEventHandler(Steinberg::Linux::IEventHandler* handler,
                                                     Steinberg::Linux::FileDescriptor fd) override;
  Steinberg::tresult PLUGIN_API unregisterEventHandler(Steinberg::Linux::IEventHandler* handler) override;
  Steinberg::tresult PLUGIN_API registerTimer(Steinberg::Linux::ITimerHandler* handler,
                                              Steinberg::Linux::TimerInterval milliseconds) override;
  Steinberg::tresult PLUGIN_API unregisterTimer(Steinberg::Linux::ITimerHandler* handler) override;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
  Steinberg::uint32 PLUGIN_API release() override { return 1; }

  // Waits up to timeoutMs for a watched file to have data and calls the
  // handlers of every ready file. Returns how many were called.
  int DispatchFiles(int timeoutMs);
  // Calls every timer handler once, whatever its period.
  int FireTimers();
  // Runs files and timers (each at its period) for durationMs.
  void RunFor(int durationMs);

  size_t FileCount() const { return files_.size(); }
  size_t TimerCount() const { return timers_.size(); }
  // The period of the timer registered first, 0 when none.
  Steinberg::Linux::TimerInterval FirstTimerPeriod() const { return timers_.empty() ? 0 : timers_[0].period; }

 private:
  using Clock = std::chrono::steady_clock;
  struct File {
    Steinberg::Linux::IEventHandler* handler;
    int fd;
  };
  struct Timer {
    Steinberg::Linux::ITimerHandler* handler;
    Steinberg::Linux::TimerInterval period;
    Clock::time_point due;
  };
  bool IsRegistered(Steinberg::Linux::IEventHandler* handler, int fd) const;
  bool IsRegistered(Steinberg::Linux::ITimerHandler* handler) const;

  std::vector<File> files_;
  std::vector<Timer> timers_;
};

}  // namespace kestro
