#include "emulator/SimPhone.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "emulator/PhoneCore.h"

int TSimMessage::TPDULength() const {
  if (!HasSCA) return static_cast<int>(PDU.size() / 2);
  return TPDULengthOf(PDU);
}

int TSimCard::LowestFreeLocation() const {
  for (int loc = 1; loc <= MemoryTotal; ++loc)
    if (!Messages.count(loc)) return loc;
  return 0;
}

int TSimCard::HighestFreeLocation() const {
  for (int loc = MemoryTotal; loc >= 1; --loc)
    if (!Messages.count(loc)) return loc;
  return 0;
}

namespace {

using TClock = std::chrono::steady_clock;

std::string ErrnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

std::string Printable(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    switch (c) {
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\x%02X", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out;
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

TSimPhone::TSimPhone(TSimCard sim, TPhoneOptions options)
    : FCore(std::make_unique<TPhoneCore>(std::move(sim), std::move(options))) {}

TSimPhone::~TSimPhone() { Stop(); }

void TSimPhone::Start() {
  if (FThread.joinable()) throw ESimPhoneError("the phone is already running");
  TPhoneOptions options = Options();
  try {
    FMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (FMaster < 0) throw ESimPhoneError(ErrnoText("posix_openpt"));
    if (::grantpt(FMaster) != 0 || ::unlockpt(FMaster) != 0) throw ESimPhoneError(ErrnoText("unlockpt"));
    char name[128];
    if (::ptsname_r(FMaster, name, sizeof name) != 0) throw ESimPhoneError(ErrnoText("ptsname"));
    FDevicePath = name;
    // The phone keeps the device open itself: the client may then close and reopen it without
    // the line hanging up, and the raw settings below stay in force in between.
    FSlave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (FSlave < 0) throw ESimPhoneError(ErrnoText("open " + FDevicePath));
    termios tio{};
    if (::tcgetattr(FSlave, &tio) != 0) throw ESimPhoneError(ErrnoText("tcgetattr"));
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    ::cfsetispeed(&tio, B115200);
    ::cfsetospeed(&tio, B115200);
    if (::tcsetattr(FSlave, TCSANOW, &tio) != 0) throw ESimPhoneError(ErrnoText("tcsetattr"));
    int flags = ::fcntl(FMaster, F_GETFL);
    if (flags < 0 || ::fcntl(FMaster, F_SETFL, flags | O_NONBLOCK) != 0) throw ESimPhoneError(ErrnoText("fcntl"));
    if (::pipe2(FWake, O_CLOEXEC | O_NONBLOCK) != 0) throw ESimPhoneError(ErrnoText("pipe"));
    // Without it the phone still works; only output sent to a closed port is not thrown away.
    FNotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (FNotify >= 0 && ::inotify_add_watch(FNotify, name, IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0)
      CloseFd(FNotify);
    if (!options.LogFile.empty()) {
      FLogFd = ::open(options.LogFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      if (FLogFd < 0) throw ESimPhoneError(ErrnoText("cannot write " + options.LogFile));
    }
    if (!options.LinkPath.empty()) {
      struct stat st {};
      if (::lstat(options.LinkPath.c_str(), &st) == 0) {
        // A link left behind by an earlier run is replaced; anything else is not ours.
        if (!S_ISLNK(st.st_mode)) throw ESimPhoneError(options.LinkPath + " exists and is not a symbolic link");
        ::unlink(options.LinkPath.c_str());
      }
      if (::symlink(FDevicePath.c_str(), options.LinkPath.c_str()) != 0)
        throw ESimPhoneError(ErrnoText("cannot link " + options.LinkPath));
      FLinkPath = options.LinkPath;
    }
  } catch (...) {
    CloseDescriptors();
    throw;
  }
  FClients = 0;
  FStopping = false;
  FHungUp = false;
  FBytesSent = 0;
  FRunning = true;
  FThread = std::thread([this] { Run(); });
}

void TSimPhone::CloseDescriptors() {
  CloseFd(FMaster);
  CloseFd(FSlave);
  CloseFd(FWake[0]);
  CloseFd(FWake[1]);
  CloseFd(FNotify);
  CloseFd(FLogFd);
}

void TSimPhone::Stop() {
  if (!FThread.joinable()) return;
  // Order: raise the flag, wake the thread out of poll, wait for it; only then close what it uses.
  FStopping = true;
  char wake = 1;
  [[maybe_unused]] ssize_t ignored = ::write(FWake[1], &wake, 1);
  FThread.join();
  CloseDescriptors();
  if (!FLinkPath.empty()) {
    // Remove the link only while it still points at this phone's device.
    char target[256];
    ssize_t n = ::readlink(FLinkPath.c_str(), target, sizeof target - 1);
    if (n >= 0 && std::string(target, static_cast<size_t>(n)) == FDevicePath) ::unlink(FLinkPath.c_str());
    FLinkPath.clear();
  }
  FRunning = false;
}

bool TSimPhone::Running() const { return FRunning && !FHungUp; }

std::string TSimPhone::DevicePath() const { return FDevicePath; }

TSimCard TSimPhone::Sim() const {
  std::lock_guard<std::mutex> lock(FLock);
  return FCore->Sim;
}

void TSimPhone::SetSim(TSimCard sim) {
  std::lock_guard<std::mutex> lock(FLock);
  FCore->Sim = std::move(sim);
}

TPhoneOptions TSimPhone::Options() const {
  std::lock_guard<std::mutex> lock(FLock);
  return FCore->Options;
}

void TSimPhone::SetOptions(const TPhoneOptions& options) {
  std::lock_guard<std::mutex> lock(FLock);
  FCore->SetOptions(options);
}

void TSimPhone::QueueUnsolicited(const std::string& line) {
  std::lock_guard<std::mutex> lock(FLock);
  FCore->PendingUnsolicited.push_back(line);
}

std::vector<std::string> TSimPhone::Outbox() const {
  std::lock_guard<std::mutex> lock(FLock);
  return FCore->Outbox;
}

std::size_t TSimPhone::BytesSent() const { return FBytesSent; }

bool TSimPhone::HungUp() const { return FHungUp; }

bool TSimPhone::WaitMs(int ms) {
  auto until = TClock::now() + std::chrono::milliseconds(ms);
  while (!FStopping) {
    auto left = std::chrono::duration_cast<std::chrono::microseconds>(until - TClock::now());
    if (left.count() <= 0) {
      FClientsKnown = true;
      return true;
    }
    timespec ts{static_cast<time_t>(left.count() / 1000000), static_cast<long>(left.count() % 1000000) * 1000};
    // Clients that come and go meanwhile are counted as they do.
    pollfd pfds[2] = {{FWake[0], POLLIN, 0}, {FNotify, POLLIN, 0}};
    if (::ppoll(pfds, FNotify >= 0 ? 2 : 1, &ts, nullptr) > 0 && (pfds[1].revents & POLLIN)) NoClient();
  }
  return false;
}

bool TSimPhone::NoClient() {
  if (FNotify < 0) return false;
  alignas(inotify_event) char events[4096];
  bool lost = false;
  for (;;) {
    ssize_t n = ::read(FNotify, events, sizeof events);
    if (n <= 0) break;
    // In the order they happened: a client that closes while another has just opened still
    // leaves behind what was sent to it.
    for (ssize_t i = 0; i < n;) {
      const auto* e = reinterpret_cast<const inotify_event*>(events + i);
      if (e->mask & IN_OPEN) {
        ++FClients;
        LogBytes("---", "client opened the line");
      }
      if (e->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) {
        FClients = std::max(0, FClients - 1);
        if (FClients == 0) lost = true;
      }
      i += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
    }
  }
  if (lost || FClients == 0) {
    // Bytes sent to a serial port that nobody has open are lost; the next client must not read
    // the replies meant for the last one.
    ::tcflush(FSlave, TCIFLUSH);
    if (lost) LogBytes("---", "client closed the line");
  }
  if (lost) {
    // Nor is the next client's first command glued to a line the last one left unfinished: what
    // it sent and the phone has not read yet goes too, unless a new client is already there.
    if (FClients == 0) {
      char drop[4096];
      while (::read(FMaster, drop, sizeof drop) > 0) {}
    }
    std::lock_guard<std::mutex> lock(FLock);
    FCore->DropPartialInput();
  }
  return FClients == 0;
}

void TSimPhone::LogBytes(const char* direction, const std::string& bytes) {
  if (FLogFd < 0 || bytes.empty()) return;
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  ::localtime_r(&now.tv_sec, &local);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03ld ", local.tm_hour, local.tm_min, local.tm_sec,
                now.tv_nsec / 1000000);
  std::string line = std::string(stamp) + direction + " " + Printable(bytes) + "\n";
  [[maybe_unused]] ssize_t ignored = ::write(FLogFd, line.data(), line.size());
}

bool TSimPhone::WriteOut(const std::string& bytes, bool isReply) {
  const TPhoneOptions options = Options();
  size_t chunk = (isReply && options.Chunk > 0) ? static_cast<size_t>(options.Chunk) : bytes.size();
  // At N baud with 8N1 framing each byte takes ten bit times; write in slices of about 10 ms.
  size_t slice = options.Baud > 0 ? std::max<size_t>(1, options.Baud / 1000) : bytes.size();
  auto paceStart = TClock::now();
  size_t paced = 0;
  size_t pos = 0;
  FClientsKnown = false;
  while (pos < bytes.size()) {
    if (pos > 0 && isReply && options.Chunk > 0 && pos % chunk == 0 && options.GapMs > 0)
      if (!WaitMs(options.GapMs)) return false;
    size_t n = std::min({chunk - pos % chunk, slice, bytes.size() - pos});
    if (options.HangupAfter >= 0) {
      long room = options.HangupAfter - static_cast<long>(FBytesSent);
      n = std::min<size_t>(n, room > 0 ? static_cast<size_t>(room) : 0);
    }
    // Between the slices of a paced reply the wait has counted the clients already.
    const bool known = FClientsKnown && FClients > 0;
    FClientsKnown = false;
    if (!known && NoClient()) return false;
    size_t done = 0;
    while (done < n) {
      ssize_t w = ::write(FMaster, bytes.data() + pos + done, n - done);
      if (w > 0) {
        LogBytes("out", bytes.substr(pos + done, static_cast<size_t>(w)));
        done += static_cast<size_t>(w);
        FBytesSent += static_cast<size_t>(w);
        continue;
      }
      if (w < 0 && errno != EAGAIN && errno != EINTR) return false;
      // The client is not reading: wait until there is room again, it goes away, or Stop.
      pollfd pfds[3] = {{FMaster, POLLOUT, 0}, {FWake[0], POLLIN, 0}, {FNotify, POLLIN, 0}};
      ::poll(pfds, 3, 500);
      if (FStopping || NoClient()) return false;
    }
    pos += n;
    if (options.HangupAfter >= 0 && static_cast<long>(FBytesSent) >= options.HangupAfter) {
      LogBytes("---", "hang-up");
      FHungUp = true;
      return false;
    }
    if (options.Baud > 0) {
      paced += n;
      auto due = paceStart + std::chrono::microseconds(paced * 10 * 1000000ull / static_cast<unsigned>(options.Baud));
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(due - TClock::now());
      if (left.count() > 0 && !WaitMs(static_cast<int>(left.count()))) return false;
    }
  }
  return true;
}

void TSimPhone::WriteStream(const TPhoneOptions& options) {
  // Generated a slice at a time: the phone holds no more of it than the line takes at once.
  static const std::string Text = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  std::string slice;
  long column = 0;
  for (long left = options.StreamBytes; left > 0 && !FStopping;) {
    slice.clear();
    while (left > 0 && slice.size() < 65536) {
      if (options.StreamLine > 0 && column == options.StreamLine) {
        slice += "\r\n";
        column = 0;
      }
      slice += Text[static_cast<size_t>(left % static_cast<long>(Text.size()))];
      ++column;
      --left;
    }
    if (!WriteOut(slice, true)) return;
  }
  if (!options.StreamFinal.empty()) WriteOut("\r\n" + options.StreamFinal + "\r\n", true);
}

void TSimPhone::Run() {
  char buffer[4096];
  auto nextFlood = TClock::now();
  while (!FStopping && !FHungUp) {
    const TPhoneOptions now = Options();
    if (now.HangupAfter == 0) {
      FHungUp = true;
      break;
    }
    int timeout = 1000;
    if (!now.Flood.empty()) {
      const auto due = TClock::now();
      if (due >= nextFlood) {
        // Between replies, while somebody listens; a client that is not reading holds it up.
        if (!NoClient() && !WriteOut("\r\n" + now.Flood + "\r\n", false) && FHungUp) break;
        const auto period = std::chrono::milliseconds(std::max(now.FloodMs, 1));
        nextFlood += period;
        if (nextFlood < due) nextFlood = due + period;  // held up: no burst to catch up
      }
      timeout = static_cast<int>(std::max<long long>(
          0, std::chrono::duration_cast<std::chrono::milliseconds>(nextFlood - TClock::now()).count()));
    }
    pollfd pfds[3] = {{FMaster, POLLIN, 0}, {FWake[0], POLLIN, 0}, {FNotify, POLLIN, 0}};
    int ready = ::poll(pfds, 3, timeout);
    if (FStopping) break;
    if (ready <= 0) continue;
    // Before reading: whatever the phone sent until now belongs to a client that has gone.
    if (pfds[2].revents & POLLIN) NoClient();
    if (!(pfds[0].revents & POLLIN)) {
      // Only a hang-up or an error: should not happen while the phone holds the device open;
      // wait a little rather than spin on it.
      if (pfds[0].revents && !WaitMs(100)) break;
      continue;
    }
    ssize_t n = ::read(FMaster, buffer, sizeof buffer);
    if (n <= 0) {
      if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      if (!WaitMs(100)) break;
      continue;
    }
    std::string received(buffer, static_cast<size_t>(n));
    LogBytes("in ", received);
    std::vector<TPhoneOutput> outputs;
    std::vector<std::string> notes;
    int delay = 0;
    bool stream = false;
    {
      std::lock_guard<std::mutex> lock(FLock);
      outputs = FCore->Feed(received);
      notes.swap(FCore->Notes);
      delay = FCore->Options.DelayMs;
      stream = FCore->StreamDue;
      FCore->StreamDue = false;
    }
    for (const auto& note : notes) LogBytes("---", note);
    bool written = true;
    for (const auto& out : outputs) {
      if (out.IsReply && delay > 0 && !WaitMs(delay)) break;
      if (!(written = WriteOut(out.Bytes, out.IsReply))) break;
    }
    if (stream && written) WriteStream(Options());
  }
  if (FHungUp) {
    // A hang-up throws away what the client has not read yet: give it a moment to take the last
    // bytes, as a serial line delivers them before the carrier drops.
    for (int i = 0; i < 100 && WaitMs(i == 0 ? 20 : 10);) {
      int queued = 0;
      if (::ioctl(FSlave, TIOCINQ, &queued) != 0 || queued == 0) break;
      ++i;
    }
    // Closing both ends is what the client sees as the line going dead.
    CloseFd(FMaster);
    CloseFd(FSlave);
  }
}
