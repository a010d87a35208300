// Reads a full SIM (255 messages of 160 characters) from the simulated phone paced at 115200 baud,
// through the real channel and the real main window, and compares the time taken with the time
// the phone's bytes need on the line.
//
//   reading_bench [--baud N] [--messages N]
//
// The phone runs on threads of this process: the CPU time below includes them, and is also shown
// by thread.
#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <string>

#include "bench/reading/BenchSupport.h"
#include "bench/reading/FullSim.h"
#include "emulator/SimPhone.h"
#include "forms/Dialogs.h"
#include "forms/Main.h"
#include "forms/Progress.h"

namespace {

// The processor time of every thread of this process so far, in nanoseconds, by thread id.
std::map<int, long long> ThreadTimes() {
  std::map<int, long long> Times;
  if (DIR* Tasks = opendir("/proc/self/task")) {
    while (const dirent* Entry = readdir(Tasks)) {
      if (Entry->d_name[0] == '.') continue;
      std::ifstream Stat(std::string("/proc/self/task/") + Entry->d_name + "/schedstat");
      long long Ns = 0;
      if (Stat >> Ns) Times[std::atoi(Entry->d_name)] = Ns;
    }
    closedir(Tasks);
  }
  return Times;
}

}  // namespace

int main(int argc, char** argv) {
  int Baud = 115200;
  int Count = 255;
  for (int I = 1; I + 1 < argc; I += 2) {
    if (std::strcmp(argv[I], "--baud") == 0)
      Baud = std::atoi(argv[I + 1]);
    else if (std::strcmp(argv[I], "--messages") == 0)
      Count = std::atoi(argv[I + 1]);
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication Application(argc, argv);

  TSimCard Sim = FullSim(Count);
  TPhoneOptions Options;
  Options.Baud = Baud;
  TSimPhone Phone(Sim, Options);
  // The threads that the phone starts are told apart from the program's own by their ids.
  std::set<int> PhoneThreads;
  {
    const auto Before = ThreadTimes();
    Phone.Start();
    for (const auto& [Tid, Ns] : ThreadTimes())
      if (!Before.count(Tid)) PhoneThreads.insert(Tid);
  }
  ::setenv("PELMO_COM4", Phone.DevicePath().c_str(), 1);

  TFailingDialogs Dialogs;
  SetDialogs(&Dialogs);
  frmMain = new TfrmMain();
  frmProgress = new TfrmProgress(frmMain);
  frmMain->show();
  QApplication::processEvents();

  const std::size_t BytesBefore = Phone.BytesSent();
  const auto ThreadsBefore = ThreadTimes();
  rusage Before{};
  getrusage(RUSAGE_SELF, &Before);
  const auto Start = std::chrono::steady_clock::now();
  frmMain->btnReadClick();
  const auto End = std::chrono::steady_clock::now();
  rusage After{};
  getrusage(RUSAGE_SELF, &After);
  double MainCpu = 0, PhoneCpu = 0, OtherCpu = 0;
  for (const auto& [Tid, Ns] : ThreadTimes()) {
    const auto Earlier = ThreadsBefore.find(Tid);
    const double Used = static_cast<double>(Ns - (Earlier == ThreadsBefore.end() ? 0 : Earlier->second)) / 1e9;
    (Tid == getpid() ? MainCpu : PhoneThreads.count(Tid) ? PhoneCpu : OtherCpu) += Used;
  }
  const std::size_t Bytes = Phone.BytesSent() - BytesBefore;

  const double Wall = std::chrono::duration<double>(End - Start).count();
  const double Line = static_cast<double>(Bytes) * 10.0 / Baud;
  const double Cpu =
      Seconds(After.ru_utime) - Seconds(Before.ru_utime) + Seconds(After.ru_stime) - Seconds(Before.ru_stime);
  const int Rows = frmMain->sgMessages->RowCount() - 1;
  const std::string Memory = frmMain->lblMemory->text().toStdString();

  std::printf("messages read      %d (memory %s)\n", Rows, Memory.c_str());
  std::printf("bytes from phone   %zu\n", Bytes);
  std::printf("line time          %.3f s (bytes x 10 / %d)\n", Line, Baud);
  std::printf("wall time          %.3f s\n", Wall);
  std::printf("wall / line        %.3f\n", Line > 0 ? Wall / Line : 0.0);
  std::printf("overhead           %.3f s\n", Wall - Line);
  std::printf("CPU time           %.3f s (user %.3f, system %.3f)\n", Cpu,
              Seconds(After.ru_utime) - Seconds(Before.ru_utime), Seconds(After.ru_stime) - Seconds(Before.ru_stime));
  std::printf("  by thread        main %.3f s, simulated phone %.3f s, channel and others %.3f s\n", MainCpu, PhoneCpu,
              OtherCpu);
  std::printf("peak memory        %.1f MB\n", After.ru_maxrss / 1024.0);

  const bool Good = Dialogs.Boxes == 0 && Rows == Count;
  delete frmMain;
  frmMain = nullptr;
  frmProgress = nullptr;
  SetDialogs(nullptr);
  Phone.Stop();
  return Good ? 0 : 1;
}
