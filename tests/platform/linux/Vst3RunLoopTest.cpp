// The host's Linux run loop behind the editor's HostRunLoop: callbacks
// arrive while registered, and never after the editor forgot them, even
// from a host that keeps its handlers alive and fires once more.
#include <unistd.h>

#include <gtest/gtest.h>

#include <vector>

#include "platform/linux/Vst3RunLoop.h"
#include "tools/host/PollRunLoop.h"

namespace kestro {
namespace {

using namespace Steinberg;

struct CountingClient : HostRunLoop::Client {
  void OnFileReady(int fd) override {
    char byte;
    files += static_cast<int>(read(fd, &byte, 1));
  }
  void OnTimer() override { ++ticks; }
  int files = 0;
  int ticks = 0;
};

// A host that keeps a reference to every handler it was ever given.
class KeepingLoop : public Linux::IRunLoop {
 public:
  ~KeepingLoop() {
    for (FUnknown* h : kept) h->release();
  }
  tresult PLUGIN_API registerEventHandler(Linux::IEventHandler* h, Linux::FileDescriptor) override {
    return Keep(h, events);
  }
  tresult PLUGIN_API unregisterEventHandler(Linux::IEventHandler*) override { return kResultOk; }
  tresult PLUGIN_API registerTimer(Linux::ITimerHandler* h, Linux::TimerInterval) override { return Keep(h, timers); }
  tresult PLUGIN_API unregisterTimer(Linux::ITimerHandler*) override { return kResultOk; }
  tresult PLUGIN_API queryInterface(const TUID, void** obj) override {
    *obj = nullptr;
    return kNoInterface;
  }
  uint32 PLUGIN_API addRef() override { return 1; }
  uint32 PLUGIN_API release() override { return 1; }

  template <typename H>
  tresult Keep(H* h, std::vector<H*>& list) {
    if (refuse) return kResultFalse;
    h->addRef();
    kept.push_back(h);
    list.push_back(h);
    return kResultOk;
  }
  std::vector<FUnknown*> kept;
  std::vector<Linux::IEventHandler*> events;
  std::vector<Linux::ITimerHandler*> timers;
  bool refuse = false;
};

TEST(Vst3RunLoop, FilesAndTimersReachTheClientUntilItIsForgotten) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  PollRunLoop host;
  CountingClient a, b;
  {
    Vst3RunLoop loop(&host);
    EXPECT_FALSE(loop.WatchFile(-1, &a));
    EXPECT_FALSE(loop.StartTimer(0, &a));
    EXPECT_FALSE(loop.WatchFile(fds[0], nullptr));
    ASSERT_TRUE(loop.WatchFile(fds[0], &a));
    ASSERT_TRUE(loop.StartTimer(40, &a));
    ASSERT_TRUE(loop.StartTimer(10, &b));
    EXPECT_EQ(host.FirstTimerPeriod(), 40u);

    ASSERT_EQ(write(fds[1], "x", 1), 1);
    EXPECT_EQ(host.DispatchFiles(1000), 1);
    EXPECT_EQ(host.FireTimers(), 2);
    EXPECT_EQ(a.files, 1);
    EXPECT_EQ(a.ticks, 1);
    EXPECT_EQ(b.ticks, 1);

    loop.Forget(&a);
    EXPECT_EQ(host.FileCount(), 0u);
    EXPECT_EQ(host.TimerCount(), 1u) << "the other client's timer stays";
    EXPECT_EQ(host.FireTimers(), 1);
    EXPECT_EQ(a.ticks, 1);
    EXPECT_EQ(b.ticks, 2);
  }
  EXPECT_EQ(host.TimerCount(), 0u) << "the adapter's end unregisters the rest";
  close(fds[0]);
  close(fds[1]);
}

TEST(Vst3RunLoop, AHandlerTheHostKeptReachesNothingOnceForgotten) {
  KeepingLoop host;
  CountingClient client;
  Vst3RunLoop loop(&host);
  ASSERT_TRUE(loop.WatchFile(0, &client));
  ASSERT_TRUE(loop.StartTimer(40, &client));
  host.timers[0]->onTimer();
  EXPECT_EQ(client.ticks, 1);
  loop.Forget(&client);
  host.timers[0]->onTimer();
  host.events[0]->onFDIsSet(0);
  EXPECT_EQ(client.ticks, 1);
  EXPECT_EQ(client.files, 0);

  // The handlers answer for both their interfaces.
  void* asked = nullptr;
  EXPECT_EQ(host.timers[0]->queryInterface(Linux::ITimerHandler::iid, &asked), kResultOk);
  EXPECT_EQ(asked, static_cast<void*>(host.timers[0]));
  static_cast<FUnknown*>(asked)->release();
  EXPECT_EQ(host.timers[0]->queryInterface(Linux::IRunLoop::iid, &asked), kNoInterface);

  host.refuse = true;
  EXPECT_FALSE(loop.WatchFile(0, &client));
  EXPECT_FALSE(loop.StartTimer(40, &client));
}

}  // namespace
}  // namespace kestro
