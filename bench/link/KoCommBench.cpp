// Moves 1 MB each way through a pseudo-terminal pair with the channel: the benchmark's thread
// is the main thread (sending with SendString, receiving in OnRxChar), a second thread plays
// the phone on the master side. Reports the throughput and the CPU time that the channel and
// the main thread spend per megabyte (the phone's own CPU time left out).
#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "link/KoComm.h"
#include "tests/link/LinkTestSupport.h"

namespace {

constexpr std::size_t MB = 1024 * 1024;

double CpuSeconds(clockid_t Clock) {
  timespec T{};
  clock_gettime(Clock, &T);
  return static_cast<double>(T.tv_sec) + static_cast<double>(T.tv_nsec) / 1e9;
}

// Reads Count bytes from the master side and writes Count bytes to it, both at once.
void Phone(TPty& Pty, std::size_t Count, std::atomic<double>& Cpu) {
  double Start = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
  std::string Out(Count, 'p');
  std::size_t Read = 0, Written = 0;
  char Buf[16384];
  while (Read < Count || Written < Count) {
    bool CanRead = false, CanWrite = false;
    Pty.Await(Read < Count, Written < Count, 1000, CanRead, CanWrite);
    if (!CanRead && !CanWrite) break;
    if (CanRead) {
      long N = Pty.ReadSome(Buf, sizeof Buf);
      if (N > 0) Read += static_cast<std::size_t>(N);
    }
    if (CanWrite) {
      long N = Pty.WriteSome(Out.data() + Written, std::min<std::size_t>(4096, Count - Written));
      if (N > 0) Written += static_cast<std::size_t>(N);
    }
  }
  Cpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - Start;
}

void BM_OneMegabyteEachWay(benchmark::State& State) {
  const int WriteSize = static_cast<int>(State.range(0));
  TMainLoop Loop;
  TPty Pty;
  TKoComm Comm;
  SetUpAsTheProgram(Comm, Pty, Loop, WriteSize);
  std::size_t Received = 0;
  Comm.OnRxChar = [&](TKoComponent*, int) { Received += Comm.ReceiveString().size(); };
  Comm.OpenPort();

  const std::string Chunk(static_cast<std::size_t>(WriteSize), 'c');
  double ChannelCpu = 0;
  for (auto _ : State) {
    Received = 0;
    std::atomic<double> PhoneCpu{0};
    double Start = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    std::thread PhoneThread(Phone, std::ref(Pty), MB, std::ref(PhoneCpu));
    for (std::size_t Sent = 0; Sent < MB; Sent += Chunk.size()) {
      Comm.SendString(Chunk);
      Loop.RunReady();  // receive what has come meanwhile
    }
    Loop.RunUntil([&] { return Received >= MB; }, std::chrono::seconds(30));
    PhoneThread.join();
    ChannelCpu += CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - Start - PhoneCpu.load();
    if (Received < MB) State.SkipWithError("not all bytes arrived");
  }
  Comm.ClosePort();
  State.SetBytesProcessed(static_cast<int64_t>(State.iterations()) * 2 * static_cast<int64_t>(MB));
  State.counters["cpu_ms_per_MB"] =
      benchmark::Counter(ChannelCpu * 1000.0 / (2.0 * static_cast<double>(State.iterations())));
}

// The phone sends at the pace of a 115200-baud line (11,520 bytes a second, in pieces of 10 ms)
// for one second while the main thread handles every event at once: the CPU time the channel
// and the main thread spend per megabyte at line rate, where each event carries few bytes.
void BM_LineRateReceive(benchmark::State& State) {
  TMainLoop Loop;
  TPty Pty;
  TKoComm Comm;
  SetUpAsTheProgram(Comm, Pty, Loop);
  std::size_t Received = 0;
  int Events = 0;
  Comm.OnRxChar = [&](TKoComponent*, int) {
    ++Events;
    Received += Comm.ReceiveString().size();
  };
  Comm.OpenPort();

  constexpr std::size_t PerSecond = 11520, Piece = PerSecond / 100;
  const std::string Data(Piece, 'r');
  double Cpu = 0;
  std::size_t Total = 0;
  for (auto _ : State) {
    Received = 0;
    std::atomic<double> PhoneCpu{0};
    double Start = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    std::thread PhoneThread([&] {
      double From = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
      auto Next = std::chrono::steady_clock::now();
      for (int I = 0; I < 100; ++I) {
        Pty.Write(Data);
        Next += std::chrono::milliseconds(10);
        std::this_thread::sleep_until(Next);
      }
      PhoneCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - From;
    });
    Loop.RunUntil([&] { return Received >= 100 * Piece; }, std::chrono::seconds(10));
    PhoneThread.join();
    Cpu += CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - Start - PhoneCpu.load();
    Total += Received;
  }
  Comm.ClosePort();
  State.SetBytesProcessed(static_cast<int64_t>(Total));
  State.counters["cpu_ms_per_MB"] =
      benchmark::Counter(Cpu * 1000.0 * static_cast<double>(MB) / static_cast<double>(Total));
  State.counters["events"] = benchmark::Counter(static_cast<double>(Events));
}

}  // namespace

BENCHMARK(BM_LineRateReceive)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneMegabyteEachWay)->Arg(1024)->Arg(65536)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
