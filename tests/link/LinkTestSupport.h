// Test support for the channel: a pseudo-terminal pair whose master side plays the phone, and
// a small main loop that runs the works the channel posts to the main thread.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>
#endif

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "link/KoComm.h"

#ifndef _WIN32
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

  // Waits up to Ms milliseconds until the master side can be read or written.
  void Await(bool WantRead, bool WantWrite, int Ms, bool& CanRead, bool& CanWrite) {
    pollfd P{Master, static_cast<short>((WantRead ? POLLIN : 0) | (WantWrite ? POLLOUT : 0)), 0};
    CanRead = CanWrite = false;
    if (::poll(&P, 1, Ms) <= 0) return;
    CanRead = (P.revents & POLLIN) != 0;
    CanWrite = (P.revents & POLLOUT) != 0;
  }
  long ReadSome(char* Buf, std::size_t Count) { return static_cast<long>(::read(Master, Buf, Count)); }
  long WriteSome(const char* Data, std::size_t Count) { return static_cast<long>(::write(Master, Data, Count)); }

  int Master = -1;
  std::string SlavePath;
};

#else
// The phone's side is a pseudo-terminal on the Linux side of Wine, reached through the bridge
// whose TCP port PELMO_PTY_BRIDGE names; the channel opens the COM port that maps the
// terminal's slave (SlavePath, such as "COM20"). Closing the connection hangs the port up.
class TPty {
 public:
  TPty() {
    static const bool Started = [] {
      WSADATA Data;
      return WSAStartup(MAKEWORD(2, 2), &Data) == 0;
    }();
    const char* Port = std::getenv("PELMO_PTY_BRIDGE");
    if (!Started || !Port) return;
    Master = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (Master == INVALID_SOCKET) return;
    sockaddr_in A{};
    A.sin_family = AF_INET;
    A.sin_port = htons(static_cast<u_short>(std::atoi(Port)));
    A.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(Master, reinterpret_cast<sockaddr*>(&A), sizeof A) != 0) {
      CloseMaster();
      return;
    }
    BOOL One = TRUE;
    setsockopt(Master, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&One), sizeof One);
    // The first line names the COM port.
    std::string Line;
    char C;
    while (::recv(Master, &C, 1, 0) == 1 && C != '\n') Line += C;
    if (Line.compare(0, 3, "COM") == 0) SlavePath = Line;
    u_long NonBlocking = 1;
    ioctlsocket(Master, FIONBIO, &NonBlocking);
  }
  ~TPty() { CloseMaster(); }
  TPty(const TPty&) = delete;
  TPty& operator=(const TPty&) = delete;

  bool Valid() const { return Master != INVALID_SOCKET && !SlavePath.empty(); }

  void CloseMaster() {
    if (Master != INVALID_SOCKET) ::closesocket(Master);
    Master = INVALID_SOCKET;
  }

  bool Write(const std::string& S) {
    std::size_t Done = 0;
    auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (Done < S.size()) {
      long N = WriteSome(S.data() + Done, S.size() - Done);
      if (N > 0) {
        Done += static_cast<std::size_t>(N);
        continue;
      }
      if (std::chrono::steady_clock::now() > Deadline) return false;
      bool R, W;
      Await(false, true, 50, R, W);
    }
    return true;
  }

  std::string Read(std::size_t Count, std::chrono::milliseconds Timeout) {
    std::string S;
    auto Deadline = std::chrono::steady_clock::now() + Timeout;
    char Buf[4096];
    while (S.size() < Count && std::chrono::steady_clock::now() < Deadline) {
      bool R, W;
      Await(true, false, 20, R, W);
      if (!R) continue;
      long N = ReadSome(Buf, sizeof Buf);
      if (N > 0) S.append(Buf, static_cast<std::size_t>(N));
    }
    return S;
  }

  void Await(bool WantRead, bool WantWrite, int Ms, bool& CanRead, bool& CanWrite) {
    WSAPOLLFD P{};
    P.fd = Master;
    P.events = static_cast<short>((WantRead ? POLLRDNORM : 0) | (WantWrite ? POLLWRNORM : 0));
    CanRead = CanWrite = false;
    if (WSAPoll(&P, 1, Ms) <= 0) return;
    CanRead = (P.revents & (POLLRDNORM | POLLHUP)) != 0;
    CanWrite = (P.revents & POLLWRNORM) != 0;
  }
  long ReadSome(char* Buf, std::size_t Count) { return ::recv(Master, Buf, static_cast<int>(Count), 0); }
  long WriteSome(const char* Data, std::size_t Count) { return ::send(Master, Data, static_cast<int>(Count), 0); }

  SOCKET Master = INVALID_SOCKET;
  std::string SlavePath;
};

#endif

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
        if (!FPosted.wait_until(Lock, Deadline, [&] { return !FQueue.empty(); })) return Done();
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
