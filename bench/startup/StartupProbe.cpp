// Linked into a Qt Widgets program, reports on standard output, once each:
//   shown <ns>   the monotonic clock when the first window has finished its first paint
//   cpu <ns>     the processor time of the whole process by then
//   rss <kB>     the resident set 1 s after the application object was made
// and then ends the program. The program itself is unchanged.
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>

namespace {

long long MonotonicNs() {
  timespec Now{};
  clock_gettime(CLOCK_MONOTONIC, &Now);
  return static_cast<long long>(Now.tv_sec) * 1000000000LL + Now.tv_nsec;
}

long long ProcessCpuNs() {
  timespec Used{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &Used);
  return static_cast<long long>(Used.tv_sec) * 1000000000LL + Used.tv_nsec;
}

long ResidentKB() {
  std::ifstream Status("/proc/self/status");
  for (std::string Line; std::getline(Status, Line);)
    if (Line.rfind("VmRSS:", 0) == 0) return std::stol(Line.substr(6));
  return -1;
}

class TProbe : public QObject {
 public:
  bool Shown = false;
  bool RssTaken = false;

  bool eventFilter(QObject* Watched, QEvent* Event) override {
    if (!Shown && Event->type() == QEvent::Paint) {
      auto* Widget = qobject_cast<QWidget*>(Watched);
      if (Widget && Widget->isWindow()) {
        Shown = true;
        // After the paint has run to its end.
        QTimer::singleShot(0, this, [this] {
          std::printf("shown %lld\ncpu %lld\n", MonotonicNs(), ProcessCpuNs());
          std::fflush(stdout);
          Finish();
        });
      }
    }
    return false;
  }

  void Finish() {
    if (Shown && RssTaken) QCoreApplication::exit(0);
  }
};

void InstallProbe() {
  auto* Probe = new TProbe;
  Probe->setParent(qApp);
  qApp->installEventFilter(Probe);
  QTimer::singleShot(1000, Probe, [Probe] {
    std::printf("rss %ld\n", ResidentKB());
    std::fflush(stdout);
    Probe->RssTaken = true;
    Probe->Finish();
  });
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(InstallProbe)
