// Linux implementation of the channel's operating-system layer: termios, eventfd, epoll.
#include "link/KoOS.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

#include <dirent.h>
#include <linux/serial.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>

#include "link/KoConst.h"

// The kernel's settings record with a free bit rate, which TCGETS2 and TCSETS2 name. Declared
// here because the kernel header that has it clashes with <termios.h>.
struct termios2 {
  tcflag_t c_iflag, c_oflag, c_cflag, c_lflag;
  cc_t c_line;
  cc_t c_cc[19];
  speed_t c_ispeed, c_ospeed;
};

namespace {

// The settings a device had before we opened it, put back when we close it, and the device's
// line-error counts when last asked, so that each query tells only of newer errors.
struct TOpenDevice {
  bool HasSettings = false;
  termios Settings{};
  int Counters[5] = {0, 0, 0, 0, 0};
};
std::mutex GSavedLock;
std::map<int, TOpenDevice> GSaved;

// The ports above the numbered ones that the last port list gave to phone cable devices.
std::mutex GListedLock;
std::map<int, std::string> GListed;

// The line-error counts of real serial ports; a pseudo-terminal has none to count.
bool ReadCounters(int F, int (&Now)[5]) {
  serial_icounter_struct C{};
  if (ioctl(F, TIOCGICOUNT, &C) != 0) return false;
  const int Values[5] = {C.buf_overrun, C.overrun, C.parity, C.frame, C.brk};
  std::copy(Values, Values + 5, Now);
  return true;
}

int Fd(TKoHandle H) { return static_cast<int>(H); }

speed_t StandardSpeed(int Rate) {
  switch (Rate) {
    case 110:
      return B110;
    case 300:
      return B300;
    case 600:
      return B600;
    case 1200:
      return B1200;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    case 230400:
      return B230400;
    case 460800:
      return B460800;
    case 921600:
      return B921600;
    default:
      return 0;
  }
}

constexpr tcflag_t KernelBOTHER = 0010000;
constexpr tcflag_t KernelCBAUD = 0010017;

bool SetOtherSpeed(int F, int Rate) {
#if defined(TCGETS2) && defined(TCSETS2)
  termios2 T{};
  if (ioctl(F, TCGETS2, &T) != 0) return false;
  T.c_cflag &= ~KernelCBAUD;
  T.c_cflag |= KernelBOTHER;
  T.c_ispeed = T.c_ospeed = static_cast<speed_t>(Rate);
  return ioctl(F, TCSETS2, &T) == 0;
#else
  (void)F;
  (void)Rate;
  errno = EINVAL;
  return false;
#endif
}

void SetModemLine(int F, int Line, bool On) {
  // A pseudo-terminal refuses modem-control calls; the line works without them.
  ioctl(F, On ? TIOCMBIS : TIOCMBIC, &Line);
}

int PollTimeout(std::uint32_t Timeout) {
  if (Timeout == KO_INFINITE) return -1;
  return Timeout > static_cast<std::uint32_t>(INT_MAX) ? INT_MAX : static_cast<int>(Timeout);
}

// What is left of a time-out begun at Start, for a wait taken up again after a signal.
int PollTimeoutLeft(std::uint32_t Timeout, std::uint32_t Start) {
  if (Timeout == KO_INFINITE) return -1;
  std::uint32_t Spent = KoOSTickCount() - Start;
  return Spent >= Timeout ? 0 : PollTimeout(Timeout - Spent);
}

}  // namespace

int KoOSLastError() { return errno; }

bool KoOSIsNotFound(int Code) { return Code == ENOENT; }

bool KoOSIsGone(int Code) { return Code == EIO || Code == ENXIO || Code == ENODEV; }

std::string KoOSErrorText(int Code) {
  char Buf[256];
  // The GNU strerror_r returns its text, which need not be in Buf.
  return strerror_r(Code, Buf, sizeof Buf);
}

namespace {

// The number n of a port name "COMn", or 0 when the name is no such name.
int PortNumber(const std::string& Name) {
  if (Name.size() <= 3 || Name.size() > 12 || Name.compare(0, 3, "COM") != 0) return 0;
  if (Name.find_first_not_of("0123456789", 3) != std::string::npos) return 0;
  long N = std::strtol(Name.c_str() + 3, nullptr, 10);
  return N >= 1 && N <= INT_MAX ? static_cast<int>(N) : 0;
}

// Natural order of device names: ttyUSB2 before ttyUSB10.
bool NaturalLess(const std::string& A, const std::string& B) {
  std::size_t I = 0, J = 0;
  while (I < A.size() && J < B.size()) {
    if (std::isdigit(static_cast<unsigned char>(A[I])) && std::isdigit(static_cast<unsigned char>(B[J]))) {
      std::size_t EndA = A.find_first_not_of("0123456789", I), EndB = B.find_first_not_of("0123456789", J);
      if (EndA == std::string::npos) EndA = A.size();
      if (EndB == std::string::npos) EndB = B.size();
      std::string NumA = A.substr(I, EndA - I), NumB = B.substr(J, EndB - J);
      NumA.erase(0, std::min(NumA.find_first_not_of('0'), NumA.size()));
      NumB.erase(0, std::min(NumB.find_first_not_of('0'), NumB.size()));
      if (NumA.size() != NumB.size()) return NumA.size() < NumB.size();
      if (NumA != NumB) return NumA < NumB;
      I = EndA;
      J = EndB;
      continue;
    }
    if (A[I] != B[J]) return A[I] < B[J];
    ++I;
    ++J;
  }
  return A.size() - I < B.size() - J;
}

// Serial devices that a phone cable shows up as: USB serial adapters, USB modems, Bluetooth
// serial links. Every one present is listed, also one the user may not open yet: opening it
// then says why.
std::vector<std::string> CableDevices() {
  std::vector<std::string> Devices;
  if (DIR* D = opendir("/dev")) {
    while (dirent* E = readdir(D)) {
      std::string Name = E->d_name;
      for (const char* Prefix : {"ttyUSB", "ttyACM", "rfcomm"})
        if (Name.size() > std::strlen(Prefix) && Name.compare(0, std::strlen(Prefix), Prefix) == 0)
          Devices.push_back("/dev/" + Name);
    }
    closedir(D);
  }
  std::sort(Devices.begin(), Devices.end(), NaturalLess);
  return Devices;
}

}  // namespace

std::string KoOSDeviceForName(const std::string& Name) {
  if (!Name.empty() && Name[0] == '/') return Name;
  if (int N = PortNumber(Name)) {
    // The user's own choice first, then a cable device that the port list numbered.
    if (const char* Env = std::getenv(("PELMO_" + Name).c_str()); Env && *Env) return Env;
    {
      std::lock_guard<std::mutex> Lock(GListedLock);
      if (auto It = GListed.find(N); It != GListed.end()) return It->second;
    }
    return "/dev/ttyS" + std::to_string(N - 1);
  }
  // Anything else names a device in /dev.
  return "/dev/" + Name;
}

std::vector<TKoPortEntry> KoOSListPorts() {
  constexpr int NamedPorts = 8;
  std::vector<TKoPortEntry> Ports;
  for (int N = 1; N <= NamedPorts; ++N) Ports.push_back({"COM " + std::to_string(N), N});

  // Ports above the numbered ones that the user named in the environment keep their numbers.
  std::map<int, std::string> Named;
  for (char** E = environ; E && *E; ++E) {
    std::string Entry = *E;
    auto Eq = Entry.find('=');
    if (Eq == std::string::npos || Entry.compare(0, 6, "PELMO_") != 0 || Eq + 1 == Entry.size()) continue;
    int N = PortNumber(Entry.substr(6, Eq - 6));
    if (N > NamedPorts) Named[N] = Entry.substr(Eq + 1);
  }
  for (const auto& [N, Device] : Named) Ports.push_back({"COM " + std::to_string(N), N});

  // Each cable device that no port names yet gets the next free number, and is shown by path.
  std::map<int, std::string> Listed;
  int Next = NamedPorts + 1;
  for (const std::string& Device : CableDevices()) {
    bool Known = false;
    for (int N = 1; N <= NamedPorts && !Known; ++N)
      if (const char* Env = std::getenv(("PELMO_COM" + std::to_string(N)).c_str())) Known = Device == Env;
    for (const auto& [N, Path] : Named) Known = Known || Device == Path;
    if (Known) continue;
    while (Named.count(Next)) ++Next;
    Listed[Next] = Device;
    Ports.push_back({Device, Next});
    ++Next;
  }
  std::lock_guard<std::mutex> Lock(GListedLock);
  GListed = std::move(Listed);
  return Ports;
}

TKoHandle KoOSOpenDevice(const std::string& Path) {
  int F = ::open(Path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (F < 0) return KO_INVALID_HANDLE;
  // TIOCEXCL keeps out other openers but not the superuser; the lock keeps out every opener
  // that asks for it too, as this channel does.
  if (flock(F, LOCK_EX | LOCK_NB) != 0) {
    int E = (errno == EWOULDBLOCK) ? EBUSY : errno;
    ::close(F);
    errno = E;
    return KO_INVALID_HANDLE;
  }
  ioctl(F, TIOCEXCL);
  TOpenDevice Saved;
  Saved.HasSettings = tcgetattr(F, &Saved.Settings) == 0;
  // Errors counted before this opening are not ours to report.
  ReadCounters(F, Saved.Counters);
  std::lock_guard<std::mutex> Lock(GSavedLock);
  GSaved[F] = Saved;
  return F;
}

void KoOSCloseDevice(TKoHandle Device) {
  int F = Fd(Device);
  {
    std::lock_guard<std::mutex> Lock(GSavedLock);
    auto It = GSaved.find(F);
    if (It != GSaved.end()) {
      if (It->second.HasSettings) tcsetattr(F, TCSANOW, &It->second.Settings);
      GSaved.erase(It);
    }
  }
  ioctl(F, TIOCNXCL);
  ::close(F);
}

bool KoOSSetLineSettings(TKoHandle Device, const TKoLineSettings& S) {
  int F = Fd(Device);
  termios T{};
  if (tcgetattr(F, &T) != 0) return false;

  // Raw: no line editing, no translation, no signals, the receiver on, modem lines ignored.
  T.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK | IGNPAR);
  T.c_oflag &= ~OPOST;
  T.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  T.c_cflag |= CREAD | CLOCAL;

  T.c_cflag &= ~CSIZE;
  switch (S.ByteSize) {
    case 5:
      T.c_cflag |= CS5;
      break;
    case 6:
      T.c_cflag |= CS6;
      break;
    case 7:
      T.c_cflag |= CS7;
      break;
    case 8:
      T.c_cflag |= CS8;
      break;
    default:
      errno = EINVAL;
      return false;
  }

  T.c_cflag &= ~(PARENB | PARODD | CMSPAR);
  switch (S.Parity) {
    case paNone:
      break;
    case paOdd:
      T.c_cflag |= PARENB | PARODD;
      break;
    case paEven:
      T.c_cflag |= PARENB;
      break;
    case paMark:
      T.c_cflag |= PARENB | CMSPAR | PARODD;
      break;
    case paSpace:
      T.c_cflag |= PARENB | CMSPAR;
      break;
  }
  if (S.ParityCheck) T.c_iflag |= INPCK;

  // The line knows one or two stop bits; 1.5 is sent as two.
  if (S.StopBits == sb1)
    T.c_cflag &= ~CSTOPB;
  else
    T.c_cflag |= CSTOPB;

  if (S.OutxCtsFlow || S.RtsControl == rtsHandshake)
    T.c_cflag |= CRTSCTS;
  else
    T.c_cflag &= ~CRTSCTS;
  if (S.OutX) T.c_iflag |= IXON;
  if (S.InX) T.c_iflag |= IXOFF;
  T.c_cc[VSTART] = static_cast<cc_t>(S.XonChar);
  T.c_cc[VSTOP] = static_cast<cc_t>(S.XoffChar);
  T.c_cc[VMIN] = 0;
  T.c_cc[VTIME] = 0;

  speed_t Speed = StandardSpeed(S.BaudRate);
  if (Speed != 0) {
    cfsetispeed(&T, Speed);
    cfsetospeed(&T, Speed);
  }
  if (S.BaudRate <= 0) {
    errno = EINVAL;
    return false;
  }
  if (tcsetattr(F, TCSANOW, &T) != 0) return false;
  if (Speed == 0 && !SetOtherSpeed(F, S.BaudRate)) return false;

  SetModemLine(F, TIOCM_DTR, S.DtrControl != dtrDisabled);
  SetModemLine(F, TIOCM_RTS, S.RtsControl == rtsEnabled || S.RtsControl == rtsHandshake);
  return true;
}

bool KoOSSetupQueues(TKoHandle Device, int InSize, int OutSize) {
  // The kernel sizes a terminal's queues itself; only refuse what no system would take.
  (void)Device;
  if (InSize < 0 || OutSize < 0) {
    errno = EINVAL;
    return false;
  }
  return true;
}

bool KoOSSetTimeouts(TKoHandle Device) {
  // A non-blocking descriptor with VMIN and VTIME at 0 returns at once with what has arrived.
  int F = Fd(Device);
  termios T{};
  if (tcgetattr(F, &T) != 0) return false;
  T.c_cc[VMIN] = 0;
  T.c_cc[VTIME] = 0;
  return tcsetattr(F, TCSANOW, &T) == 0;
}

bool KoOSClearCommError(TKoHandle Device, TKoCommStatus& Status) {
  int F = Fd(Device);
  int In = 0;
  if (ioctl(F, FIONREAD, &In) != 0) return false;
  int Out = 0;
  if (ioctl(F, TIOCOUTQ, &Out) != 0) Out = 0;
  Status.InQueue = In;
  Status.OutQueue = Out;
  Status.Errors = 0;
  int Now[5];
  if (ReadCounters(F, Now)) {
    static constexpr int Bits[5] = {KO_CE_RXOVER, KO_CE_OVERRUN, KO_CE_RXPARITY, KO_CE_FRAME, KO_CE_BREAK};
    std::lock_guard<std::mutex> Lock(GSavedLock);
    if (auto It = GSaved.find(F); It != GSaved.end()) {
      for (int I = 0; I < 5; ++I) {
        if (Now[I] != It->second.Counters[I]) Status.Errors |= Bits[I];
        It->second.Counters[I] = Now[I];
      }
    }
  }
  return true;
}

int KoOSReceiveQueue(int ReadSize) {
  // The line discipline keeps 4096 bytes for every terminal whatever was asked for, and the
  // driver's buffers hold more behind it.
  return std::max(ReadSize, 4096);
}

int KoOSBytesWaiting(TKoHandle Device) {
  // The error counters are left alone: the next status query compares them.
  int In = 0;
  return ioctl(Fd(Device), FIONREAD, &In) == 0 ? In : -1;
}

namespace {
// Runs a non-blocking read or write: interrupted calls are repeated, "would block" counts as
// nothing moved, any other failure is -1 with errno kept.
template <typename TTransfer>
int Transfer(TTransfer Call) {
  for (;;) {
    ssize_t N = Call();
    if (N >= 0) return static_cast<int>(N);
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      errno = 0;
      return 0;
    }
    return -1;
  }
}
}  // namespace

int KoOSRead(TKoHandle Device, void* Buffer, int Count) {
  return Transfer([&] { return ::read(Fd(Device), Buffer, static_cast<size_t>(Count)); });
}

int KoOSWrite(TKoHandle Device, const void* Data, int Count) {
  return Transfer([&] { return ::write(Fd(Device), Data, static_cast<size_t>(Count)); });
}

TKoHandle KoOSCreateSignal(bool InitialState) {
  int F = eventfd(InitialState ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK);
  return F < 0 ? KO_INVALID_HANDLE : F;
}

void KoOSCloseSignal(TKoHandle Signal) {
  if (Signal != KO_INVALID_HANDLE) ::close(Fd(Signal));
}

bool KoOSSetSignal(TKoHandle Signal) {
  // The counter stays above zero, and the descriptor readable, until it is reset.
  std::uint64_t One = 1;
  for (;;) {
    if (::write(Fd(Signal), &One, sizeof One) == sizeof One) return true;
    if (errno != EINTR) return false;
  }
}

bool KoOSResetSignal(TKoHandle Signal) {
  std::uint64_t Value;
  for (;;) {
    if (::read(Fd(Signal), &Value, sizeof Value) == sizeof Value) return true;
    if (errno == EAGAIN) return true;  // already clear
    if (errno != EINTR) return false;
  }
}

TKoWaitResult KoOSWaitFor(const TKoHandle* Signals, int Count, TKoHandle WritableDevice, std::uint32_t Timeout,
                          int& Index) {
  pollfd P[8];
  if (Count < 0 || Count > 7) {
    errno = EINVAL;
    return wrError;
  }
  int N = 0;
  for (; N < Count; ++N) P[N] = pollfd{Fd(Signals[N]), POLLIN, 0};
  if (WritableDevice != KO_INVALID_HANDLE) P[N++] = pollfd{Fd(WritableDevice), POLLOUT, 0};

  std::uint32_t Start = KoOSTickCount();
  for (;;) {
    int Wait = PollTimeoutLeft(Timeout, Start);
    int R = ::poll(P, static_cast<nfds_t>(N), Wait);
    if (R < 0) {
      if (errno == EINTR) continue;
      return wrError;
    }
    if (R == 0) return wrTimeout;
    for (int I = 0; I < N; ++I) {
      if (P[I].revents != 0) {
        Index = I;
        return wrSignaled;
      }
    }
  }
}

TKoHandle KoOSCreateWatch(TKoHandle Device, std::uint32_t Mask, TKoHandle StopSignal) {
  // Linux reports arrivals and hang-ups only; the channel keeps the events of its mask.
  (void)Mask;
  int E = epoll_create1(EPOLL_CLOEXEC);
  if (E < 0) return KO_INVALID_HANDLE;
  // Edge-triggered on the device: every arrival of new bytes is one event, as a serial driver
  // reports "a character received", whether or not older bytes were read yet.
  epoll_event Ev{};
  Ev.events = EPOLLIN | EPOLLET;
  Ev.data.u32 = 0;
  epoll_event Stop{};
  Stop.events = EPOLLIN;
  Stop.data.u32 = 1;
  if (epoll_ctl(E, EPOLL_CTL_ADD, Fd(StopSignal), &Stop) != 0 || epoll_ctl(E, EPOLL_CTL_ADD, Fd(Device), &Ev) != 0) {
    int Saved = errno;
    ::close(E);
    errno = Saved;
    return KO_INVALID_HANDLE;
  }
  return E;
}

void KoOSCloseWatch(TKoHandle Watch) {
  if (Watch != KO_INVALID_HANDLE) ::close(Fd(Watch));
}

TKoWaitResult KoOSWaitCommEvent(TKoHandle Watch, std::uint32_t Timeout, std::uint32_t& Events, bool& Hangup) {
  Events = 0;
  Hangup = false;
  epoll_event Ev[2];
  int N;
  std::uint32_t Start = KoOSTickCount();
  for (;;) {
    int Wait = PollTimeoutLeft(Timeout, Start);
    N = epoll_wait(Fd(Watch), Ev, 2, Wait);
    if (N >= 0 || errno != EINTR) break;
  }
  if (N < 0) return wrError;
  if (N == 0) return wrTimeout;
  for (int I = 0; I < N; ++I)
    if (Ev[I].data.u32 == 1) return wrAbandoned;
  for (int I = 0; I < N; ++I) {
    if (Ev[I].events & EPOLLIN) Events |= KO_EV_RXCHAR;
    if (Ev[I].events & (EPOLLHUP | EPOLLERR)) {
      Events |= KO_EV_ERR;
      Hangup = true;
    }
  }
  return wrSignaled;
}

long KoOSCurrentThreadId() { return static_cast<long>(::syscall(SYS_gettid)); }

bool KoOSSetThreadPriority(long ThreadId, TKoThreadPriority Priority) {
  // Linux gives each thread a nice value of its own.
  static constexpr int Nice[] = {19, 10, 5, 0, -5, -10, -20};
  return setpriority(PRIO_PROCESS, static_cast<id_t>(ThreadId), Nice[Priority]) == 0;
}

std::uint32_t KoOSTickCount() {
  timespec T{};
  clock_gettime(CLOCK_MONOTONIC, &T);
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(T.tv_sec) * 1000u +
                                    static_cast<std::uint64_t>(T.tv_nsec) / 1000000u);
}
