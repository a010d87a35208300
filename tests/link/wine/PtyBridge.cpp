// The phone's side of a serial line for the channel's tests under Wine. A Windows test cannot
// hold the master side of a pseudo-terminal, so it connects here over TCP instead: each
// connection gets a fresh pseudo-terminal whose slave a COM port of the Wine prefix maps
// (SLOTDIR/comN -> /dev/pts/M, and dosdevices/comN -> SLOTDIR/comN), learns the port's name
// from the first line ("COM20\n"), and from then on every byte it sends goes to the master
// and every byte from the master comes back. Closing the connection closes the master: the
// COM port hangs up, as when a cable is pulled.
//
//   pty-bridge PORTFILE SLOTDIR FIRSTCOM SLOTS
// listens on a free port of 127.0.0.1, writes its number to PORTFILE and serves until killed.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

std::mutex GLock;
std::vector<bool> GBusy;
std::string GSlotDir;
int GFirstCom = 0;

int TakeSlot() {
  std::lock_guard<std::mutex> Lock(GLock);
  for (std::size_t I = 0; I < GBusy.size(); ++I)
    if (!GBusy[I]) {
      GBusy[I] = true;
      return static_cast<int>(I);
    }
  return -1;
}

void FreeSlot(int Slot) {
  std::lock_guard<std::mutex> Lock(GLock);
  GBusy[static_cast<std::size_t>(Slot)] = false;
}

bool SendAll(int Fd, const char* Data, std::size_t Count) {
  while (Count > 0) {
    ssize_t N = ::send(Fd, Data, Count, MSG_NOSIGNAL);
    if (N < 0 && errno == EINTR) continue;
    if (N <= 0) return false;
    Data += N;
    Count -= static_cast<std::size_t>(N);
  }
  return true;
}

// Moves bytes both ways until the test closes its connection. The master reads EIO while no
// one has the slave open (between two openings of the port); that is no end of the line.
void Relay(int Sock, int Master) {
  std::string ToMaster, ToSock;
  char Buf[16384];
  for (;;) {
    pollfd P[2] = {
        {Sock, static_cast<short>(ToMaster.size() < (1u << 20) ? POLLIN : 0), 0},
        {Master, static_cast<short>((ToSock.size() < (1u << 20) ? POLLIN : 0) | (ToMaster.empty() ? 0 : POLLOUT)), 0}};
    if (!ToSock.empty()) P[0].events |= POLLOUT;
    if (::poll(P, 2, 100) < 0 && errno != EINTR) return;
    if (P[0].revents & (POLLIN | POLLHUP | POLLERR)) {
      ssize_t N = ::recv(Sock, Buf, sizeof Buf, MSG_DONTWAIT);
      if (N == 0 || (N < 0 && errno != EAGAIN && errno != EINTR)) return;
      if (N > 0) ToMaster.append(Buf, static_cast<std::size_t>(N));
    }
    if ((P[0].revents & POLLOUT) && !ToSock.empty()) {
      ssize_t N = ::send(Sock, ToSock.data(), ToSock.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
      if (N > 0) ToSock.erase(0, static_cast<std::size_t>(N));
    }
    bool Idle = false;
    if (P[1].revents & POLLIN) {
      ssize_t N = ::read(Master, Buf, sizeof Buf);
      if (N > 0) ToSock.append(Buf, static_cast<std::size_t>(N));
      if (N < 0 && errno == EIO) Idle = true;
    } else if (P[1].revents & (POLLHUP | POLLERR)) {
      Idle = true;
    }
    if ((P[1].revents & POLLOUT) && !ToMaster.empty()) {
      ssize_t N = ::write(Master, ToMaster.data(), ToMaster.size());
      if (N > 0) ToMaster.erase(0, static_cast<std::size_t>(N));
    }
    // Nobody has the port open: look again shortly instead of spinning on the hang-up.
    if (Idle) ::usleep(10000);
  }
}

void Serve(int Sock) {
  int One = 1;
  setsockopt(Sock, IPPROTO_TCP, TCP_NODELAY, &One, sizeof One);
  int Slot = TakeSlot();
  int Master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  char Name[128] = "";
  if (Slot < 0 || Master < 0 || grantpt(Master) != 0 || unlockpt(Master) != 0 ||
      ptsname_r(Master, Name, sizeof Name) != 0) {
    SendAll(Sock, "ERROR\n", 6);
  } else {
    fcntl(Master, F_SETFL, fcntl(Master, F_GETFL) | O_NONBLOCK);
    // Raw from the start, so that no byte is changed before the port's settings are applied.
    int Slave = ::open(Name, O_RDWR | O_NOCTTY);
    if (Slave >= 0) {
      termios T{};
      if (tcgetattr(Slave, &T) == 0) {
        cfmakeraw(&T);
        tcsetattr(Slave, TCSANOW, &T);
      }
      ::close(Slave);
    }
    std::string Link = GSlotDir + "/com" + std::to_string(GFirstCom + Slot);
    std::string Temp = Link + ".new";
    ::unlink(Temp.c_str());
    if (::symlink(Name, Temp.c_str()) == 0 && ::rename(Temp.c_str(), Link.c_str()) == 0) {
      std::string Hello = "COM" + std::to_string(GFirstCom + Slot) + "\n";
      if (SendAll(Sock, Hello.data(), Hello.size())) Relay(Sock, Master);
    } else {
      SendAll(Sock, "ERROR\n", 6);
    }
  }
  if (Master >= 0) ::close(Master);
  ::close(Sock);
  if (Slot >= 0) FreeSlot(Slot);
}

}  // namespace

int main(int Argc, char** Argv) {
  if (Argc != 5) {
    std::fprintf(stderr, "usage: %s PORTFILE SLOTDIR FIRSTCOM SLOTS\n", Argv[0]);
    return 2;
  }
  GSlotDir = Argv[2];
  GFirstCom = std::atoi(Argv[3]);
  GBusy.assign(static_cast<std::size_t>(std::atoi(Argv[4])), false);

  int Listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in A{};
  A.sin_family = AF_INET;
  A.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t Len = sizeof A;
  if (Listener < 0 || ::bind(Listener, reinterpret_cast<sockaddr*>(&A), sizeof A) != 0 || ::listen(Listener, 16) != 0 ||
      ::getsockname(Listener, reinterpret_cast<sockaddr*>(&A), &Len) != 0) {
    std::perror("pty-bridge");
    return 1;
  }
  std::string Temp = std::string(Argv[1]) + ".new";
  if (FILE* F = std::fopen(Temp.c_str(), "w")) {
    std::fprintf(F, "%d\n", ntohs(A.sin_port));
    std::fclose(F);
    std::rename(Temp.c_str(), Argv[1]);
  }
  for (;;) {
    int Sock = ::accept4(Listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (Sock < 0) {
      if (errno == EINTR) continue;
      return 1;
    }
    std::thread(Serve, Sock).detach();
  }
}
