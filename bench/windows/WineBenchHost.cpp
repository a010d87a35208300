// The Linux side of the Windows reading benchmark (tools/wine-read-bench):
//   wine_bench_host --write-sim FILE [--messages N]   a full SIM (255 messages of 160 characters)
//   wine_bench_host --measure LOG [--baud N]          the reading in the phone's log
// --measure takes the time from the port's opening to its closing by the phone's clock, and the
// line time of the bytes the phone sent in between at N baud (8N1: ten bit times a byte).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "bench/reading/FullSim.h"

namespace {

// Seconds since midnight of a log line's "HH:MM:SS.mmm " stamp, or -1.
double Stamp(const std::string& Line) {
  int H = 0, M = 0, S = 0, Ms = 0;
  if (std::sscanf(Line.c_str(), "%d:%d:%d.%d", &H, &M, &S, &Ms) != 4) return -1;
  return H * 3600.0 + M * 60.0 + S + Ms / 1000.0;
}

// The bytes a logged text stands for: "\r", "\n" and "\\" are one byte, "\xHH" is one.
std::size_t LoggedBytes(const std::string& Text) {
  std::size_t Bytes = 0;
  for (std::size_t I = 0; I < Text.size(); ++Bytes) I += Text[I] != '\\' ? 1 : Text.compare(I, 2, "\\x") == 0 ? 4 : 2;
  return Bytes;
}

int Measure(const std::string& Log, int Baud) {
  std::ifstream In(Log);
  if (!In) {
    std::cerr << "cannot read " << Log << "\n";
    return 1;
  }
  double Opened = -1, Closed = -1, LastOut = -1;
  std::size_t Bytes = 0;
  for (std::string Line; std::getline(In, Line);) {
    const std::size_t Direction = Line.find(' ');
    if (Direction == std::string::npos) continue;
    const std::string Rest = Line.substr(Direction + 1);
    if (Rest == "--- client opened the line" && Opened < 0)
      Opened = Stamp(Line);
    else if (Rest == "--- client closed the line" && Opened >= 0 && Closed < 0)
      Closed = Stamp(Line);
    else if (Rest.compare(0, 4, "out ") == 0 && Opened >= 0 && Closed < 0) {
      Bytes += LoggedBytes(Rest.substr(4));
      LastOut = Stamp(Line);
    }
  }
  if (Opened < 0 || Closed < 0) {
    std::cerr << "the log holds no opening and closing of the port\n";
    return 1;
  }
  // Past midnight.
  if (LastOut < Opened) LastOut += 24 * 3600.0;
  if (Closed < Opened) Closed += 24 * 3600.0;
  const double Wall = Closed - Opened;
  const double Line = static_cast<double>(Bytes) * 10.0 / Baud;
  std::printf("bytes from phone   %zu\n", Bytes);
  std::printf("line time          %.3f s (bytes x 10 / %d)\n", Line, Baud);
  std::printf("open to close      %.3f s (the phone's clock)\n", Wall);
  std::printf("  of which after   %.3f s from the phone's last byte to the closing\n", Closed - LastOut);
  std::printf("wall / line        %.3f\n", Line > 0 ? Wall / Line : 0.0);
  std::printf("overhead           %.3f s\n", Wall - Line);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string Sim, Log;
  int Messages = 255, Baud = 115200;
  for (int I = 1; I + 1 < argc; I += 2) {
    if (std::strcmp(argv[I], "--write-sim") == 0)
      Sim = argv[I + 1];
    else if (std::strcmp(argv[I], "--measure") == 0)
      Log = argv[I + 1];
    else if (std::strcmp(argv[I], "--messages") == 0)
      Messages = std::atoi(argv[I + 1]);
    else if (std::strcmp(argv[I], "--baud") == 0)
      Baud = std::atoi(argv[I + 1]);
  }
  if (!Sim.empty()) {
    SaveSimFile(FullSim(Messages), Sim);
    return 0;
  }
  if (!Log.empty() && Baud > 0) return Measure(Log, Baud);
  std::cerr << "usage: wine_bench_host --write-sim FILE [--messages N] | --measure LOG [--baud N]\n";
  return 2;
}
