// Encoding and decoding a full single message: 160 default-alphabet characters, beside a plain
// septet-unpacking loop over the same user data (the floor the decoders are measured against).
// Each benchmark reports its heap allocations per call.
#include "engine/SMSEngine.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>

using namespace SMSEngine;

// Every allocation of the process is counted; the benchmarks read the count around their loops.
namespace {
std::atomic<std::uint64_t> Allocations{0};
}

// GCC takes the replacement pair for a mismatch of new and free.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t Size) {
  Allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* P = std::malloc(Size ? Size : 1)) return P;
  throw std::bad_alloc();
}
void* operator new[](std::size_t Size) { return operator new(Size); }
void operator delete(void* P) noexcept { std::free(P); }
void operator delete[](void* P) noexcept { std::free(P); }
void operator delete(void* P, std::size_t) noexcept { std::free(P); }
void operator delete[](void* P, std::size_t) noexcept { std::free(P); }

namespace {

const std::string Text =
    "The quick brown fox jumps over the lazy dog; pack my box with five dozen liquor jugs! "
    "Sphinx of black quartz, judge my vow. How vexingly quick daft zebras jump!";

std::string EncodeText(const std::string& UD) {
  int Length = 0;
  std::string PDU;
  EncodeSubmitPDU("+4912345678", false, 2, false, 0, "+4915112345678", false, 173, 0, 0, UD, Length, PDU);
  return PDU;
}

// A received message: SCA, first octet, OA, PID, DCS, time stamp, then the user data of the SUBMIT.
std::string DeliverPDU() {
  const std::string Submit = EncodeText(Text);
  return "07919471060040F4040C919471234567F80000"
         "62105121100540" +
         Submit.substr(Submit.size() - 2 - 280);
}

// Counts the allocations made while the benchmark's loop runs, per iteration.
class TAllocationCounter {
 public:
  explicit TAllocationCounter(benchmark::State& S) : State(S), Start(Allocations.load()) {}
  ~TAllocationCounter() {
    const double Count = static_cast<double>(Allocations.load() - Start);
    State.counters["allocs"] = benchmark::Counter(Count, benchmark::Counter::kAvgIterations);
  }

 private:
  benchmark::State& State;
  std::uint64_t Start;
};

int HexValue(char Ch) { return Ch <= '9' ? Ch - '0' : Ch - 'A' + 10; }

// The floor: 160 septets unpacked from the hex user data into text with a table lookup, in a
// buffer reused between calls, nothing checked.
void BM_UnpackLoop160(benchmark::State& State) {
  const std::string PDU = DeliverPDU();
  const std::string UserData = PDU.substr(PDU.size() - 280);
  static const std::string Alphabet = [] {
    std::string A(128, ' ');
    for (int I = 0; I < 128; ++I) A[I] = GSMToText(std::string(1, static_cast<char>(I))).back();
    return A;
  }();
  std::string Out;
  Out.reserve(160);
  TAllocationCounter Counter(State);
  for (auto _ : State) {
    Out.clear();
    std::uint32_t Bits = 0;
    int Count = 0;
    for (std::size_t I = 0; I < UserData.size() && Out.size() < 160; I += 2) {
      Bits |= static_cast<std::uint32_t>(HexValue(UserData[I]) * 16 + HexValue(UserData[I + 1])) << Count;
      Count += 8;
      while (Count >= 7 && Out.size() < 160) {
        Out += Alphabet[Bits & 0x7F];
        Bits >>= 7;
        Count -= 7;
      }
    }
    benchmark::DoNotOptimize(Out);
  }
  if (Out != Text) State.SkipWithError("the text did not come back");
}
BENCHMARK(BM_UnpackLoop160);

void BM_EncodeSubmit160(benchmark::State& State) {
  int Length = 0;
  std::string PDU;
  TAllocationCounter Counter(State);
  for (auto _ : State) {
    EncodeSubmitPDU("+4912345678", false, 2, false, 0, "+4915112345678", false, 173, 0, 0, Text, Length, PDU);
    benchmark::DoNotOptimize(PDU);
  }
  State.SetLabel(std::to_string(Text.size()) + " characters");
}
BENCHMARK(BM_EncodeSubmit160);

void BM_DecodeSubmit160(benchmark::State& State) {
  const std::string PDU = EncodeText(Text);
  std::string SCA, DA, UD;
  bool SRR, RD, Flash;
  int VPF, MR, VPRelative, VPTZ;
  TDateTime VPAbsolute;
  TAllocationCounter Counter(State);
  for (auto _ : State) {
    DecodeSubmitPDU(PDU, SCA, SRR, VPF, RD, MR, DA, Flash, VPRelative, VPAbsolute, VPTZ, UD);
    benchmark::DoNotOptimize(UD);
  }
  if (UD != Text) State.SkipWithError("the text did not come back");
}
BENCHMARK(BM_DecodeSubmit160);

// Measured twice: with a fixed clock, and with the system clock the program uses.
void DecodeDeliver(benchmark::State& State) {
  const std::string PDU = DeliverPDU();
  std::string SCA, OA, UD;
  bool Flash;
  TDateTime SCTS;
  TAllocationCounter Counter(State);
  for (auto _ : State) {
    DecodeDeliverPDU(PDU, SCA, OA, Flash, SCTS, UD);
    benchmark::DoNotOptimize(UD);
  }
  if (UD != Text) State.SkipWithError("the text did not come back");
}

void BM_DecodeDeliver160(benchmark::State& State) { DecodeDeliver(State); }
BENCHMARK(BM_DecodeDeliver160);

void BM_DecodeDeliver160SystemClock(benchmark::State& State) {
  SetClock(nullptr);
  DecodeDeliver(State);
  SetClock([] { return EncodeDate(2026, 1, 15) + 0.5; });
}
BENCHMARK(BM_DecodeDeliver160SystemClock);

}  // namespace

int main(int argc, char** argv) {
  SetErrorReporter([](const std::string&) {});
  SetClock([] { return EncodeDate(2026, 1, 15) + 0.5; });
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
