// Starts the program and the minimal window alternately, each with the start-up probe, and
// reports the medians of the time to the first painted window, of the processor time used by then
// (less disturbed by whatever else the machine is doing) and of the resident memory after 1 s, and
// their ratios. Under the offscreen platform unless QT_QPA_PLATFORM says otherwise.
//   startup_bench [runs]      (10 runs of each by default)
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

extern char** environ;

namespace {

long long MonotonicNs() {
  timespec Now{};
  clock_gettime(CLOCK_MONOTONIC, &Now);
  return static_cast<long long>(Now.tv_sec) * 1000000000LL + Now.tv_nsec;
}

struct TRun {
  double ShownMs = -1;
  double CpuMs = -1;
  long RssKB = -1;
};

// Starts Program, reads its probe's lines, waits for its end.
TRun Start(const char* Program) {
  int Pipe[2];
  if (pipe(Pipe) != 0) return {};
  posix_spawn_file_actions_t Actions;
  posix_spawn_file_actions_init(&Actions);
  posix_spawn_file_actions_adddup2(&Actions, Pipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&Actions, Pipe[0]);
  // Their warnings (a missing runtime directory and the like) would only clutter the table.
  posix_spawn_file_actions_addopen(&Actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  char* Argv[] = {const_cast<char*>(Program), nullptr};
  pid_t Pid = 0;
  const long long Started = MonotonicNs();
  const int Error = posix_spawn(&Pid, Program, &Actions, nullptr, Argv, environ);
  posix_spawn_file_actions_destroy(&Actions);
  close(Pipe[1]);
  TRun Run;
  if (Error == 0) {
    std::string Output;
    char Buffer[256];
    for (ssize_t N; (N = read(Pipe[0], Buffer, sizeof Buffer)) > 0;) Output.append(Buffer, static_cast<std::size_t>(N));
    long long Shown = 0;
    if (const auto P = Output.find("shown "); P != std::string::npos) Shown = std::atoll(Output.c_str() + P + 6);
    if (Shown > 0) Run.ShownMs = static_cast<double>(Shown - Started) / 1e6;
    if (const auto P = Output.find("cpu "); P != std::string::npos)
      Run.CpuMs = std::atoll(Output.c_str() + P + 4) / 1e6;
    if (const auto P = Output.find("rss "); P != std::string::npos) Run.RssKB = std::atol(Output.c_str() + P + 4);
    int Status = 0;
    waitpid(Pid, &Status, 0);
  }
  close(Pipe[0]);
  return Run;
}

double Median(std::vector<double> V) {
  std::sort(V.begin(), V.end());
  const std::size_t N = V.size();
  return N == 0 ? 0 : N % 2 ? V[N / 2] : (V[N / 2 - 1] + V[N / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  const int Runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  std::vector<double> PelmoMs, MinimalMs, PelmoCpu, MinimalCpu, PelmoKB, MinimalKB;
  // One start of each first, unmeasured, so that both find the libraries in the page cache.
  Start(MINIMAL_PROBE);
  Start(PELMO_PROBE);
  for (int I = 0; I < Runs; ++I) {
    const TRun Minimal = Start(MINIMAL_PROBE);
    const TRun Pelmo = Start(PELMO_PROBE);
    if (Minimal.ShownMs < 0 || Pelmo.ShownMs < 0) {
      std::fprintf(stderr, "a probe did not report its first window\n");
      return 1;
    }
    MinimalMs.push_back(Minimal.ShownMs);
    PelmoMs.push_back(Pelmo.ShownMs);
    MinimalCpu.push_back(Minimal.CpuMs);
    PelmoCpu.push_back(Pelmo.CpuMs);
    MinimalKB.push_back(static_cast<double>(Minimal.RssKB));
    PelmoKB.push_back(static_cast<double>(Pelmo.RssKB));
  }
  const double Ms[2] = {Median(PelmoMs), Median(MinimalMs)};
  const double Cpu[2] = {Median(PelmoCpu), Median(MinimalCpu)};
  const double KB[2] = {Median(PelmoKB), Median(MinimalKB)};
  std::printf("platform %s, %d starts of each, medians\n", std::getenv("QT_QPA_PLATFORM"), Runs);
  std::printf("%-10s %14s %14s %12s\n", "", "first window", "CPU by then", "RSS at 1 s");
  std::printf("%-10s %11.1f ms %11.1f ms %9.0f kB\n", "pelmo", Ms[0], Cpu[0], KB[0]);
  std::printf("%-10s %11.1f ms %11.1f ms %9.0f kB\n", "minimal", Ms[1], Cpu[1], KB[1]);
  std::printf("%-10s %13.3fx %13.3fx %11.3fx\n", "ratio", Ms[0] / Ms[1], Cpu[0] / Cpu[1], KB[0] / KB[1]);
  // The machine's speed drifts while the starts go on; the two starts of a pair, one after the
  // other, see nearly the same machine, so the median of the pairs' ratios drifts less.
  std::vector<double> PairMs, PairCpu, PairKB;
  for (std::size_t I = 0; I < PelmoMs.size(); ++I) {
    PairMs.push_back(PelmoMs[I] / MinimalMs[I]);
    PairCpu.push_back(PelmoCpu[I] / MinimalCpu[I]);
    PairKB.push_back(PelmoKB[I] / MinimalKB[I]);
  }
  std::printf("%-10s %13.3fx %13.3fx %11.3fx\n", "by pairs", Median(PairMs), Median(PairCpu), Median(PairKB));
  return 0;
}
