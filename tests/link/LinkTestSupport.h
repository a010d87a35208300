// Test support for the channel: a pseudo-terminal pair whose master side plays the phone, and
// a small main loop that runs the works the channel posts to the main thread.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "link/KoComm.h"

// The test holds the master side; the channel opens SlavePath.
class TPty {
public:
  TPty() {
    Master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (Master < 0 || grantpt(Master) != 0 || unlockpt(Master) != 0) return;
    char Name[128];
    if (ptsname_r(Master, Name, sizeof Name) == 0) SlavePath = Name;
    fcntl(Master, F_SETFL, fcntl(Master, F_GETFL) | O_NONBLOCK);
  }
  ~TPty() { CloseMaster(); }
  TPty(const TPty&) = delete;
  TPty& operator=(const TPty&) = delete;

  bool Valid() const { return Master >= 0 && !SlavePath.empty(); }

  void CloseMaster() {
    if (Master >= 0) ::close(Master);
    Master = -1;
  }

  // Writes all of S (the pty takes a few kilobytes at a time).
  bool Write(const std::string& S) {
    std::size_t Done = 0;
    auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (Done < S.size()) {
      ssize_t N = ::write(Master, S.data() + Done, S.size() - Done);
      if (N > 0) {
        Done += static_cast<std::size_t>(N);
        continue;
      }
      if (std::chrono::steady_clock::now() > Deadline) return false;
      pollfd P{Master, POLLOUT, 0};
      ::poll(&P, 1, 50);
    }
    return true;
  }

  // Reads until Count bytes have come or Timeout passes.
  std::string Read(std::size_t Count, std::chrono::milliseconds Timeout) {
    std::string S;
    auto Deadline = std::chrono::steady_clock::now() + Timeout;
    char Buf[4096];
    while (S.size() < Count && std::chrono::steady_clock::now() < Deadline) {
      pollfd P{Master, POLLIN, 0};
      if (::poll(&P, 1, 20) <= 0) continue;
      ssize_t N = ::read(Master, Buf, sizeof Buf);
      if (N > 0) S.append(Buf, static_cast<std::size_t>(N));
    }
    return S;
  }

  int Master = -1;
  std::string SlavePath;
};

// The test's own main thread: works posted by the channel wait in a queue until the test runs
// them, as a GUI thread runs queued calls when it processes its messages.
class TMainLoop {
public:
  TKoPostProc Poster() {
    return [this](std::function<void()> Work) { Post(std::move(Work)); };
  }

  void Post(std::function<void()> Work) {
    std::lock_guard<std::mutex> Lock(FLock);
    FQueue.push_back(std::move(Work));
    FPosted.notify_all();
  }

  std::size_t Pending() {
    std::lock_guard<std::mutex> Lock(FLock);
    return FQueue.size();
  }

  // Waits, without running anything, until at least Count works are queued.
  bool WaitPending(std::size_t Count, std::chrono::milliseconds Timeout) {
    std::unique_lock<std::mutex> Lock(FLock);
    return FPosted.wait_for(Lock, Timeout, [&] { return FQueue.size() >= Count; });
  }

  // Runs works as they come until Done holds; false when Timeout passes first.
  bool RunUntil(const std::function<bool()>& Done, std::chrono::milliseconds Timeout) {
    auto Deadline = std::chrono::steady_clock::now() + Timeout;
    for (;;) {
      if (Done()) return true;
      std::function<void()> Work;
      {
        std::unique_lock<std::mutex> Lock(FLock);
        if (!FPosted.wait_until(Lock, Deadline, [&] { return !FQueue.empty(); }))
          return Done();
        Work = std::move(FQueue.front());
        FQueue.pop_front();
      }
      Work();
    }
  }

  // Runs the works queued now, without waiting for more.
  void RunReady() {
    for (;;) {
      std::function<void()> Work;
      {
        std::lock_guard<std::mutex> Lock(FLock);
        if (FQueue.empty()) return;
        Work = std::move(FQueue.front());
        FQueue.pop_front();
      }
      Work();
    }
  }

  void RunFor(std::chrono::milliseconds Time) {
    RunUntil([] { return false; }, Time);
  }

private:
  std::mutex FLock;
  std::condition_variable FPosted;
  std::deque<std::function<void()>> FQueue;
};

// Sets the channel up as the program sets up its own (115200 baud, its event set, 1024-byte
// buffers) on the slave side of Pty, handing its events to Loop.
inline void SetUpAsTheProgram(TKoComm& Comm, const TPty& Pty, TMainLoop& Loop, int WriteSize = 1024) {
  Comm.SetBaudrate(br115200);
  Comm.SetMonitorEvents({ceError, ceRxChar, cePErr});
  Comm.Buffers().SetReadSize(1024);
  Comm.Buffers().SetWriteSize(WriteSize);
  Comm.SetDeviceName(Pty.SlavePath);
  Comm.PostToMainThread = Loop.Poster();
}
