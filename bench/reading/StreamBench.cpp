// What a misbehaving phone costs the program: the phone (pelmo-phone) runs as a process of its
// own, so the CPU time and the memory below are the program's alone.
//
//   stream_bench stream [--bytes N]   N bytes without a line break at full speed in reply to the
//                                     listing (default 10 MB): CPU time until the box, peak memory
//   stream_bench flood-wait           RING every 10 ms, the listing never answered: the reading's
//                                     wall and CPU time until it ends
//   stream_bench flood-idle [--seconds S]  RING every 10 ms while the program idles after a
//                                     reading (default 120 s): memory and CPU
//   stream_bench lines [--seconds S]  endless 80-character lines without a final result at
//                                     115200 baud (default 20 s): share of the CPU while they come
//   stream_bench count [--claim N]    the memory status claims N used messages (default
//                                     5000000) of the demo SIM's 12: peak memory
//   --show-log                        with the communication log shown
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "forms/Dialogs.h"
#include "forms/Main.h"
#include "forms/Progress.h"

extern char** environ;

namespace {

using TClock = std::chrono::steady_clock;

double CpuSeconds() {
  rusage Usage{};
  getrusage(RUSAGE_SELF, &Usage);
  return static_cast<double>(Usage.ru_utime.tv_sec + Usage.ru_stime.tv_sec) +
         (Usage.ru_utime.tv_usec + Usage.ru_stime.tv_usec) / 1e6;
}

double PeakMB() {
  rusage Usage{};
  getrusage(RUSAGE_SELF, &Usage);
  return Usage.ru_maxrss / 1024.0;
}

double CurrentMB() {
  std::ifstream Status("/proc/self/status");
  for (std::string Line; std::getline(Status, Line);)
    if (Line.rfind("VmRSS:", 0) == 0) return std::atof(Line.c_str() + 6) / 1024.0;
  return 0;
}

class TTimedDialogs : public TDialogs {
 public:
  std::vector<std::string> Texts;
  double CpuAtFirst = -1;
  TClock::time_point WallAtFirst;
  TBoxButton MessageBox(const TBoxRequest& Request) override {
    if (Texts.empty()) {
      CpuAtFirst = CpuSeconds();
      WallAtFirst = TClock::now();
    }
    Texts.push_back(Request.Text.substr(0, 120));
    return TBoxButton::OK;
  }
  std::optional<std::string> SaveFileName(const TSaveRequest&) override { return std::nullopt; }
};

// pelmo-phone with the demo SIM and these options; returns its process id, sets Device.
pid_t StartPhone(const std::vector<std::string>& Options, std::string& Device) {
  int Out[2];
  if (::pipe(Out) != 0) std::exit(2);
  const std::string Link = "/tmp/pelmo-stream-bench-" + std::to_string(::getpid());
  std::vector<std::string> Args = {PELMO_PHONE_PROGRAM, "--link", Link};
  Args.insert(Args.end(), Options.begin(), Options.end());
  std::vector<char*> Argv;
  for (auto& A : Args) Argv.push_back(A.data());
  Argv.push_back(nullptr);
  posix_spawn_file_actions_t Actions;
  posix_spawn_file_actions_init(&Actions);
  posix_spawn_file_actions_adddup2(&Actions, Out[1], 1);
  posix_spawn_file_actions_addclose(&Actions, Out[0]);
  pid_t Pid = 0;
  if (posix_spawn(&Pid, Argv[0], &Actions, nullptr, Argv.data(), environ) != 0) std::exit(2);
  ::close(Out[1]);
  char C = 0;
  while (::read(Out[0], &C, 1) == 1 && C != '\n') Device += C;
  ::close(Out[0]);
  return Pid;
}

void StopPhone(pid_t Pid) {
  ::kill(Pid, SIGTERM);
  int Status = 0;
  ::waitpid(Pid, &Status, 0);
}

double Since(TClock::time_point Start) { return std::chrono::duration<double>(TClock::now() - Start).count(); }

}  // namespace

int main(int argc, char** argv) {
  const std::string Mode = argc > 1 ? argv[1] : "stream";
  long Bytes = 10L << 20;
  long Claim = 5000000;
  int Seconds = Mode == "lines" ? 20 : 120;
  bool ShowLog = false;
  for (int I = 2; I < argc; ++I)
    if (std::strcmp(argv[I], "--show-log") == 0) ShowLog = true;
  for (int I = 2; I + 1 < argc; I += 2) {
    if (std::strcmp(argv[I], "--bytes") == 0)
      Bytes = std::atol(argv[I + 1]);
    else if (std::strcmp(argv[I], "--claim") == 0)
      Claim = std::atol(argv[I + 1]);
    else if (std::strcmp(argv[I], "--seconds") == 0)
      Seconds = std::atoi(argv[I + 1]);
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication Application(argc, argv);

  std::vector<std::string> Options = {"--echo", "0"};
  if (Mode == "stream")
    Options.insert(Options.end(), {"--stream", "AT+CMGL", "--stream-bytes", std::to_string(Bytes)});
  else if (Mode == "flood-wait")
    Options.insert(Options.end(), {"--flood", "RING", "--flood-ms", "10", "--mute", "AT+CMGL"});
  else if (Mode == "flood-idle")
    Options.insert(Options.end(), {"--flood", "RING", "--flood-ms", "10"});
  else if (Mode == "lines")
    Options.insert(Options.end(),
                   {"--stream", "AT+CMGL", "--stream-bytes", "2000000000", "--stream-line", "80", "--baud", "115200"});
  else if (Mode == "count")
    Options.insert(Options.end(), {"--claim-used", std::to_string(Claim)});
  else {
    std::cerr << "unknown mode " << Mode << "\n";
    return 2;
  }
  std::string Device;
  const pid_t Phone = StartPhone(Options, Device);
  ::setenv("PELMO_COM4", Device.c_str(), 1);

  TTimedDialogs Dialogs;
  SetDialogs(&Dialogs);
  frmMain = new TfrmMain();
  frmProgress = new TfrmProgress(frmMain);
  frmMain->show();
  if (ShowLog) frmMain->btnInfoKeyPress('l');
  QApplication::processEvents();

  const double RssBefore = CurrentMB();
  const double CpuBefore = CpuSeconds();
  const auto Start = TClock::now();
  double CpuWindow = 0, WallWindow = 0;
  if (Mode == "lines") {
    // The reading waits while the lines keep coming; after the window, the phone goes away.
    QTimer::singleShot(Seconds * 1000, [&] {
      CpuWindow = CpuSeconds() - CpuBefore;
      WallWindow = Since(Start);
      StopPhone(Phone);
    });
  }
  frmMain->btnReadClick();
  const double Wall = Since(Start);
  const double Cpu = CpuSeconds() - CpuBefore;

  std::printf("mode               %s\n", Mode.c_str());
  std::printf("boxes              %zu%s%s\n", Dialogs.Texts.size(),
              Dialogs.Texts.empty() ? "" : ", first: ", Dialogs.Texts.empty() ? "" : Dialogs.Texts[0].c_str());
  if (Mode == "stream") {
    std::printf("bytes sent         %ld without a line break\n", Bytes);
    std::printf("CPU until the box  %.3f s\n", Dialogs.CpuAtFirst - CpuBefore);
    std::printf("wall until the box %.3f s\n", std::chrono::duration<double>(Dialogs.WallAtFirst - Start).count());
  }
  if (Mode == "lines") {
    std::printf("window             %.1f s wall, %.3f s CPU (%.1f %%)\n", WallWindow, CpuWindow,
                100.0 * CpuWindow / WallWindow);
  }
  std::printf("reading            %.3f s wall, %.3f s CPU\n", Wall, Cpu);
  if (Mode == "count")
    std::printf("grid               %d rows, label %s\n", frmMain->sgMessages->RowCount() - 1,
                frmMain->lblMemory->text().toStdString().c_str());
  if (Mode == "flood-idle") {
    const double IdleCpu = CpuSeconds();
    const double IdleRss = CurrentMB();
    QTimer::singleShot(Seconds * 1000, &Application, &QCoreApplication::quit);
    const auto IdleStart = TClock::now();
    QApplication::exec();
    std::printf("idle               %.0f s, %.3f s CPU (%.2f %%)\n", Since(IdleStart), CpuSeconds() - IdleCpu,
                100.0 * (CpuSeconds() - IdleCpu) / Since(IdleStart));
    std::printf("resident memory    %.1f MB after the reading, %.1f MB after idling\n", IdleRss, CurrentMB());
    std::printf("log                %d characters\n", frmMain->memLog->document()->characterCount());
  }
  std::printf("resident before    %.1f MB\n", RssBefore);
  std::printf("peak memory        %.1f MB\n", PeakMB());
  if (Mode != "lines") StopPhone(Phone);
  delete frmMain;
  return 0;
}
