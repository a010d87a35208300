/* Loaded into Wine for runs against a pseudo-terminal only (LD_PRELOAD: the channel's tests,
 * Pelmo.exe on the simulated phone): a pseudo-terminal has no modem lines, and Wine's serial
 * driver cancels every pending wait of a port when it cannot read them. On a pseudo-terminal
 * whose other side is open this answers the modem-line requests as
 * a cable with CTS, DSR and carrier up would, and takes DTR and RTS changes. Once the other
 * side has hung up the request fails as before, so that Wine ends the waits as Windows does
 * for a device that has gone. Everything else goes to the real ioctl.
 *
 * A test changes the lines by writing their names (CTS DSR CAR RNG) into the file that
 * PELMO_MODEM_LINES names; without that file CTS, DSR and carrier are up. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

typedef int (*ioctl_fn)(int, unsigned long, ...);

/* Unix98 pseudo-terminal slaves have the majors 136 to 143. */
static int is_live_pty(int fd) {
  struct stat st;
  struct pollfd p = {fd, 0, 0};
  if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || major(st.st_rdev) < 136 || major(st.st_rdev) > 143) return 0;
  return poll(&p, 1, 0) >= 0 && !(p.revents & (POLLHUP | POLLERR | POLLNVAL));
}

static int modem_lines(void) {
  const char* path = getenv("PELMO_MODEM_LINES");
  char buf[64];
  int lines = TIOCM_DTR | TIOCM_RTS, fd;
  ssize_t n;
  if (!path || (fd = open(path, O_RDONLY | O_CLOEXEC)) < 0) return lines | TIOCM_CTS | TIOCM_DSR | TIOCM_CAR;
  n = read(fd, buf, sizeof buf - 1);
  close(fd);
  buf[n > 0 ? n : 0] = '\0';
  if (strstr(buf, "CTS")) lines |= TIOCM_CTS;
  if (strstr(buf, "DSR")) lines |= TIOCM_DSR;
  if (strstr(buf, "CAR")) lines |= TIOCM_CAR;
  if (strstr(buf, "RNG")) lines |= TIOCM_RNG;
  return lines;
}

int ioctl(int fd, unsigned long request, ...) {
  static ioctl_fn real;
  va_list ap;
  void* arg;
  int saved, r;
  if (!real) real = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");
  va_start(ap, request);
  arg = va_arg(ap, void*);
  va_end(ap);
  r = real(fd, request, arg);
  if (r == 0) return r;
  saved = errno;
  if (is_live_pty(fd)) {
    switch (request) {
      case TIOCMGET:
        if (arg) *(int*)arg = modem_lines();
        return 0;
      case TIOCMSET:
      case TIOCMBIS:
      case TIOCMBIC:
        return 0;
      default:
        break;
    }
  }
  errno = saved;
  return r;
}
