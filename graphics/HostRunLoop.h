#pragma once

namespace kestro {

// The host's event loop as an editor window sees it. Where no system-wide
// loop exists (X11), the window must have its connection's file watched and
// its redraw timer run by the host, on the host's user-interface thread.
class HostRunLoop {
 public:
  // What the loop calls back.
  class Client {
   public:
    virtual void OnFileReady(int fd) = 0;
    virtual void OnTimer() = 0;

   protected:
    ~Client() = default;
  };

  virtual ~HostRunLoop() = default;

  // Calls client->OnFileReady(fd) whenever fd has data to read.
  virtual bool WatchFile(int fd, Client* client) = 0;
  // Calls client->OnTimer() every periodMs milliseconds.
  virtual bool StartTimer(int periodMs, Client* client) = 0;
  // Ends every callback to client; none arrives after this returns.
  virtual void Forget(Client* client) = 0;
};

}  // namespace kestro
