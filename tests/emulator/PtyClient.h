// A minimal serial client for the simulated phone: opens the device raw and reads with time-outs.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

class TPtyClient {
 public:
  explicit TPtyClient(const std::string& device, bool raw = true) { Open(device, raw); }
  ~TPtyClient() { Close(); }
  TPtyClient(const TPtyClient&) = delete;
  TPtyClient& operator=(const TPtyClient&) = delete;

  // raw false leaves the line settings as the phone made them.
  void Open(const std::string& device, bool raw = true) {
    Close();
    LineGone = false;
    Fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (Fd >= 0 && raw) {
      termios tio{};
      ::tcgetattr(Fd, &tio);
      ::cfmakeraw(&tio);
      ::tcsetattr(Fd, TCSANOW, &tio);
    }
  }
  void Close() {
    if (Fd >= 0) ::close(Fd);
    Fd = -1;
  }
  bool IsOpen() const { return Fd >= 0; }

  void Send(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = ::write(Fd, bytes.data() + done, bytes.size() - done);
      if (n > 0)
        done += static_cast<size_t>(n);
      else if (!WaitFor(POLLOUT, 1000))
        return;
    }
  }

  // Reads until the received text ends with one of the final results (or the prompt), or until
  // timeoutMs passes. A short quiet period afterwards catches anything sent beyond it.
  std::string ReadReply(int timeoutMs = 5000) {
    std::string got;
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!Complete(got)) {
      int left = static_cast<int>(
          std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count());
      if (left <= 0 || !ReadSome(got, left)) return got;
    }
    while (ReadSome(got, 30)) {}
    return got;
  }

  // Everything that arrives within ms milliseconds.
  std::string ReadFor(int ms) {
    std::string got;
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      int left = static_cast<int>(
          std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count());
      if (left <= 0 || !ReadSome(got, left)) return got;
    }
  }

  std::string Command(const std::string& line) {
    Send(line);
    return ReadReply();
  }

  // One read: false on time-out or when the line is gone (Gone() tells which).
  bool ReadSome(std::string& got, int timeoutMs) {
    if (!WaitFor(POLLIN, timeoutMs)) return false;
    char buf[4096];
    ssize_t n = ::read(Fd, buf, sizeof buf);
    if (n <= 0) {
      LineGone = true;
      return false;
    }
    got.append(buf, static_cast<size_t>(n));
    ++Reads;
    return true;
  }

  bool Gone() const { return LineGone; }
  int Reads = 0;

 private:
  static bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
  }
  static bool Complete(const std::string& s) {
    if (EndsWith(s, "\r\nOK\r\n") || EndsWith(s, "\r\nERROR\r\n") || EndsWith(s, "\r\n> ")) return true;
    size_t line = s.rfind("\r\n", s.size() >= 2 ? s.size() - 3 : 0);
    if (!EndsWith(s, "\r\n") || line == std::string::npos) return false;
    std::string last = s.substr(line + 2);
    return last.rfind("+CME ERROR:", 0) == 0 || last.rfind("+CMS ERROR:", 0) == 0;
  }
  bool WaitFor(short events, int timeoutMs) {
    pollfd pfd{Fd, events, 0};
    int r = ::poll(&pfd, 1, timeoutMs);
    if (r > 0 && (pfd.revents & (POLLHUP | POLLERR)) && !(pfd.revents & events)) {
      LineGone = true;
      return false;
    }
    return r > 0;
  }

  int Fd = -1;
  bool LineGone = false;
};
