// Reads a phone book of 250 entries from the simulated phone paced at 115200 baud, through the real
// channel and the real main window ("Show names" after a reading), and splits the time taken into
// the exchange's 100 ms passes (one at least per command) and the time the phone's bytes need on
// the line.
//
//   names_bench [--baud N] [--entries N] [--messages N]
//
// The phone runs on a thread of this process; its pacing sleeps, so the CPU time below is almost
// all the program's own.
#include <sys/resource.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "bench/reading/BenchSupport.h"
#include "emulator/SimPhone.h"
#include "forms/Dialogs.h"
#include "forms/Main.h"
#include "forms/Progress.h"
#include "tests/support/PackedText.h"

namespace {

// Names of 12 to 20 characters, a third of them with letters beyond ASCII.
std::string Name(int N) {
  static const char* const First[] = {"Anna", "J\xC3\xBCrgen", "S\xC3\xB6ren", "Zo\xC3\xAB", "Bj\xC3\xB6rn", "Mama"};
  static const char* const Last[] = {"M\xC3\xBCller", "Wei\xC3\x9F", "Schmidt", "Lef\xC3\xA8vre", "Hansen"};
  return std::string(First[N % 6]) + " " + Last[N % 5] + " " + std::to_string(N);
}

std::string Number(int N) {
  const std::string Digits = std::to_string(1000000 + N * 7919 % 9000000);
  return "+49170" + Digits;
}

// A received message from the number of entry N.
std::string PDU(int N) {
  std::string Digits = Number(N).substr(1);
  for (std::size_t I = 0; I + 1 < Digits.size(); I += 2) std::swap(Digits[I], Digits[I + 1]);
  static const char Hex[] = "0123456789ABCDEF";
  const std::string Text = "Message " + std::to_string(N);
  const std::string Length = {Hex[Text.size() >> 4], Hex[Text.size() & 15]};
  return "0791947101670000"
         "040C91" +
         Digits +
         "0000"
         "42305141035040" +
         Length + PackSeptets(Text);
}

}  // namespace

int main(int argc, char** argv) {
  int Baud = 115200;
  int Entries = 250;
  int MessageCount = 30;
  for (int I = 1; I + 1 < argc; I += 2) {
    if (std::strcmp(argv[I], "--baud") == 0)
      Baud = std::atoi(argv[I + 1]);
    else if (std::strcmp(argv[I], "--entries") == 0)
      Entries = std::atoi(argv[I + 1]);
    else if (std::strcmp(argv[I], "--messages") == 0)
      MessageCount = std::atoi(argv[I + 1]);
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication Application(argc, argv);

  TSimCard Sim;
  Sim.MemoryTotal = 255;
  for (int N = 1; N <= MessageCount; ++N) {
    TSimMessage Message;
    Message.Status = 1;
    Message.PDU = PDU(N);
    Sim.Messages[N] = Message;
  }
  Sim.PhonebookTotal = Entries;
  for (int N = 1; N <= Entries; ++N) {
    TSimPhonebookEntry Entry;
    Entry.Number = Number(N);
    Entry.Type = 145;
    Entry.Name = Name(N);
    Sim.Phonebook[N] = Entry;
  }
  TPhoneOptions Options;
  Options.Baud = Baud;
  TSimPhone Phone(Sim, Options);
  Phone.Start();
  ::setenv("PELMO_COM4", Phone.DevicePath().c_str(), 1);

  TFailingDialogs Dialogs;
  SetDialogs(&Dialogs);
  frmMain = new TfrmMain();
  frmProgress = new TfrmProgress(frmMain);
  frmMain->show();
  QApplication::processEvents();
  frmMain->btnReadClick();

  const std::size_t BytesBefore = Phone.BytesSent();
  rusage Before{};
  getrusage(RUSAGE_SELF, &Before);
  const auto Start = std::chrono::steady_clock::now();
  frmMain->btnNamesClick();
  const auto End = std::chrono::steady_clock::now();
  rusage After{};
  getrusage(RUSAGE_SELF, &After);
  const std::size_t Bytes = Phone.BytesSent() - BytesBefore;

  // The storage query, the two switches of the character set and one read a location.
  const int Commands = 3 + Entries;
  int Named = 0;
  for (int Row = 1; Row < frmMain->sgMessages->RowCount(); ++Row)
    Named += frmMain->sgMessages->Cells(3, Row).empty() ? 0 : 1;

  const double Wall = std::chrono::duration<double>(End - Start).count();
  const double Passes = Commands * 0.1;
  const double Line = static_cast<double>(Bytes) * 10.0 / Baud;
  const double Cpu =
      Seconds(After.ru_utime) - Seconds(Before.ru_utime) + Seconds(After.ru_stime) - Seconds(Before.ru_stime);
  const double Limit = Entries * 0.1 + Line + 0.5;

  std::printf("entries read       %zu of %d (%d of %d messages named)\n", frmMain->Phonebook.size(), Entries, Named,
              MessageCount);
  std::printf("commands           %d\n", Commands);
  std::printf("bytes from phone   %zu\n", Bytes);
  std::printf("line time          %.3f s (bytes x 10 / %d)\n", Line, Baud);
  std::printf("100 ms passes      %.3f s (commands x 0.1)\n", Passes);
  std::printf("wall time          %.3f s\n", Wall);
  std::printf("wall - passes      %.3f s\n", Wall - Passes);
  std::printf("limit              %.3f s (entries x 0.1 + line time + 0.5)\n", Limit);
  std::printf("CPU time           %.3f s (user %.3f, system %.3f)\n", Cpu,
              Seconds(After.ru_utime) - Seconds(Before.ru_utime), Seconds(After.ru_stime) - Seconds(Before.ru_stime));
  std::printf("peak memory        %.1f MB\n", After.ru_maxrss / 1024.0);

  const bool Good = Dialogs.Boxes == 0 && static_cast<int>(frmMain->Phonebook.size()) == Entries &&
                    Named == MessageCount && Wall <= Limit;
  delete frmMain;
  frmMain = nullptr;
  frmProgress = nullptr;
  SetDialogs(nullptr);
  Phone.Stop();
  return Good ? 0 : 1;
}
